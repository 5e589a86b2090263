#pragma once

// A bit stream writer named after the DWG data codes (B, BB, BS, BL, BD, RC,
// RS, RL, RD, MC, MS, H, TV, CMC, BE, BT, DD). Bits go most significant
// first into each byte; raw values are little-endian, handle bytes
// big-endian, as the R13-R2000 format lays them out.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "veldra/dwg/layout.h"

namespace veldra::dwgwrite {

class BitWriter {
 public:
  void writeBit(bool bit);
  void writeBits(std::uint64_t value, unsigned count);  // most significant first

  void writeB(bool value) { writeBit(value); }
  void writeBB(unsigned value) { writeBits(value & 3u, 2); }
  void writeRC(std::uint8_t value) { writeBits(value, 8); }
  void writeRS(std::uint16_t value);
  void writeRL(std::uint32_t value);
  void writeRD(double value);
  void writeBS(std::uint16_t value);
  void writeBL(std::uint32_t value);
  void writeBD(double value);
  void write2RD(double x, double y);
  void write3BD(double x, double y, double z);
  void writeDD(double value, double defaultValue);
  void writeBE(double x, double y, double z);
  void writeBT(double thickness);
  void writeCMC(std::uint16_t colorIndex) { writeBS(colorIndex); }
  // Signed modular char; also right for the unsigned readings of
  // non-negative values, since the last byte never uses its sign bit then.
  void writeMC(std::int64_t value);
  // Modular char of a non-negative value of up to 64 bits, in the same form.
  void writeUMC(std::uint64_t value);
  void writeMS(std::uint32_t value);
  // Handle reference: 4-bit code, 4-bit byte count, bytes big-endian.
  void writeH(unsigned code, std::uint64_t handle);
  // Text: BS length then the bytes; a non-empty text carries a closing NUL
  // counted in the length, as the CAD program writes it.
  void writeTV(std::string_view text);
  // R2007 text: BS count of UTF-16 units, then the units, without a closing NUL.
  void writeTU(std::u16string_view text);
  // Object type of R2010 and later: a bit pair choosing one byte, one byte
  // above 0x1F0, or two bytes.
  void writeOT(std::uint16_t type);
  // 64-bit value: three bits giving the byte count, then the bytes.
  void writeBLL(std::uint64_t value);

  void append(const BitWriter& other);
  // Overwrites 32 bits written earlier as RL at bit position `bitPos`.
  void patchRL(std::size_t bitPos, std::uint32_t value);
  void alignToByte();

  std::size_t bitCount() const { return bits_; }
  // The bytes, the last one padded with zero bits.
  const std::vector<std::uint8_t>& bytes() const { return bytes_; }

 private:
  void writeModularChar(std::uint64_t magnitude, bool negative);

  std::vector<std::uint8_t> bytes_;
  std::size_t bits_ = 0;
};

// The CRC-16 the format uses throughout, with a given starting value.
using dwg::layout::crc16;

}  // namespace veldra::dwgwrite
