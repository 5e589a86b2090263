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

namespace {

int hexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The character a "\U+XXXX" at `at` stands for, or 0 where there is none.
char32_t unicodeEscape(std::span<const std::uint8_t> bytes, std::size_t at) {
  if (bytes.size() - at < 7 || bytes[at] != '\\' || bytes[at + 1] != 'U' || bytes[at + 2] != '+') return 0;
  char32_t c = 0;
  for (std::size_t k = at + 3; k < at + 7; ++k) {
    const int digit = hexValue(bytes[k]);
    if (digit < 0) return 0;
    c = (c << 4) | static_cast<char32_t>(digit);
  }
  return (c >= 0xD800 && c <= 0xDFFF) ? 0 : c;
}

}  // namespace

std::string codePageToUtf8(std::span<const std::uint8_t> bytes, std::uint16_t codePage) {
  if (codePage == kCodePageUndefined || codePage == 1) codePage = kCodePageAnsi1252;
  const char16_t* upper = codePageUpperHalf(codePage);
  std::string out;
  out.reserve(bytes.size());
  for (std::size_t at = 0; at < bytes.size(); ++at) {
    const std::uint8_t byte = bytes[at];
    // A character the code page lacks is stored as "\U+" and four hex digits.
    if (const char32_t escaped = byte == '\\' ? unicodeEscape(bytes, at) : 0; escaped != 0) {
      appendUtf8(out, escaped);
      at += 6;
    } else if (byte < 0x80) {
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
