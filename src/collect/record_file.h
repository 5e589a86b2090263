#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "collect/drawing_host.h"

namespace veldra {

// The record name of a drawing file (UTF-8): "," replaced by "_", the
// extension (".dwg", always four bytes) dropped, upper-cased, accented
// letters too. A double quote, a line break
// or any other control character is replaced by "_" as well, so that every
// name reads back as it was written.
std::string recordName(std::string_view fileName);

// One line of the record file: "NAME,date,handles,END" in quotes, CR LF. A
// drawing without a date has an empty date field.
std::string recordLine(std::string_view name, std::optional<double> date, std::string_view handles);

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
