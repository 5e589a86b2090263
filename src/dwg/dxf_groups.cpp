#include "dxf_groups.h"

#include <charconv>
#include <cstring>
#include <string>

#include "dxf_reader.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::size_t kBomSize = 3;

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// How the binary form stores the value of a group code.
enum class Stored { kString, kDouble, kInt16, kInt32, kInt64, kBool, kBytes };

Stored storedAs(int code) {
  if (code == 310 || (code >= 311 && code <= 319) || code == 1004) return Stored::kBytes;
  if ((code >= 10 && code <= 59) || (code >= 110 && code <= 149) || (code >= 210 && code <= 239) ||
      (code >= 460 && code <= 469) || (code >= 1010 && code <= 1059))
    return Stored::kDouble;
  if ((code >= 60 && code <= 79) || (code >= 170 && code <= 179) || (code >= 270 && code <= 289) ||
      (code >= 370 && code <= 389) || (code >= 400 && code <= 409) || (code >= 1060 && code <= 1070))
    return Stored::kInt16;
  if ((code >= 90 && code <= 99) || (code >= 420 && code <= 429) || (code >= 440 && code <= 459) || code == 1071)
    return Stored::kInt32;
  if (code >= 160 && code <= 169) return Stored::kInt64;
  if (code >= 290 && code <= 299) return Stored::kBool;
  return Stored::kString;
}

std::uint64_t littleEndian(const std::uint8_t* p, std::size_t n) {
  std::uint64_t v = 0;
  for (std::size_t i = n; i-- > 0;) v = (v << 8) | p[i];
  return v;
}

}  // namespace

bool DxfGroup::asReal(double& out) const {
  switch (kind) {
    case Kind::kReal: out = real; return true;
    case Kind::kInteger: out = static_cast<double>(integer); return true;
    case Kind::kBytes: return false;
    case Kind::kText: break;
  }
  std::string_view t = trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size();
}

bool DxfGroup::asInteger(std::int64_t& out) const {
  switch (kind) {
    case Kind::kInteger: out = integer; return true;
    case Kind::kReal:
      if (!(real >= -9.2e18 && real <= 9.2e18) || real != static_cast<double>(static_cast<std::int64_t>(real)))
        return false;
      out = static_cast<std::int64_t>(real);
      return true;
    case Kind::kBytes: return false;
    case Kind::kText: break;
  }
  std::string_view t = trim(text);
  if (!t.empty() && t.front() == '+') t.remove_prefix(1);
  if (t.empty()) return false;
  const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), out);
  return ec == std::errc() && end == t.data() + t.size();
}

std::string_view DxfGroup::trimmed() const { return trim(text); }

DxfGroups::DxfGroups(std::span<const std::uint8_t> data) : data_(data) {
  const std::string_view start(reinterpret_cast<const char*>(data.data()),
                               std::min(data.size(), kDxfBinarySentinel.size() + 2));
  if (start.substr(0, kDxfBinarySentinel.size()) == kDxfBinarySentinel) {
    binary_ = true;
    pos_ = kDxfBinarySentinel.size();
    // The first group is 0 / SECTION: a second zero byte tells a two-byte code.
    wideCodes_ = start.size() < pos_ + 2 || start[pos_ + 1] == '\0';
  } else if (data.size() >= kBomSize && data[0] == 0xEF && data[1] == 0xBB && data[2] == 0xBF) {
    pos_ = kBomSize;
  }
}

bool DxfGroups::fail(ErrorKind kind, std::string message, std::uint64_t at) {
  if (status_.ok()) status_ = Status{kind, std::move(message), at, "DXF"};
  pos_ = data_.size();
  return false;
}

bool DxfGroups::next(DxfGroup& group) {
  if (hasPending_) {
    hasPending_ = false;
    group = pending_;
    return true;
  }
  if (!status_.ok()) return false;
  return binary_ ? nextBinary(group) : nextText(group);
}

bool DxfGroups::line(std::string_view& out) {
  const std::size_t left = data_.size() - pos_;
  const std::uint8_t* start = data_.data() + pos_;
  const std::size_t window = std::min(left, kDxfMaxLine + 1);
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(start, '\n', window));
  std::size_t length = 0;
  if (end != nullptr) {
    length = static_cast<std::size_t>(end - start);
    pos_ += length + 1;
  } else if (left > kDxfMaxLine) {
    return fail(ErrorKind::kCorrupt, "a line longer than " + std::to_string(kDxfMaxLine / 1024) + " KiB", pos_);
  } else {
    length = left;
    pos_ += length;
  }
  if (length > 0 && start[length - 1] == '\r') --length;
  out = std::string_view(reinterpret_cast<const char*>(start), length);
  return true;
}

