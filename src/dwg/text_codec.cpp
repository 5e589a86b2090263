#include "text_codec.h"

namespace veldra::dwg::detail {

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string codePageToUtf8(std::span<const std::uint8_t> bytes, std::uint16_t codePage) {
  if (codePage == kCodePageUndefined || codePage == 1) codePage = kCodePageAnsi1252;
  const char16_t* upper = codePageUpperHalf(codePage);
  std::string out;
  out.reserve(bytes.size());
  for (const std::uint8_t byte : bytes) {
    if (byte < 0x80) {
      out += static_cast<char>(byte);
    } else {
      appendUtf8(out, upper != nullptr ? upper[byte - 0x80] : U'\uFFFD');
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t unit = units[i];
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      appendUtf8(out, 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (unit >= 0xD800 && unit <= 0xDFFF) {
      appendUtf8(out, U'\uFFFD');
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

}  // namespace veldra::dwg::detail
