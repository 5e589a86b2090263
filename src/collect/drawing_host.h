#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <vector>

#include "collect/drawing_facts.h"

namespace veldra {

// The operations performed on the program that reads drawings for us, in the
// order a collection uses them. Every operation reports failure by its result
// and never throws; a caller skips a failed step and goes on with the next.
// Implementations: the native host over our own DWG reader, scripted hosts in
// tests.
class DrawingHost {
 public:
  virtual ~DrawingHost() = default;

  // Start-up: attach to a running host, or start one when that fails; then
  // make it visible and take its active document (nothing uses it later).
  virtual bool attach() = 0;
  virtual bool start() = 0;
  virtual bool makeVisible() = 0;
  virtual bool takeActiveDocument() = 0;

  // Per drawing: open it (it becomes the active document), make a named
  // selection set and select every entity into it, walk the set, read a
  // system variable, delete the set, close every open drawing.
  virtual bool open(const std::filesystem::path& drawing) = 0;
  virtual bool addSelectionSet(std::string_view name) = 0;
  virtual bool selectAll(std::string_view setName) = 0;
  // Calls `visit` once per entity of the set, in the host's order, with the
  // entity's class name (such as "AcDbLine") and handle text (upper-case
  // hexadecimal). Returns false when the set cannot be walked.
  using EntityVisitor = std::function<void(std::string_view objectName, std::string_view handle)>;
  virtual bool forEachEntity(std::string_view setName, const EntityVisitor& visit) = 0;
  // "TDCREATE": the creation date as a Julian day number, time of day as its
  // fraction, in local time. Nothing when the drawing cannot be read.
  virtual std::optional<double> getVariable(std::string_view name) = 0;
  virtual bool deleteSelectionSet(std::string_view name) = 0;
  virtual bool closeAll() = 0;

  // The reader's result for the drawing opened last, failure included, from
  // a host that reads drawings itself; nothing from one that cannot tell (a
  // CAD program). Kept until the drawing is closed.
  virtual std::shared_ptr<const DrawingFacts> facts() const { return nullptr; }
  // What to read besides the summary from now on.
  virtual void setReadRequest(const veldra::dwg::ReadRequest& request) { (void)request; }

  // The drawings about to be opened, in order. A host may start reading them
  // ahead; opening them one by one must give the same results either way.
  virtual void readAhead(const std::vector<std::filesystem::path>& drawings) { (void)drawings; }
};

// Connects the host at start-up: attach, or start when attaching fails; then
// show it and take its active document. Returns whether a host is connected;
// every failure is silent.
bool connectDrawingHost(DrawingHost& host);

}  // namespace veldra
