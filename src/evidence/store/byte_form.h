#pragma once

// The compact byte form the evidence store keeps findings and settings in:
// whole numbers as variable-length integers (signed ones zigzagged),
// numbers as their eight bytes least significant first, texts and lists
// after their length. The reader checks every length against what is left
// and, once anything is amiss, reads nothing more and says so (ok()).

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "evidence/features/drawing_evidence.h"

namespace veldra::evidence {

class ByteWriter {
 public:
  void varint(std::uint64_t v) {
    while (v >= 0x80) {
      out.push_back(static_cast<std::uint8_t>(v | 0x80));
      v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
  }
  void integer(std::int64_t v) { varint((static_cast<std::uint64_t>(v) << 1) ^ static_cast<std::uint64_t>(v >> 63)); }
  void flag(bool v) { varint(v ? 1 : 0); }
  void number(double v) { fixed(std::bit_cast<std::uint64_t>(v)); }
  void single(float v) { little(std::bit_cast<std::uint32_t>(v)); }
  void fixed(std::uint64_t v) { little(v); }
  void text(const std::string& s) {
    varint(s.size());
    out.insert(out.end(), s.begin(), s.end());
  }
  void bytes(const std::vector<std::uint8_t>& b) {
    varint(b.size());
    out.insert(out.end(), b.begin(), b.end());
  }
  void raw(std::span<const std::uint8_t> b) { out.insert(out.end(), b.begin(), b.end()); }
  void path(const std::filesystem::path& p) { text(utf8Path(p)); }
  template <class T, class F>
  void optional(const std::optional<T>& v, F&& write) {
    flag(v.has_value());
    if (v) write(*v);
  }
  template <class T, class F>
  void list(const std::vector<T>& items, F&& write) {
    varint(items.size());
    for (const auto& item : items) write(item);
  }
  std::vector<std::uint8_t> out;

 private:
  // Least significant byte first, on any machine.
  template <class T>
  void little(T v) {
    std::array<std::uint8_t, sizeof(T)> b;
    for (std::size_t k = 0; k < sizeof(T); ++k) b[k] = static_cast<std::uint8_t>(v >> (8 * k));
    out.insert(out.end(), b.begin(), b.end());
  }
};

class ByteReader {
 public:
  explicit ByteReader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool ok() const { return ok_; }
  bool done() const { return ok_ && at_ == bytes_.size(); }
  std::size_t at() const { return at_; }
  // What was read since `from`.
  std::span<const std::uint8_t> since(std::size_t from) const { return bytes_.subspan(from, at_ - from); }
  void skip(std::size_t n) {
    if (!ok_ || bytes_.size() - at_ < n) fail();
    else at_ += n;
  }

  std::uint64_t varint() {
    std::uint64_t v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      if (!ok_ || at_ >= bytes_.size()) return fail();
      const std::uint8_t b = bytes_[at_++];
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return v;
    }
    return fail();
  }
  std::int64_t integer() {
    const std::uint64_t v = varint();
    return static_cast<std::int64_t>((v >> 1) ^ (~(v & 1) + 1));
  }
  int small() { return static_cast<int>(integer()); }
  bool flag() { return varint() != 0; }
  std::uint64_t fixed() {
    if (!ok_ || bytes_.size() - at_ < 8) return fail();
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v |= static_cast<std::uint64_t>(bytes_[at_++]) << (8 * k);
    return v;
  }
  double number() { return std::bit_cast<double>(fixed()); }
  float single() {
    if (!ok_ || bytes_.size() - at_ < 4) return static_cast<float>(fail());
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k) v |= static_cast<std::uint32_t>(bytes_[at_++]) << (8 * k);
    return std::bit_cast<float>(v);
  }
  // A count of items of at least `minBytes` each that can still be there.
  std::size_t count(std::size_t minBytes = 1) {
    const std::uint64_t n = varint();
    if (!ok_ || n > (bytes_.size() - at_) / minBytes) return static_cast<std::size_t>(fail());
    return static_cast<std::size_t>(n);
  }
  std::string text() {
    const std::size_t n = count();
    if (!ok_) return {};
    std::string s(reinterpret_cast<const char*>(bytes_.data() + at_), n);
    at_ += n;
    return s;
  }
  std::vector<std::uint8_t> bytes() {
    const std::size_t n = count();
    if (!ok_) return {};
    std::vector<std::uint8_t> b(bytes_.begin() + static_cast<std::ptrdiff_t>(at_),
                                bytes_.begin() + static_cast<std::ptrdiff_t>(at_ + n));
    at_ += n;
    return b;
  }
  std::filesystem::path path() {
    const std::string s = text();
    // Damaged bytes may hold text that is no UTF-8, of which Windows makes
    // no path: such bytes are refused like any other damage.
    try {
      return std::filesystem::path(std::u8string(s.begin(), s.end()));
    } catch (const std::exception&) {
      ok_ = false;
      return {};
    }
  }
  template <class T, class F>
  std::optional<T> optional(F&& read) {
    if (!flag()) return std::nullopt;
    return read();
  }
  template <class T, class F>
  std::vector<T> list(F&& read) {
    const std::size_t n = count();
    std::vector<T> items;
    for (std::size_t k = 0; k < n && ok_; ++k) items.push_back(read());
    return items;
  }
  // An index below `limit`.
  std::size_t index(std::size_t limit) {
    const std::uint64_t v = varint();
    if (v >= limit) return static_cast<std::size_t>(fail());
    return static_cast<std::size_t>(v);
  }

 private:
  std::uint64_t fail() {
    ok_ = false;
    return 0;
  }
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
  bool ok_ = true;
};

}  // namespace veldra::evidence
