#pragma once

#include "collect/drawing_host.h"

namespace veldra {

// A drawing host that is never there: every operation fails, so start-up
// connects nothing and a collection finds no drawing data.
class NullDrawingHost : public DrawingHost {
 public:
  bool attach() override { return false; }
  bool start() override { return false; }
  bool makeVisible() override { return false; }
  bool takeActiveDocument() override { return false; }
  bool open(const std::filesystem::path&) override { return false; }
  bool addSelectionSet(std::string_view) override { return false; }
  bool selectAll(std::string_view) override { return false; }
  bool forEachEntity(std::string_view, const EntityVisitor&) override { return false; }
  std::optional<double> getVariable(std::string_view) override { return std::nullopt; }
  bool deleteSelectionSet(std::string_view) override { return false; }
  bool closeAll() override { return false; }
};

}  // namespace veldra
