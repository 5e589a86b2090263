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

}  // namespace veldra::dwgwrite
