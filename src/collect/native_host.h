#pragma once

#include <cstdint>
#include <functional>
#include <optional>

#include "collect/drawing_host.h"
#include "veldra/dwg/reader.h"

namespace veldra {

// Local-time offset (seconds east of UTC) in force at a moment given in
// seconds since 1970-01-01 00:00 UTC.
using OffsetFunction = std::function<long(std::int64_t unixSeconds)>;

// The creation date as the drawing host gives it: local time. Drawings of
// format AC1015 and later store universal time, which is moved into the
// time zone in force at that instant; older ones store local time already.
double localCreationDate(const veldra::dwg::Summary& summary, const OffsetFunction& offset);

// The drawing host over our own DWG reader: attaching and starting always
// succeed; opening reads the drawing's summary, and when that fails every
// later step for the drawing fails as it would in a CAD program that cannot
// open it.
class NativeDrawingHost : public DrawingHost {
 public:
  explicit NativeDrawingHost(OffsetFunction offset = {});

  bool attach() override { return true; }
  bool start() override { return true; }
  bool makeVisible() override { return true; }
  bool takeActiveDocument() override { return true; }
  bool open(const std::filesystem::path& drawing) override;
  bool addSelectionSet(std::string_view name) override;
  bool selectAll(std::string_view setName) override;
  bool forEachEntity(std::string_view setName, const EntityVisitor& visit) override;
  std::optional<double> getVariable(std::string_view name) override;
  bool deleteSelectionSet(std::string_view name) override;
  bool closeAll() override;

  // Hands over a summary read elsewhere (by a reader running ahead) as if
  // open() had read it; nothing means the drawing could not be read.
  void adopt(std::optional<veldra::dwg::Summary> summary);

 private:
  OffsetFunction offset_;
  std::optional<veldra::dwg::Summary> drawing_;
  bool setMade_ = false;
  bool selected_ = false;
};

}  // namespace veldra
