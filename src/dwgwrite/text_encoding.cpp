#include "dwgwrite/text_encoding.h"

#include <array>
#include <vector>

namespace veldra::dwgwrite::detail {
namespace {

// Decodes well-formed UTF-8; false on anything else (overlong forms,
// surrogates, values past U+10FFFF, cut-short sequences).
bool decode(std::string_view text, std::vector<char32_t>& out) {
  out.clear();
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    unsigned extra = 0;
    char32_t c = 0;
    if (lead < 0x80) {
      c = lead;
    } else if ((lead & 0xE0) == 0xC0) {
      extra = 1;
      c = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
      extra = 2;
      c = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
      extra = 3;
      c = lead & 0x07;
    } else {
      return false;
    }
    if (text.size() - i <= extra) return false;
    for (unsigned k = 1; k <= extra; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    static constexpr char32_t kSmallest[] = {0, 0x80, 0x800, 0x10000};
    if (c < kSmallest[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return false;
    out.push_back(c);
    i += extra + 1;
  }
  return true;
}

// Code page 1252 bytes 0x80 to 0x9F; the five unassigned ones map to
// themselves as C1 controls.
constexpr std::array<char16_t, 32> kHighControls{
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

bool isUtf8(std::string_view text) {
  std::vector<char32_t> ignored;
  return decode(text, ignored);
}

bool toCodePage1252(std::string_view utf8, std::string& out) {
  out.clear();
  std::vector<char32_t> chars;
  if (!decode(utf8, chars)) return false;
  for (char32_t c : chars) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) {
      out.push_back(static_cast<char>(c));
      continue;
    }
    bool found = false;
    for (std::size_t k = 0; k < kHighControls.size() && !found; ++k) {
      if (kHighControls[k] == c) {
        out.push_back(static_cast<char>(0x80 + k));
        found = true;
      }
    }
    if (!found) return false;
  }
  return true;
}

std::u16string toUtf16(std::string_view utf8) {
  std::vector<char32_t> chars;
  decode(utf8, chars);
  std::u16string out;
  for (char32_t c : chars) {
    if (c < 0x10000) {
      out.push_back(static_cast<char16_t>(c));
    } else {
      c -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
    }
  }
  return out;
}

}  // namespace veldra::dwgwrite::detail
