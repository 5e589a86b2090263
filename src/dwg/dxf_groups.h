#pragma once

// The group codes of a DXF file as a stream: a code and its value, read where
// they lie in the file's bytes. The text form gives every value as its line;
// the binary form gives numbers as numbers. Either way a value is asked for
// as the type its code calls for.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "veldra/dwg/reader.h"

namespace veldra::dwg::detail {

// The highest group code DXF uses (extended data, 32-bit integer).
inline constexpr int kDxfMaxGroupCode = 1071;

struct DxfGroup {
  enum class Kind { kText, kReal, kInteger, kBytes };
  int code = 0;
  Kind kind = Kind::kText;
  std::string_view text;     // kText: the value line (without its line end); kBytes: the raw bytes
  double real = 0.0;         // kReal
  std::int64_t integer = 0;  // kInteger
  std::uint64_t offset = 0;  // where the group starts in the file

  // The value as a number; false when it is no number.
  bool asReal(double& out) const;
  bool asInteger(std::int64_t& out) const;
  // The value as text with surrounding blanks removed (names, versions).
  std::string_view trimmed() const;
  // True for a text value that reads `word` once trimmed.
  bool is(std::string_view word) const { return kind == Kind::kText && trimmed() == word; }
};

class DxfGroups {
 public:
  // `data` is the whole file; reading starts after the binary sentinel or at
  // the first byte of the text form.
  explicit DxfGroups(std::span<const std::uint8_t> data);

  // The next group; false at the end of the data or on a fault (see status()).
  bool next(DxfGroup& group);
  // Gives `group` back: the next call of next() returns it again.
  void putBack(const DxfGroup& group) {
    pending_ = group;
    hasPending_ = true;
  }
  const Status& status() const { return status_; }
  bool binary() const { return binary_; }
  std::uint64_t offset() const { return pos_; }

 private:
  bool nextText(DxfGroup& group);
  bool nextBinary(DxfGroup& group);
  // One line from pos_, without its line end; false at the end or when too long.
  bool line(std::string_view& out);
  bool fail(ErrorKind kind, std::string message, std::uint64_t at);

  std::span<const std::uint8_t> data_;
  std::size_t pos_ = 0;
  bool binary_ = false;
  bool wideCodes_ = true;  // binary files from R13 on write two-byte codes
  bool hasPending_ = false;
  DxfGroup pending_;
  Status status_;
};

// The binary form's first bytes.
inline constexpr std::string_view kDxfBinarySentinel{"AutoCAD Binary DXF\r\n\x1a\0", 22};

}  // namespace veldra::dwg::detail
