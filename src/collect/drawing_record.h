#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "collect/drawing_host.h"

namespace veldra {

// What the host told about one collected drawing.
struct CollectedDrawing {
  bool opened = false;
  std::shared_ptr<const DrawingFacts> facts;  // from a host that reads drawings itself
};

// Collects one drawing through the host and gives its line of the record
// file: the handles of the entities whose upper-cased class name is "ACDB"
// followed by the entity type, and its creation date. Every failing host
// step is skipped; there is a line for every drawing, with an empty date
// when the host could not read one. `afterEntity` runs after each entity;
// `collected`, when given, receives whether the drawing opened and its facts.
std::string collectDrawing(DrawingHost& host, const std::filesystem::path& drawing, std::string_view fileName,
                           std::string_view entity, const std::function<void()>& afterEntity = {},
                           CollectedDrawing* collected = nullptr);

}  // namespace veldra
