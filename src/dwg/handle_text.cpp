#include "veldra/dwg/reader.h"

namespace veldra::dwg {

std::string handleText(std::uint64_t handle) {
  std::string text;
  appendHandleText(text, handle);
  return text;
}

void appendHandleText(std::string& text, std::uint64_t handle) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  char digits[16];
  char* first = digits + sizeof digits;
  do {
    *--first = kDigits[handle & 0xF];
    handle >>= 4;
  } while (handle != 0);
  text.append(first, digits + sizeof digits);
}

bool storesUniversalTime(const std::string& version) {
  // Versions are "AC" followed by four digits; AC1015 (R2000) and later store UTC.
  if (version.size() != 6 || version.compare(0, 2, "AC") != 0) return false;
  // The earliest versions ("AC2.10") have a point among their digits.
  for (std::size_t i = 2; i < version.size(); ++i)
    if (version[i] < '0' || version[i] > '9') return false;
  return version.compare(2, 4, "1015") >= 0;
}

}  // namespace veldra::dwg
