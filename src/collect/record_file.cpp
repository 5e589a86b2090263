#include "collect/record_file.h"

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "compare/julian_text.h"

namespace veldra {

namespace {
constexpr std::string_view kSetName = "GetHandle";

char upperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }
}  // namespace

namespace {
// A character that would end a record's field, its quotes or its line.
bool breaksRecord(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return c == ',' || c == '"' || byte < 0x20 || byte == 0x7f;
}
}  // namespace

std::string recordName(std::string_view fileName) {
  std::string name(fileName);
  for (char& c : name)
    if (breaksRecord(c)) c = '_';
  name.resize(name.size() >= 4 ? name.size() - 4 : 0);
  return upperCase(name);
}

std::string recordLine(std::string_view name, std::optional<double> date, std::string_view handles) {
  std::string text(name);
  text += ',';
  if (date) text += julianText(*date);
  text += ',';
  text += handles;
  text += ",END";
  return quotedLine(text);
}

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
