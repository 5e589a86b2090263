#pragma once

// A reader over the bit stream of a drawing section. Its functions carry the
// names of the format's data codes (B, BB, BS, BL, MC, H, TV...). Reading past
// the end never touches memory outside the buffer: it sets a sticky failure
// flag and yields zeros, so a caller checks failed() once after a group of
// reads.

#include <cstdint>
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
  explicit BitReader(std::span<const std::uint8_t> data);
  BitReader(std::span<const std::uint8_t> data, std::uint64_t startBit, std::uint64_t endBit);

  bool failed() const { return failed_; }
  std::uint64_t position() const { return pos_; }
  std::uint64_t end() const { return end_; }
  std::uint64_t remaining() const { return pos_ < end_ ? end_ - pos_ : 0; }
  void seek(std::uint64_t bit);
  void skip(std::uint64_t bits) { seek(pos_ + bits); }
  // Makes every later read fail (for a reader that detected a bad value).
  void fail() { failed_ = true; }

  // Raw values, little-endian, not aligned to bytes.
  std::uint8_t readRC();
  std::uint16_t readRS();
  std::uint32_t readRL();
  std::uint64_t readRLL();
  double readRD();

  // Bit-coded values.
  bool readB();
  std::uint8_t readBB();
  std::int16_t readBS();
  std::int32_t readBL();
  std::uint64_t readBLL();
  double readBD();
  double readDD(double defaultValue);
  double readBT();
  void readBE(double xyz[3]);

  // Modular values: MC (signed), MC read as unsigned, MS.
  std::int64_t readMC();
  std::uint64_t readUMC();
  std::uint32_t readMS();

  HandleRef readH();

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
  std::uint64_t readBits(unsigned count);  // up to 64, first bit is the most significant
  std::uint64_t readBitsSlow(unsigned count);

  std::span<const std::uint8_t> data_;
  std::uint64_t pos_ = 0;
  std::uint64_t end_ = 0;
  bool failed_ = false;
};

}  // namespace veldra::dwg::detail
