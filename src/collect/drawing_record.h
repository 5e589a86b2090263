#pragma once

#include <string>
#include <string_view>

#include "collect/drawing_facts.h"

namespace veldra {

// A drawing's line of the record file, from its facts: the handles of the
// entities whose upper-cased class name is "ACDB" followed by the entity
// type, and its creation date. A drawing that was not read still has its
// line, with an empty date and no handles.
std::string drawingRecordLine(const DrawingFacts& facts, std::string_view fileName, std::string_view entity);

}  // namespace veldra
