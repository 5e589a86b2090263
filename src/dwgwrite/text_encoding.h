#pragma once

// Texts as the drawing stores them: UTF-8 in, Windows code page 1252 bytes
// (before R2007) or UTF-16 units (R2007 on) out.

#include <cstdint>
#include <string>
#include <string_view>

namespace veldra::dwgwrite::detail {

// False when `text` is no well-formed UTF-8.
bool isUtf8(std::string_view text);

// The text in code page 1252; false when a character has no place there.
bool toCodePage1252(std::string_view utf8, std::string& out);

// The text as UTF-16 units (characters past U+FFFF as surrogate pairs).
std::u16string toUtf16(std::string_view utf8);

}  // namespace veldra::dwgwrite::detail
