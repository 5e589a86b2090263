#include "collect/drawing_record.h"

#include "record/record_format.h"
#include "veldra/dwg/reader.h"

namespace veldra {

namespace {
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string drawingRecordLine(const DrawingFacts& facts, std::string_view fileName, std::string_view entity) {
  std::string wanted = "ACDB";
  wanted += entity;
  std::string handles;
  if (facts.read()) {
    std::string upper;
    for (const auto& drawn : facts.drawing.summary.entities) {
      upper.assign(drawn.className);
      for (char& c : upper) c = upperAscii(c);
      // An entity without a handle (an old drawing saved without them) adds
      // nothing: an empty entry would match every other such drawing's.
      if (upper == wanted && drawn.hasHandle) {
        handles += veldra::dwg::handleText(drawn.handle);
        handles += '$';
      }
    }
  }
  return recordLine(recordName(fileName), facts.read() ? facts.created : std::nullopt, handles);
}

}  // namespace veldra