bool DxfGroups::nextText(DxfGroup& group) {
  // Blank lines after the last group end the file as well as its end does.
  std::size_t at = pos_;
  while (at < data_.size() && isBlank(static_cast<char>(data_[at]))) ++at;
  if (at == data_.size()) {
    pos_ = at;
    return false;
  }
  group = DxfGroup{};
  group.offset = pos_;
  std::string_view codeLine;
  if (!line(codeLine)) return false;
  const std::string_view code = trim(codeLine);
  int value = 0;
  const auto [end, ec] = std::from_chars(code.data(), code.data() + code.size(), value);
  if (code.empty() || ec != std::errc() || end != code.data() + code.size())
    return fail(ErrorKind::kCorrupt, "a group code that is no number", group.offset);
  if (value < 0 || value > kDxfMaxGroupCode)
    return fail(ErrorKind::kCorrupt, "group code " + std::to_string(value) + " outside the codes DXF uses",
                group.offset);
  group.code = value;
  if (pos_ >= data_.size())
    return fail(ErrorKind::kTruncated, "the file ends after group code " + std::to_string(value), group.offset);
  if (!line(group.text)) return false;
  // Only the last line of all, EOF, may go without its line end: any other
  // value cut there may be cut short.
  if (pos_ == data_.size() && data_.back() != '\n' && !(value == 0 && group.is("EOF")))
    return fail(ErrorKind::kTruncated, "the file ends within a line", group.offset);
  return true;
}

bool DxfGroups::nextBinary(DxfGroup& group) {
  if (pos_ >= data_.size()) return false;
  group = DxfGroup{};
  group.offset = pos_;
  auto need = [&](std::size_t n) {
    if (data_.size() - pos_ >= n) return true;
    return fail(ErrorKind::kTruncated, "the file ends within a group", group.offset);
  };
  int code = 0;
  if (wideCodes_) {
    if (!need(2)) return false;
    code = static_cast<std::int16_t>(littleEndian(data_.data() + pos_, 2));
    pos_ += 2;
  } else {
    if (!need(1)) return false;
    code = data_[pos_++];
    if (code == 255) {  // extended data codes follow as two bytes
      if (!need(2)) return false;
      code = static_cast<std::int16_t>(littleEndian(data_.data() + pos_, 2));
      pos_ += 2;
    }
  }
  if (code < 0 || code > kDxfMaxGroupCode)
    return fail(ErrorKind::kCorrupt, "group code " + std::to_string(code) + " outside the codes DXF uses",
                group.offset);
  group.code = code;
  const std::uint8_t* p = data_.data() + pos_;
  switch (storedAs(code)) {
    case Stored::kString: {
      const std::size_t window = std::min(data_.size() - pos_, kDxfMaxLine + 1);
      const auto* end = static_cast<const std::uint8_t*>(std::memchr(p, '\0', window));
      if (end == nullptr) {
        if (window > kDxfMaxLine)
          return fail(ErrorKind::kCorrupt, "a string longer than " + std::to_string(kDxfMaxLine / 1024) + " KiB",
                      group.offset);
        return fail(ErrorKind::kTruncated, "the file ends within a string", group.offset);
      }
      group.text = std::string_view(reinterpret_cast<const char*>(p), static_cast<std::size_t>(end - p));
      pos_ += group.text.size() + 1;
      return true;
    }
    case Stored::kBytes: {
      if (!need(1)) return false;
      const std::size_t length = *p;
      if (!need(1 + length)) return false;
      group.kind = DxfGroup::Kind::kBytes;
      group.text = std::string_view(reinterpret_cast<const char*>(p + 1), length);
      pos_ += 1 + length;
      return true;
    }
    case Stored::kDouble: {
      if (!need(8)) return false;
      const std::uint64_t bits = littleEndian(p, 8);
      static_assert(sizeof(double) == sizeof bits);
      std::memcpy(&group.real, &bits, sizeof bits);
      group.kind = DxfGroup::Kind::kReal;
      pos_ += 8;
      return true;
    }
    case Stored::kBool:
    case Stored::kInt16:
    case Stored::kInt32:
    case Stored::kInt64: {
      const Stored stored = storedAs(code);
      const std::size_t n = stored == Stored::kBool ? 1 : stored == Stored::kInt16 ? 2 : stored == Stored::kInt32 ? 4 : 8;
      if (!need(n)) return false;
      const std::uint64_t raw = littleEndian(p, n);
      switch (n) {
        case 1: group.integer = raw; break;
        case 2: group.integer = static_cast<std::int16_t>(raw); break;
        case 4: group.integer = static_cast<std::int32_t>(raw); break;
        default: group.integer = static_cast<std::int64_t>(raw); break;
      }
      group.kind = DxfGroup::Kind::kInteger;
      pos_ += n;
      return true;
    }
  }
  return false;
}

}  // namespace veldra::dwg::detail
