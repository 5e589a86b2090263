// Feeds arbitrary bytes to the rich-text reader. Besides the sanitizers'
// findings it stops on text or font names that are not valid UTF-8, and on
// empty runs.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "reports/rtf/rtf_reader.h"

namespace {

bool validUtf8(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = 0;
    char32_t cp = 0;
    if (c < 0x80) {
      ++i;
      continue;
    } else if ((c & 0xE0) == 0xC0) {
      len = 2;
      cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
      len = 3;
      cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
      len = 4;
      cp = c & 0x07;
    } else {
      return false;
    }
    if (i + len > s.size()) return false;
    for (std::size_t k = 1; k < len; ++k) {
      const auto d = static_cast<unsigned char>(s[i + k]);
      if ((d & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (d & 0x3F);
    }
    const char32_t minimum = len == 2 ? 0x80 : len == 3 ? 0x800 : 0x10000;
    if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += len;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const veldra::rtf::Document doc = veldra::rtf::parse(bytes);
  for (const auto& paragraph : doc.paragraphs) {
    for (const auto& run : paragraph.runs) {
      if (run.text.empty() || !validUtf8(run.text)) std::abort();
      if (run.format.halfPoints <= 0) std::abort();
    }
  }
  for (const auto& [number, name] : doc.fonts)
    if (name.empty() || !validUtf8(name)) std::abort();
  (void)veldra::rtf::plainText(doc);
  return 0;
}
