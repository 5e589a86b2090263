#include "app/utf8_text.h"

#include <utf8proc.h>

#include <cstdint>

#include "platform/platform.h"

namespace veldra {

namespace {

// One character of a text: its code point, or nothing for a byte that does
// not start a well-formed sequence (then `length` is 1).
struct Character {
  std::int32_t codePoint = -1;
  std::size_t length = 1;
  bool valid() const { return codePoint >= 0; }
};

Character characterAt(std::string_view text, std::size_t at) {
  const auto* start = reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at);
  utf8proc_int32_t codePoint = -1;
  const utf8proc_ssize_t length =
      utf8proc_iterate(start, static_cast<utf8proc_ssize_t>(text.size() - at), &codePoint);
  if (length <= 0 || codePoint < 0) return {};
  return {codePoint, static_cast<std::size_t>(length)};
}

// A key that orders characters by their lower-case form; bytes that are not
// UTF-8 come after every character.
std::int64_t foldedKey(std::string_view text, const Character& c, std::size_t at) {
  if (c.valid()) return utf8proc_tolower(c.codePoint);
  return 0x110000 + static_cast<unsigned char>(text[at]);
}

}  // namespace

std::string upperCase(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const Character c = characterAt(text, i);
    if (!c.valid()) {
      out += text[i];
    } else if (c.codePoint < 0x80) {
      const char ascii = static_cast<char>(c.codePoint);
      out += (ascii >= 'a' && ascii <= 'z') ? static_cast<char>(ascii - 'a' + 'A') : ascii;
    } else if (c.codePoint == 0xDF) {
      // ß stays, as upper-casing on Windows leaves it, rather than becoming
      // the rare capital ẞ.
      out.append(text.substr(i, c.length));
    } else {
      utf8proc_uint8_t encoded[4];
      const utf8proc_ssize_t n = utf8proc_encode_char(utf8proc_toupper(c.codePoint), encoded);
      out.append(reinterpret_cast<const char*>(encoded), static_cast<std::size_t>(n));
    }
    i += c.length;
  }
  return out;
}

std::size_t characterCount(std::string_view text) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < text.size(); i += characterAt(text, i).length) ++count;
  return count;
}

int compareIgnoringCase(std::string_view a, std::string_view b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    const auto ba = static_cast<unsigned char>(a[i]), bb = static_cast<unsigned char>(b[j]);
    if (ba < 0x80 && bb < 0x80) {
      // Both ASCII, as most names are: their lower-case forms without a look-up.
      const int la = (ba >= 'A' && ba <= 'Z') ? ba + ('a' - 'A') : ba;
      const int lb = (bb >= 'A' && bb <= 'Z') ? bb + ('a' - 'A') : bb;
      if (la != lb) return la < lb ? -1 : 1;
      ++i;
      ++j;
      continue;
    }
    const Character ca = characterAt(a, i), cb = characterAt(b, j);
    const std::int64_t ka = foldedKey(a, ca, i), kb = foldedKey(b, cb, j);
    if (ka != kb) return ka < kb ? -1 : 1;
    i += ca.length;
    j += cb.length;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

bool isUtf8(std::string_view text) {
  for (std::size_t i = 0; i < text.size();) {
    // ASCII runs need no decoding.
    if (static_cast<unsigned char>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const Character c = characterAt(text, i);
    if (!c.valid()) return false;
    i += c.length;
  }
  return true;
}

std::string textFromStoredBytes(std::string_view bytes) {
  if (isUtf8(bytes)) return std::string(bytes);
  std::string text;
  text.reserve(bytes.size() + bytes.size() / 2);
  while (!bytes.empty()) {
    const std::size_t end = bytes.find('\n');
    const std::size_t length = end == std::string_view::npos ? bytes.size() : end + 1;
    const std::string_view line = bytes.substr(0, length);
    text += isUtf8(line) ? std::string(line) : utf8FromAnsiCodePage(line);
    bytes.remove_prefix(length);
  }
  return text;
}

std::string oneLine(std::string_view text) {
  auto symbol = [](std::string& out, char32_t c) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  };
  std::string out;
  out.reserve(text.size());
  for (std::size_t k = 0; k < text.size(); ++k) {
    const auto byte = static_cast<unsigned char>(text[k]);
    if (byte < 0x20 || byte == 0x7F) {
      symbol(out, byte == 0x7F ? char32_t{0x2421} : char32_t{0x2400} + byte);
    } else if (byte == 0xC2 && k + 1 < text.size() && static_cast<unsigned char>(text[k + 1]) == 0x85) {
      symbol(out, 0x2424);
      ++k;
    } else if (byte == 0xE2 && k + 2 < text.size() && static_cast<unsigned char>(text[k + 1]) == 0x80 &&
               (static_cast<unsigned char>(text[k + 2]) == 0xA8 || static_cast<unsigned char>(text[k + 2]) == 0xA9)) {
      symbol(out, 0x2424);
      k += 2;
    } else {
      out += text[k];
    }
  }
  return out;
}

}  // namespace veldra
