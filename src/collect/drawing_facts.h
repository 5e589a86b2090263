#pragma once

// What the reader gave for one drawing, failure included: the typed path by
// which a pass learns about each drawing beside the classic host steps.

#include <cstdint>
#include <filesystem>
#include <memory>

#include "veldra/dwg/evidence.h"

namespace veldra {

struct DrawingFacts {
  std::filesystem::path path;     // as visited
  std::uintmax_t fileSize = 0;    // 0 also when the size could not be taken
  veldra::dwg::Status status;     // why reading failed, when it did
  veldra::dwg::Drawing drawing;   // the summary (version, dates, entities, damage);
                                  // evidence and geometry when they were asked for

  bool read() const { return status.ok(); }
};

// Takes each drawing's facts as a pass reads them, for work that judges more
// than the record file holds. It says what it needs read besides the
// summary, so that every drawing is read once.
class DrawingFactsSink {
 public:
  virtual ~DrawingFactsSink() = default;
  virtual veldra::dwg::ReadRequest request() const { return {}; }
  virtual void take(std::shared_ptr<const DrawingFacts> facts) = 0;
};

}  // namespace veldra
