#pragma once

// The argument forms of veldra-dwgwrite, shared with its tests.

#include <string>
#include <string_view>

#include "dwgwrite/dwg_writer.h"

namespace veldra::dwgwrite {

// DAYS.FRACTION (a Julian date, rounded to the millisecond) or
// DAYS:MILLISECONDS into plan.days and plan.milliseconds. Returns "" or why
// the text was refused (then the plan is unchanged).
std::string parseDate(std::string_view text, DrawingSpec& plan);

// TYPE:HANDLE[:paper|:model] or TYPE:FIRST-LAST[:paper|:model], handles in
// hexadecimal; appends the entities to plan.entities. The type is checked
// later, by writeDrawing.
std::string parseEntity(std::string_view text, DrawingSpec& plan);

// A file of entities, one a line in the form above; blank lines and lines
// starting with # are skipped. Nothing is appended when a line is refused.
std::string parseEntityFile(const std::string& file, DrawingSpec& plan);

// One of the further choices, by its option name without the dashes:
// "version" (AC1.40 ... AC1032), "updated" and "editing-time" (as --date
// takes them), "handseed" (hexadecimal), "fingerprint-guid", "version-guid",
// "layer" (a named layer), "summary" (FIELD=TEXT, FIELD one of title,
// subject, author, keywords, comments, lastsavedby, revisionnumber,
// hyperlinkbase) and "preview" (a .bmp, .png or .wmf file; a .bmp file loses
// its 14-byte file header). Returns "" or why the value was refused; false
// in `known` when `option` is none of these.
std::string parseOption(std::string_view option, std::string_view value, DrawingSpec& plan, bool& known);

}  // namespace veldra::dwgwrite
