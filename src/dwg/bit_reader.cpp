#include "bit_reader.h"

#include <algorithm>
#include <bit>

namespace veldra::dwg::detail {

std::uint64_t HandleRef::resolve(std::uint64_t self) const {
  switch (code) {
    case 0x6: return self + 1;
    case 0x8: return self - 1;
    case 0xA: return self + value;
    case 0xC: return self - value;
    default: return value;
  }
}

void BitReader::seek(std::uint64_t bit) {
  if (bit > end_) {
    failed_ = true;
    pos_ = end_;
    return;
  }
  pos_ = bit;
}

std::uint64_t BitReader::readBitsSlow(unsigned count) {
  if (failed_ || count > end_ - pos_) {
    failed_ = true;
    pos_ = end_;
    return 0;
  }
  std::uint64_t value = 0;
  std::uint64_t bit = pos_;
  unsigned left = count;
  // Whole bytes when aligned, bit by bit around the edges.
  while (left > 0) {
    const std::uint8_t byte = data_[static_cast<std::size_t>(bit >> 3)];
    const unsigned offset = static_cast<unsigned>(bit & 7);
    const unsigned take = std::min(left, 8 - offset);
    const unsigned shift = 8 - offset - take;
    const std::uint8_t part = static_cast<std::uint8_t>((byte >> shift) & ((1u << take) - 1));
    value = (value << take) | part;
    bit += take;
    left -= take;
  }
  pos_ = bit;
  return value;
}

// Two reads of 32 bits when all 64 are there; otherwise the one read that
// fails whole.
std::uint64_t BitReader::readRLL() {
  if (failed_ || end_ - pos_ < 64) return swapBytes(readBits(64));
  const std::uint64_t high = readBits(32);
  return swapBytes((high << 32) | readBits(32));
}

double BitReader::readRD() { return std::bit_cast<double>(readRLL()); }

std::uint64_t BitReader::readBLL() {
  const unsigned length = static_cast<unsigned>(readBits(3));
  std::uint64_t value = 0;
  for (unsigned i = 0; i < length; ++i) value |= static_cast<std::uint64_t>(readRC()) << (8 * i);
  return value;
}

double BitReader::readBD() {
  switch (readBB()) {
    case 0: return readRD();
    case 1: return 1.0;
    case 2: return 0.0;
    default:
      fail();
      return 0.0;
  }
}

double BitReader::readDD(double defaultValue) {
  std::uint64_t bits = std::bit_cast<std::uint64_t>(defaultValue);
  switch (readBB()) {
    case 0: return defaultValue;
    case 1:
      bits = (bits & ~std::uint64_t{0xFFFFFFFF}) | readRL();
      return std::bit_cast<double>(bits);
    case 2: {
      // Two bytes for bytes 5 and 6 of the default (counting from 1, least
      // significant first), then four for bytes 1 to 4; the sign and
      // exponent bytes stay.
      const std::uint64_t b4 = readRC();
      const std::uint64_t b5 = readRC();
      const std::uint64_t low = readRL();
      bits = (bits & 0xFFFF000000000000ull) | (b5 << 40) | (b4 << 32) | low;
      return std::bit_cast<double>(bits);
    }
    default: return readRD();
  }
}

double BitReader::readBT() { return readB() ? 0.0 : readBD(); }

void BitReader::readBE(double xyz[3]) {
  if (readB()) {
    xyz[0] = 0.0;
    xyz[1] = 0.0;
    xyz[2] = 1.0;
    return;
  }
  for (int i = 0; i < 3; ++i) xyz[i] = readBD();
}

std::uint64_t BitReader::readUMC() {
  std::uint64_t value = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    const std::uint8_t byte = readRC();
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0 || failed_) return value;
  }
  fail();  // longer than any 64-bit value
  return 0;
}

std::int64_t BitReader::readMC() {
  std::uint64_t value = 0;
  for (unsigned shift = 0; shift < 63; shift += 7) {
    const std::uint8_t byte = readRC();
    if ((byte & 0x80) == 0 || failed_) {
      // The last byte carries six value bits and the sign.
      value |= static_cast<std::uint64_t>(byte & 0x3F) << shift;
      const auto magnitude = static_cast<std::int64_t>(value & 0x7FFFFFFFFFFFFFFFull);
      return (byte & 0x40) ? -magnitude : magnitude;
    }
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
  }
  fail();
  return 0;
}

