#pragma once

// A reader over the bit stream of a drawing section. Its functions carry the
// names of the format's data codes (B, BB, BS, BL, MC, H, TV...). Reading past
// the end never touches memory outside the buffer: it sets a sticky failure
// flag and yields zeros, so a caller checks failed() once after a group of
// reads.

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace veldra::dwg::detail {

// A handle reference as stored: its code (owner / pointer kind, or a relative
// offset) and the value that follows.
struct HandleRef {
  std::uint8_t code = 0;
  std::uint64_t value = 0;

  // The handle it refers to; relative codes count from `self`.
  std::uint64_t resolve(std::uint64_t self) const;
};

class BitReader {
 public:
  BitReader() = default;
  // Reads `data` from bit `startBit` up to (not including) bit `endBit`.
  explicit BitReader(std::span<const std::uint8_t> data)
      : data_(data), pos_(0), end_(static_cast<std::uint64_t>(data.size()) * 8) {}
  BitReader(std::span<const std::uint8_t> data, std::uint64_t startBit, std::uint64_t endBit)
      : data_(data), pos_(startBit), end_(std::min<std::uint64_t>(endBit, static_cast<std::uint64_t>(data.size()) * 8)) {
    if (pos_ > end_) failed_ = true;
  }

  bool failed() const { return failed_; }
  std::uint64_t position() const { return pos_; }
  std::uint64_t end() const { return end_; }
  std::uint64_t remaining() const { return pos_ < end_ ? end_ - pos_ : 0; }
  void seek(std::uint64_t bit);
  void skip(std::uint64_t bits) { seek(pos_ + bits); }
  // Makes every later read fail (for a reader that detected a bad value).
  void fail() { failed_ = true; }

  // Raw values, little-endian, not aligned to bytes. The bits are read
  // whole (so a value cut short yields zero), then their bytes turned.
  std::uint8_t readRC() { return static_cast<std::uint8_t>(readBits(8)); }
  std::uint16_t readRS() { return static_cast<std::uint16_t>(swapBytes(readBits(16)) >> 48); }
  std::uint32_t readRL() { return static_cast<std::uint32_t>(swapBytes(readBits(32)) >> 32); }
  std::uint64_t readRLL();
  double readRD();

  // Bit-coded values.
  bool readB() { return readBits(1) != 0; }
  std::uint8_t readBB() { return static_cast<std::uint8_t>(readBits(2)); }
  std::int16_t readBS() {
    switch (readBB()) {
      case 0: return static_cast<std::int16_t>(readRS());
      case 1: return readRC();
      case 2: return 0;
      default: return 256;
    }
  }
  std::int32_t readBL() {
    switch (readBB()) {
      case 0: return static_cast<std::int32_t>(readRL());
      case 1: return readRC();
      case 2: return 0;
      default:
        fail();  // the fourth form is not used by the format
        return 0;
    }
  }
  std::uint64_t readBLL();
  double readBD();
  double readDD(double defaultValue);
  double readBT();
  void readBE(double xyz[3]);

  // Modular values: MC (signed), MC read as unsigned, MS.
  std::int64_t readMC();
  std::uint64_t readUMC();
  std::uint32_t readMS();

  HandleRef readH() {
    const std::uint8_t first = readRC();
    const unsigned counter = first & 0x0F;
    // The value's bytes in one read when they are all there; otherwise one
    // by one, so that a value cut short keeps the bytes it had.
    if (counter == 0 || counter > 7 || failed_ || counter * 8u > end_ - pos_) return readHandleRest(first);
    return {static_cast<std::uint8_t>(first >> 4), readBits(counter * 8)};
  }

  // Object type: BS before R2010, the bit-pair coded form (OT) after.
  std::uint16_t readOT();

  // Text: TV is 8-bit (length BS + bytes), TU is UTF-16 (length BS + units).
  // Both give the text with every unit above 0x7F replaced by '?', which is
  // all the reader needs (it compares names made of ASCII letters).
  std::string readTV();
  std::string readTU();
  void skipTV();
  void skipTU();
  // The same texts as stored, up to the first NUL, for decoding to UTF-8:
  // the bytes of a TV, the code units of a TU.
  std::string readTVBytes();
  std::u16string readTUUnits();

 private:
  // Up to 64 bits, the first the most significant. The common case is kept
  // small enough to be put in place at every read: at most 56 bits, all
  // inside the reader, with eight bytes of data from the first.
#if defined(__GNUC__) || defined(__clang__)
  [[gnu::always_inline]]
#endif
  std::uint64_t readBits(unsigned count) {
    const auto at = static_cast<std::size_t>(pos_ >> 3);
    if (failed_ || count == 0 || count > 56 || count > end_ - pos_ || data_.size() - at < 8) [[unlikely]]
      return readBitsSlow(count);
    std::uint64_t word = 0;
    std::memcpy(&word, data_.data() + at, 8);
    if constexpr (std::endian::native == std::endian::little) word = swapBytes(word);
    const unsigned offset = static_cast<unsigned>(pos_ & 7);
    pos_ += count;
    return (word << offset) >> (64 - count);
  }
  std::uint64_t readBitsSlow(unsigned count);
  HandleRef readHandleRest(std::uint8_t first);

  static std::uint64_t swapBytes(std::uint64_t value) {
#if defined(__GNUC__) || defined(__clang__)
    return __builtin_bswap64(value);
#else
    value = ((value & 0x00FF00FF00FF00FFull) << 8) | ((value >> 8) & 0x00FF00FF00FF00FFull);
    value = ((value & 0x0000FFFF0000FFFFull) << 16) | ((value >> 16) & 0x0000FFFF0000FFFFull);
    return (value << 32) | (value >> 32);
#endif
  }

  std::span<const std::uint8_t> data_;
  std::uint64_t pos_ = 0;
  std::uint64_t end_ = 0;
  bool failed_ = false;
};

}  // namespace veldra::dwg::detail
