#include "collect/drawing_record.h"

#include "record/record_format.h"

namespace veldra {

namespace {
constexpr std::string_view kSetName = "GetHandle";

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

std::string collectDrawing(DrawingHost& host, const std::filesystem::path& drawing, std::string_view fileName,
                           std::string_view entity, const std::function<void()>& afterEntity,
                           CollectedDrawing* collected) {
  const bool opened = host.open(drawing);
  if (collected) *collected = {opened, host.facts()};
  host.addSelectionSet(kSetName);
  host.selectAll(kSetName);
  std::string wanted = "ACDB";
  wanted += entity;
  std::string handles;
  std::string upper;
  host.forEachEntity(kSetName, [&](std::string_view objectName, std::string_view handle) {
    upper.assign(objectName);
    for (char& c : upper) c = upperAscii(c);
    // An entity without a handle (an old drawing saved without them) adds
    // nothing: an empty entry would match every other such drawing's.
    if (upper == wanted && !handle.empty()) {
      handles += handle;
      handles += '$';
    }
    if (afterEntity) afterEntity();
  });
  // The date is asked for this drawing alone: a drawing the host cannot read
  // gets an empty date field rather than the previous drawing's date.
  const std::optional<double> date = host.getVariable("TDCREATE");
  host.deleteSelectionSet(kSetName);
  host.closeAll();
  return recordLine(recordName(fileName), date, handles);
}

}  // namespace veldra