std::uint32_t BitReader::readMS() {
  std::uint32_t value = 0;
  for (unsigned shift = 0; shift < 32; shift += 15) {
    const std::uint16_t word = readRS();
    value |= static_cast<std::uint32_t>(word & 0x7FFF) << shift;
    if ((word & 0x8000) == 0 || failed_) return value;
  }
  fail();
  return 0;
}

HandleRef BitReader::readHandleRest(std::uint8_t first) {
  HandleRef ref;
  ref.code = static_cast<std::uint8_t>(first >> 4);
  const unsigned counter = first & 0x0F;
  if (counter > 8) {
    fail();
    return {};
  }
  for (unsigned i = 0; i < counter; ++i) ref.value = (ref.value << 8) | readRC();
  return ref;
}

std::uint16_t BitReader::readOT() {
  switch (readBB()) {
    case 0: return readRC();
    case 1: return static_cast<std::uint16_t>(readRC() + 0x1F0);
    default: return readRS();
  }
}

std::string BitReader::readTV() {
  const auto length = static_cast<std::uint16_t>(readBS());
  if (static_cast<std::uint64_t>(length) * 8 > remaining()) {
    fail();
    return {};
  }
  if (failed_) return {};
  std::string text(length, '\0');
  // The bytes are taken straight from the data, each from two bytes off a
  // byte boundary, all inside the reader as checked above.
  const unsigned offset = static_cast<unsigned>(pos_ & 7);
  const std::uint8_t* p = data_.data() + (pos_ >> 3);
  for (auto& c : text) {
    const auto byte = offset == 0 ? p[0] : static_cast<std::uint8_t>((p[0] << offset) | (p[1] >> (8 - offset)));
    ++p;
    c = byte < 0x80 ? static_cast<char>(byte) : '?';
  }
  pos_ += static_cast<std::uint64_t>(length) * 8;
  while (!text.empty() && text.back() == '\0') text.pop_back();  // stored with its terminator
  return text;
}

std::string BitReader::readTU() {
  const auto length = static_cast<std::uint16_t>(readBS());
  if (static_cast<std::uint64_t>(length) * 16 > remaining()) {
    fail();
    return {};
  }
  if (failed_) return {};
  std::string text(length, '\0');
  // The units are taken straight from the bytes, two bytes (or three, off a
  // byte boundary) each, all inside the reader as checked above.
  const unsigned offset = static_cast<unsigned>(pos_ & 7);
  const std::uint8_t* p = data_.data() + (pos_ >> 3);
  for (auto& c : text) {
    std::uint8_t low = p[0];
    std::uint8_t high = p[1];
    if (offset != 0) {
      low = static_cast<std::uint8_t>((p[0] << offset) | (p[1] >> (8 - offset)));
      high = static_cast<std::uint8_t>((p[1] << offset) | (p[2] >> (8 - offset)));
    }
    p += 2;
    c = high == 0 && low < 0x80 ? static_cast<char>(low) : '?';
  }
  pos_ += static_cast<std::uint64_t>(length) * 16;
  while (!text.empty() && text.back() == '\0') text.pop_back();
  return text;
}

std::string BitReader::readTVBytes() {
  const auto length = static_cast<std::uint16_t>(readBS());
  if (static_cast<std::uint64_t>(length) * 8 > remaining()) {
    fail();
    return {};
  }
  std::string text(length, '\0');
  for (auto& c : text) c = static_cast<char>(readRC());
  text.resize(std::min(text.size(), text.find('\0')));
  return text;
}

std::u16string BitReader::readTUUnits() {
  const auto length = static_cast<std::uint16_t>(readBS());
  if (static_cast<std::uint64_t>(length) * 16 > remaining()) {
    fail();
    return {};
  }
  std::u16string text(length, u'\0');
  for (auto& c : text) c = static_cast<char16_t>(readRS());
  text.resize(std::min(text.size(), text.find(u'\0')));
  return text;
}

void BitReader::skipTV() {
  const auto length = static_cast<std::uint16_t>(readBS());
  skip(static_cast<std::uint64_t>(length) * 8);
}

void BitReader::skipTU() {
  const auto length = static_cast<std::uint16_t>(readBS());
  skip(static_cast<std::uint64_t>(length) * 16);
}

}  // namespace veldra::dwg::detail
