#pragma once

#include <memory>

#include "collect/drawing_source.h"

namespace veldra {

// The window's stand-in when it was given no drawing source: no drawing can
// be read, so each is recorded without facts and named as one that cannot
// be opened.
class NullDrawingSource : public DrawingSource {
 public:
  std::shared_ptr<const DrawingFacts> read(const std::filesystem::path& drawing) override {
    auto facts = std::make_shared<DrawingFacts>();
    facts->path = drawing;
    facts->status.kind = veldra::dwg::ErrorKind::kIo;
    facts->status.message = "no drawing source";
    return facts;
  }
};

}  // namespace veldra
