#pragma once

// What the test writer needs to write a drawing of the class model as a real
// drawing: its dates, identity, authors, layers and entities.

#include <cstdint>
#include <string>

#include "classes/class_model.h"
#include "dwgwrite/dwg_writer.h"

namespace veldra::testing {

// A moment given in milliseconds since 1970 as the writer's Julian stamp.
dwgwrite::Stamp stampOf(std::int64_t unixMs);

// The writer's plan for drawing `d`, saved in `version` ("AC1018"...).
dwgwrite::DrawingSpec planOf(const evidence::DrawingEvidence& d, const std::string& version);

}  // namespace veldra::testing
