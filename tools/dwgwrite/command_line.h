#pragma once

// The argument forms of veldra-dwgwrite, shared with its tests.

#include <string>
#include <string_view>

#include "dwgwrite/dwg_writer.h"

namespace veldra::dwgwrite {

// DAYS.FRACTION (a Julian date, rounded to the millisecond) or
// DAYS:MILLISECONDS into spec.days and spec.milliseconds. Returns "" or why
// the text was refused (then the spec is unchanged).
std::string parseDate(std::string_view text, DrawingSpec& spec);

// TYPE:HANDLE[:paper|:model] or TYPE:FIRST-LAST[:paper|:model], handles in
// hexadecimal; appends the entities to spec.entities. The type is checked
// later, by writeDrawing.
std::string parseEntity(std::string_view text, DrawingSpec& spec);

// A file of entities, one a line in the form above; blank lines and lines
// starting with # are skipped. Nothing is appended when a line is refused.
std::string parseEntityFile(const std::string& file, DrawingSpec& spec);

}  // namespace veldra::dwgwrite
