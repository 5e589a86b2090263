#include "record/record_format.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <system_error>

#include "app/textfile.h"
#include "app/utf8_text.h"
#include "platform/platform.h"

namespace veldra {

std::string julianText(double value) {
  if (!std::isfinite(value) || value == 0.0) return "0";
  // Fifteen significant digits in scientific form give the digits and the
  // power of ten; the point is then placed by hand so no exponent appears.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, 14);
  std::string_view sci(buf, static_cast<std::size_t>(res.ptr - buf));
  bool negative = false;
  if (!sci.empty() && sci.front() == '-') {
    negative = true;
    sci.remove_prefix(1);
  }
  const auto ePos = sci.find('e');
  std::string mantissa(sci.substr(0, ePos));
  const int exponent = std::atoi(std::string(sci.substr(ePos + 1)).c_str());
  std::string digits;
  for (char c : mantissa)
    if (c != '.') digits += c;
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string out;
  if (negative) out += '-';
  const int count = static_cast<int>(digits.size());
  if (exponent < 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-exponent - 1), '0');
    out += digits;
  } else if (exponent + 1 >= count) {
    out += digits;
    out.append(static_cast<std::size_t>(exponent + 1 - count), '0');
  } else {
    out += digits.substr(0, static_cast<std::size_t>(exponent + 1));
    out += '.';
    out += digits.substr(static_cast<std::size_t>(exponent + 1));
  }
  return out;
}

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

// Length of the plain decimal number at the start of `text` (0 when none).
std::size_t plainNumberLength(std::string_view text) {
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  std::size_t digits = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && text[i] >= '0' && text[i] <= '9') ++i, ++digits;
  }
  return digits == 0 ? 0 : i;
}

double convert(std::string_view number) {
  bool negative = false;
  if (!number.empty() && (number.front() == '-' || number.front() == '+')) {
    negative = number.front() == '-';
    number.remove_prefix(1);
  }
  double value = 0;
  const std::errc error =
      std::from_chars(number.data(), number.data() + number.size(), value, std::chars_format::fixed).ec;
  if (error == std::errc::result_out_of_range) {
    // Too many digits for a double: too large when a digit before the point
    // is not 0, else too small.
    const std::string_view whole = number.substr(0, number.find('.'));
    value = whole.find_first_not_of('0') != std::string_view::npos ? HUGE_VAL : 0.0;
  }
  return negative ? -value : value;
}

}  // namespace

std::optional<double> parsePlainNumber(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  const std::size_t length = plainNumberLength(text);
  if (length == 0 || length != text.size()) return std::nullopt;
  return convert(text);
}

double thresholdNumber(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  const std::size_t length = plainNumberLength(text);
  return length == 0 ? 0.0 : convert(text.substr(0, length));
}

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
  // The quoted line of "name,date,handles,END", made in one piece.
  constexpr std::string_view kEnd = ",END\"";
  const std::string dateText = date ? julianText(*date) : std::string();
  std::string line;
  line.reserve(name.size() + dateText.size() + handles.size() + kEnd.size() + kLineEnd.size() + 3);
  line += '"';
  line += name;
  line += ',';
  line += dateText;
  line += ',';
  line += handles;
  line += kEnd;
  line += kLineEnd;
  return line;
}

std::optional<Record> parseRecord(std::string_view item, std::string* why) {
  auto refuse = [&](const char* reason) -> std::optional<Record> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (item.empty()) return refuse("it is empty");
  const auto p1 = item.find(',');
  const auto p2 = p1 == std::string_view::npos ? p1 : item.find(',', p1 + 1);
  const auto p3 = p2 == std::string_view::npos ? p2 : item.find(',', p2 + 1);
  if (p3 == std::string_view::npos) return refuse("it is not the record of a drawing");
  // Every record ends in ",END": a record without it was cut short.
  if (item.substr(p3 + 1) != "END") return refuse("it is cut short");
  Record record;
  record.name = std::string(item.substr(0, p1));
  const auto dateField = item.substr(p1 + 1, p2 - p1 - 1);
  if (!dateField.empty()) {
    const auto date = parsePlainNumber(dateField);
    if (!date) return refuse("its date is not a number");
    if (!std::isfinite(*date)) return refuse("its date is out of range");
    record.date = *date;
  }
  record.handles = std::string(item.substr(p2 + 1, p3 - p2 - 1));
  return record;
}

namespace {

constexpr const char* kCollectAgain = "Collect the drawings again to make a new record file.";

// The longest record line read: the handles of some hundreds of thousands
// of entities of the chosen type in one drawing, far past what a student's
// drawing holds. A longer line is a damaged record file, refused without
// being read whole.
constexpr std::size_t kLongestRecordLine = std::size_t{4} << 20;

}  // namespace

// The file is read a line at a time and refused at the first line past the
// drawings, and closed before any record is judged, so a run that ends early
// leaves no file open.
std::optional<std::string> readRecordFile(const std::filesystem::path& recordFile, DrawingTable& table) {
  TextLineReader lines(recordFile, kLongestRecordLine);
  const std::string named = "The record file " + utf8FromPath(recordFile);
  if (!lines.opened()) {
    std::error_code ec;
    if (!std::filesystem::exists(recordFile, ec) && !ec) return std::nullopt;
    return named + " cannot be read. " + kCollectAgain;
  }
  std::size_t i = 0;
  std::string line;
  for (;;) {
    const auto step = lines.next(line);
    if (step == TextLineReader::Step::kEnd) break;
    if (step == TextLineReader::Step::kFailed) return named + " cannot be read. " + kCollectAgain;
    const std::string lineNumber = std::to_string(lines.lineNumber());
    if (step == TextLineReader::Step::kTooLong) {
      return named + " is damaged at line " + lineNumber + ": it is longer than " +
             std::to_string(kLongestRecordLine >> 20) + " MB, more than any drawing's record. " + kCollectAgain;
    }
    const auto items = splitItems(line);
    std::string why;
    const auto record = parseRecord(items.empty() ? std::string_view{} : std::string_view(items.front()), &why);
    if (!record) {
      // A quoted record whose quote never closes was cut off, wherever.
      if (!line.empty() && line.front() == '"' && line.find('"', 1) == std::string::npos) why = "it is cut short";
      return named + " is damaged at line " + lineNumber + ": " + why + ". " + kCollectAgain;
    }
    if (i >= table.size()) {
      return named + " holds more records than the " + std::to_string(table.size()) +
             " drawings its locations hold now: drawings were removed since it was collected. " + kCollectAgain;
    }
    table.names[i] = record->name;
    table.times[i] = record->date;
    table.handles[i] = record->handles;
    ++i;
  }
  return std::nullopt;
}

}  // namespace veldra
