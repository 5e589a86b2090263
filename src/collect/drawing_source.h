#pragma once

#include <filesystem>
#include <memory>
#include <vector>

#include "collect/drawing_facts.h"

namespace veldra {

// Where a collection gets each drawing's facts: our own reader, or a
// stand-in in tests. A drawing that cannot be read gives facts all the same,
// with the reason in their status; nothing throws.
class DrawingSource {
 public:
  virtual ~DrawingSource() = default;

  // What to read besides the summary from now on.
  virtual void setReadRequest(const veldra::dwg::ReadRequest& request) { (void)request; }
  // The drawings about to be asked for, in order. A source may start reading
  // them ahead; asking for them one by one must give the same facts either way.
  virtual void readAhead(const std::vector<std::filesystem::path>& drawings) { (void)drawings; }
  // One drawing's facts, never null.
  virtual std::shared_ptr<const DrawingFacts> read(const std::filesystem::path& drawing) = 0;
};

}  // namespace veldra
