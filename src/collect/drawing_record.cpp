#include "collect/drawing_record.h"

#include "record/record_format.h"
#include "veldra/dwg/reader.h"

namespace veldra {

namespace {
char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// `name` upper-cased is `upper`.
bool upperCaseIs(std::string_view name, std::string_view upper) {
  if (name.size() != upper.size()) return false;
  for (std::size_t i = 0; i < name.size(); ++i)
    if (upperAscii(name[i]) != upper[i]) return false;
  return true;
}
}  // namespace

std::string drawingRecordLine(const DrawingFacts& facts, std::string_view fileName, std::string_view entity) {
  constexpr std::string_view kPrefix = "ACDB";
  std::string handles;
  if (facts.read()) {
    handles.reserve(facts.drawing.summary.entities.size() * 4);
    for (const auto& drawn : facts.drawing.summary.entities) {
      // An entity without a handle (an old drawing saved without them) adds
      // nothing: an empty entry would match every other such drawing's.
      const std::string_view name = drawn.className;
      if (drawn.hasHandle && name.size() == kPrefix.size() + entity.size() &&
          upperCaseIs(name.substr(0, kPrefix.size()), kPrefix) && upperCaseIs(name.substr(kPrefix.size()), entity)) {
        veldra::dwg::appendHandleText(handles, drawn.handle);
        handles += '$';
      }
    }
  }
  return recordLine(recordName(fileName), facts.read() ? facts.created : std::nullopt, handles);
}

}  // namespace veldra
