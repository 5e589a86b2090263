#pragma once

// What the reader gave for one drawing, failure included: all a collection
// learns about each drawing.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>

#include "veldra/dwg/evidence.h"

namespace veldra {

struct DrawingFacts {
  std::filesystem::path path;     // as visited
  std::uintmax_t fileSize = 0;    // 0 also when the size could not be taken
  veldra::dwg::Status status;     // why reading failed, when it did
  veldra::dwg::Drawing drawing;   // the summary (version, dates, entities, damage);
                                  // evidence and geometry when they were asked for
  // The creation date as the record keeps it: a Julian date in local time.
  // Nothing when the drawing was not read.
  std::optional<double> created;

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
