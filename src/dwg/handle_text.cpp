#include "veldra/dwg/reader.h"

namespace veldra::dwg {

std::string handleText(std::uint64_t handle) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  do {
    text.insert(text.begin(), kDigits[handle & 0xF]);
    handle >>= 4;
  } while (handle != 0);
  return text;
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
