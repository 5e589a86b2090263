#include "dwgwrite/bit_writer.h"

#include <array>
#include <cmath>
#include <cstring>

namespace veldra::dwgwrite {

void BitWriter::writeBit(bool bit) {
  if (bits_ % 8 == 0) bytes_.push_back(0);
  if (bit) bytes_.back() |= static_cast<std::uint8_t>(0x80u >> (bits_ % 8));
  ++bits_;
}

void BitWriter::writeBits(std::uint64_t value, unsigned count) {
  for (unsigned i = count; i > 0; --i) writeBit(((value >> (i - 1)) & 1u) != 0);
}

void BitWriter::writeRS(std::uint16_t value) {
  writeRC(static_cast<std::uint8_t>(value & 0xFF));
  writeRC(static_cast<std::uint8_t>(value >> 8));
}

void BitWriter::writeRL(std::uint32_t value) {
  writeRS(static_cast<std::uint16_t>(value & 0xFFFF));
  writeRS(static_cast<std::uint16_t>(value >> 16));
}

void BitWriter::writeRD(double value) {
  std::uint64_t raw = 0;
  static_assert(sizeof raw == sizeof value);
  std::memcpy(&raw, &value, sizeof raw);
  for (int i = 0; i < 8; ++i) writeRC(static_cast<std::uint8_t>(raw >> (8 * i)));
}

void BitWriter::writeBS(std::uint16_t value) {
  if (value == 0) {
    writeBB(2);
  } else if (value == 256) {
    writeBB(3);
  } else if (value < 256) {
    writeBB(1);
    writeRC(static_cast<std::uint8_t>(value));
  } else {
    writeBB(0);
    writeRS(value);
  }
}

void BitWriter::writeBL(std::uint32_t value) {
  if (value == 0) {
    writeBB(2);
  } else if (value < 256) {
    writeBB(1);
    writeRC(static_cast<std::uint8_t>(value));
  } else {
    writeBB(0);
    writeRL(value);
  }
}

void BitWriter::writeBD(double value) {
  if (value == 1.0) {
    writeBB(1);
  } else if (value == 0.0 && !std::signbit(value)) {
    writeBB(2);
  } else {
    writeBB(0);
    writeRD(value);
  }
}

void BitWriter::write2RD(double x, double y) {
  writeRD(x);
  writeRD(y);
}

void BitWriter::write3BD(double x, double y, double z) {
  writeBD(x);
  writeBD(y);
  writeBD(z);
}

void BitWriter::writeDD(double value, double defaultValue) {
  if (std::memcmp(&value, &defaultValue, sizeof value) == 0) {
    writeBB(0);
  } else {
    writeBB(3);
    writeRD(value);
  }
}

void BitWriter::writeBE(double x, double y, double z) {
  const bool isDefault = x == 0.0 && y == 0.0 && z == 1.0;
  writeB(isDefault);
  if (!isDefault) write3BD(x, y, z);
}

void BitWriter::writeBT(double thickness) {
  const bool isZero = thickness == 0.0;
  writeB(isZero);
  if (!isZero) writeBD(thickness);
}

void BitWriter::writeMC(std::int64_t value) {
  const bool negative = value < 0;
  writeModularChar(negative ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value), negative);
}

void BitWriter::writeUMC(std::uint64_t value) { writeModularChar(value, false); }

void BitWriter::writeModularChar(std::uint64_t magnitude, bool negative) {
  while (magnitude > 0x3F) {
    writeRC(static_cast<std::uint8_t>((magnitude & 0x7F) | 0x80));
    magnitude >>= 7;
  }
  writeRC(static_cast<std::uint8_t>(magnitude | (negative ? 0x40 : 0)));
}

void BitWriter::writeMS(std::uint32_t value) {
  while (value > 0x7FFF) {
    writeRS(static_cast<std::uint16_t>((value & 0x7FFF) | 0x8000));
    value >>= 15;
  }
  writeRS(static_cast<std::uint16_t>(value));
}

void BitWriter::writeH(unsigned code, std::uint64_t handle) {
  unsigned count = 0;
  for (std::uint64_t rest = handle; rest != 0; rest >>= 8) ++count;
  writeBits(code & 0xFu, 4);
  writeBits(count, 4);
  for (unsigned i = count; i > 0; --i) writeRC(static_cast<std::uint8_t>(handle >> (8 * (i - 1))));
}

void BitWriter::writeTV(std::string_view text) {
  if (text.empty()) {
    writeBS(0);
    return;
  }
  writeBS(static_cast<std::uint16_t>(text.size() + 1));
  for (char c : text) writeRC(static_cast<std::uint8_t>(c));
  writeRC(0);
}

void BitWriter::writeTU(std::u16string_view text) {
  writeBS(static_cast<std::uint16_t>(text.size()));
  for (char16_t unit : text) writeRS(static_cast<std::uint16_t>(unit));
}

void BitWriter::writeOT(std::uint16_t type) {
  if (type < 0x100) {
    writeBB(0);
    writeRC(static_cast<std::uint8_t>(type));
  } else if (type >= 0x1F0 && type < 0x2F0) {
    writeBB(1);
    writeRC(static_cast<std::uint8_t>(type - 0x1F0));
  } else {
    writeBB(2);
    writeRS(type);
  }
}

void BitWriter::writeBLL(std::uint64_t value) {
  unsigned count = 0;
  for (std::uint64_t rest = value; rest != 0; rest >>= 8) ++count;
  writeBits(count, 3);
  for (unsigned i = 0; i < count; ++i) writeRC(static_cast<std::uint8_t>(value >> (8 * i)));
}

void BitWriter::append(const BitWriter& other) {
  if (bits_ % 8 == 0) {
    bytes_.insert(bytes_.end(), other.bytes_.begin(), other.bytes_.end());
    bits_ += other.bits_;
    return;
  }
  for (std::size_t i = 0; i < other.bits_; ++i) {
    writeBit(((other.bytes_[i / 8] >> (7 - i % 8)) & 1u) != 0);
  }
}

void BitWriter::patchRL(std::size_t bitPos, std::uint32_t value) {
  for (unsigned byte = 0; byte < 4; ++byte) {
    const std::uint8_t b = static_cast<std::uint8_t>(value >> (8 * byte));
    for (unsigned bit = 0; bit < 8; ++bit) {
      const std::size_t pos = bitPos + byte * 8 + bit;
      const std::uint8_t mask = static_cast<std::uint8_t>(0x80u >> (pos % 8));
      if ((b >> (7 - bit)) & 1u) {
        bytes_[pos / 8] |= mask;
      } else {
        bytes_[pos / 8] &= static_cast<std::uint8_t>(~mask);
      }
    }
  }
}

void BitWriter::alignToByte() { bits_ = bytes_.size() * 8; }

}  // namespace veldra::dwgwrite
