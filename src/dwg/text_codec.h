#pragma once

// Texts of a drawing as UTF-8. Before R2007 texts are 8-bit in the code page
// the file header names (a number at offset 0x13); from R2007 on they are
// UTF-16. Bytes or units that name no character come out as U+FFFD.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace veldra::dwg::detail {

// The code page numbers of the file header that matter here.
inline constexpr std::uint16_t kCodePageUndefined = 0;
inline constexpr std::uint16_t kCodePageAnsi1252 = 30;

// The 128 characters of bytes 0x80-0xFF of a single-byte code page, or
// nullptr for a page this reader does not map (the multi-byte pages of East
// Asian languages, and unknown numbers).
const char16_t* codePageUpperHalf(std::uint16_t codePage);

// 8-bit text in `codePage` as UTF-8. An undefined or plain-ASCII page reads
// as 1252, the page almost every drawing names. A character outside the
// page, stored as "\U+" and four hex digits, is that character.
std::string codePageToUtf8(std::span<const std::uint8_t> bytes, std::uint16_t codePage);

// UTF-16 text as UTF-8; an unpaired surrogate becomes U+FFFD.
std::string utf16ToUtf8(std::u16string_view units);

// Appends one code point as UTF-8.
void appendUtf8(std::string& out, char32_t codePoint);

}  // namespace veldra::dwg::detail
