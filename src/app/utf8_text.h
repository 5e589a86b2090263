#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace veldra {

// Names and report lines are UTF-8 text. A byte that is not part of a
// well-formed UTF-8 sequence (a name on a POSIX file system written in
// another encoding) counts as one character and passes through unchanged.

// Every letter with a simple upper-case form upper-cased (é to É, σ to Σ);
// the count of characters never changes. ß stays as it is.
std::string upperCase(std::string_view text);

// The number of characters (Unicode code points), not bytes.
std::size_t characterCount(std::string_view text);

// Orders two texts by their lower-case forms, character by character:
// negative, zero or positive.
int compareIgnoringCase(std::string_view a, std::string_view b);

// Whether the text is well-formed UTF-8.
bool isUtf8(std::string_view text);

// The text as one line of plain text: each control character (and each of
// the Unicode line ends NEL, LS and PS) shown as its visible symbol (U+2400
// to U+2421, U+2424 for the line ends), so that a name cannot end a report's
// line and fake the next. Text without them is returned as it is.
std::string oneLine(std::string_view text);

// The content of a stored text file as UTF-8. A line that is not UTF-8 was
// written by a single-byte program: on Windows it is read in the system's
// ANSI code page; elsewhere its bytes are kept, as the file system takes them.
std::string textFromStoredBytes(std::string_view bytes);

}  // namespace veldra
