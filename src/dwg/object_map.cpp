// AcDb:Handles, the object map: blocks of at most 2032 bytes, each with a
// big-endian size, pairs of (handle delta, offset delta) as modular chars,
// and a big-endian CRC of the size and the pairs. Deltas start from zero in
// every block; an empty block ends the map.

#include <algorithm>

#include "checksum.h"
#include "format.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::size_t kMaxBlockSize = 2040;
constexpr std::size_t kSizeBytes = 2;
constexpr std::size_t kCrcBytes = 2;

// The pairs are modular chars, byte aligned: each byte gives seven bits of
// the value, lowest first, and a set high bit says another byte follows;
// the last byte of a signed one gives six bits and the sign. They are read
// straight from the bytes; false when one runs past `end` or past 64 bits.
bool readUnsigned(const std::uint8_t* data, std::size_t& at, std::size_t end, std::uint64_t& value) {
  value = 0;
  for (unsigned shift = 0; shift < 64; shift += 7) {
    if (at >= end) return false;
    const std::uint8_t byte = data[at++];
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
    if ((byte & 0x80) == 0) return true;
  }
  return false;
}

bool readSigned(const std::uint8_t* data, std::size_t& at, std::size_t end, std::int64_t& value) {
  std::uint64_t bits = 0;
  for (unsigned shift = 0; shift < 63; shift += 7) {
    if (at >= end) return false;
    const std::uint8_t byte = data[at++];
    if ((byte & 0x80) == 0) {
      bits |= static_cast<std::uint64_t>(byte & 0x3F) << shift;
      const auto magnitude = static_cast<std::int64_t>(bits & 0x7FFFFFFFFFFFFFFFull);
      value = (byte & 0x40) ? -magnitude : magnitude;
      return true;
    }
    bits |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
  }
  return false;
}

}  // namespace

Status readObjectMap(const Sections& sections, ObjectMap& map, std::vector<Damage>& damage) {
  const std::span<const std::uint8_t> data(sections.handles);
  const std::string name(kHandlesName);
  const std::uint64_t maxEntries = sections.costLeft / kObjectMapEntryCost;
  const std::uint64_t objectsSize = sections.objectBytes().size();
  // Room for as many entries as the map holds as a rule (about four bytes each).
  map.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(data.size() / 4, maxEntries + 1)));
  // Every block is checked to fit whole, its CRC included, before it is
  // read, so `at` never passes the end of the data.
  std::size_t at = 0;
  for (;;) {
    if (data.size() - at < kSizeBytes) return makeError(ErrorKind::kTruncated, "object map cut short", at, name);
    // The size counts its own two bytes but not the CRC.
    const std::size_t size = (static_cast<std::size_t>(data[at]) << 8) | data[at + 1];
    const bool last = size <= kSizeBytes;
    const std::size_t framed = last ? kSizeBytes : size;
    if (size > kMaxBlockSize) return makeError(ErrorKind::kCorrupt, "object map block size out of range", at, name);
    if (data.size() - at < framed + kCrcBytes) {
      if (last) {
        damage.push_back({name, at, "the object map ends before the CRC of its last block"});
        break;
      }
      return makeError(size > data.size() - at ? ErrorKind::kCorrupt : ErrorKind::kTruncated,
                       size > data.size() - at ? "object map block size out of range" : "object map block cut short",
                       at, name);
    }
    const std::uint16_t stored = static_cast<std::uint16_t>((data[at + framed] << 8) | data[at + framed + 1]);
    if (crc16(data.subspan(at, framed), kSectionCrcSeed) != stored)
      damage.push_back({name, at, "an object map block fails its CRC"});
    if (last) break;

    std::uint64_t handle = 0;
    std::int64_t offset = 0;
    for (std::size_t pair = at + kSizeBytes, end = at + size; pair < end;) {
      std::uint64_t handleStep = 0;
      std::int64_t offsetStep = 0;
      if (!readUnsigned(data.data(), pair, end, handleStep) || !readSigned(data.data(), pair, end, offsetStep))
        return makeError(ErrorKind::kCorrupt, "object map entry cut short", at, name);
      handle += handleStep;
      offset += offsetStep;
      if (offset < 0 || static_cast<std::uint64_t>(offset) >= objectsSize)
        return makeError(ErrorKind::kCorrupt, "object map points outside the objects", at, name);
      map.set(handle, static_cast<std::uint64_t>(offset));
    }
    if (map.size() > maxEntries)
      return makeError(ErrorKind::kCorrupt, "the object map lists more objects than one drawing may hold", at, name);
    at += framed + kCrcBytes;
  }
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
