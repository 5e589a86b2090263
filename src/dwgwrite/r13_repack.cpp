#include "dwgwrite/r13_repack.h"

#include <algorithm>
#include <array>
#include <string>

#include "dwgwrite/bit_writer.h"
#include "dwgwrite/containers.h"
#include "dwgwrite/format.h"

namespace veldra::dwgwrite {
namespace {

using Bytes = std::vector<std::uint8_t>;
using detail::kSectionCrcSeed;

using dwg::layout::kLocatorSize;
using dwg::layout::kSentinelSize;
using dwg::layout::locatorCrcMask;
constexpr std::size_t kLocatorCountAt = dwg::layout::kLocatorCountOffset;
constexpr std::size_t kLocatorsAt = dwg::layout::kLocatorsOffset;

std::uint32_t getRL(std::span<const std::uint8_t> b, std::size_t at) { return dwg::layout::rawRL(b, at); }

void putRL(Bytes& b, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// The locator of section `number`, or 0.
std::size_t findLocator(std::span<const std::uint8_t> file, std::uint8_t number) {
  const std::uint32_t count = getRL(file, kLocatorCountAt);
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = kLocatorsAt + i * kLocatorSize;
    if (file[at] == number) return at;
  }
  return 0;
}

// The data of a sentinel-framed section at its locator.
bool framedData(std::span<const std::uint8_t> file, std::size_t locator, Bytes& data) {
  const std::uint64_t seeker = getRL(file, locator + 1);
  const std::uint64_t size = getRL(file, locator + 5);
  if (seeker > file.size() || size > file.size() - seeker || size < kSentinelSize + 4) return false;
  const std::uint64_t dataSize = getRL(file, static_cast<std::size_t>(seeker + kSentinelSize));
  if (dataSize > size - kSentinelSize - 4) return false;
  const auto from = file.begin() + static_cast<std::ptrdiff_t>(seeker + kSentinelSize + 4);
  data.assign(from, from + static_cast<std::ptrdiff_t>(dataSize));
  return true;
}

// Reads a modular char at `at` (advanced past it); false when cut short.
bool modularChar(std::span<const std::uint8_t> b, std::size_t& at, std::size_t end, bool isSigned, std::int64_t& out) {
  std::uint64_t value = 0;
  for (unsigned shift = 0; at < end && shift < 64; shift += 7) {
    const std::uint8_t byte = b[at++];
    if ((byte & 0x80) == 0) {
      if (isSigned) {
        value |= static_cast<std::uint64_t>(byte & 0x3F) << shift;
        out = (byte & 0x40) ? -static_cast<std::int64_t>(value) : static_cast<std::int64_t>(value);
      } else {
        value |= static_cast<std::uint64_t>(byte) << shift;
        out = static_cast<std::int64_t>(value);
      }
      return true;
    }
    value |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
  }
  return false;
}

// Where the object at `offset` lies: its data after the size, and the end of
// the data (where the CRC starts).
bool objectExtent(std::span<const std::uint8_t> file, std::uint64_t offset, std::size_t& dataStart,
                  std::size_t& dataEnd) {
  if (offset >= file.size()) return false;
  std::size_t at = static_cast<std::size_t>(offset);
  std::uint32_t size = 0;
  for (unsigned shift = 0;; shift += 15) {
    if (file.size() - at < 2 || shift > 30) return false;
    const unsigned word = file[at] | (file[at + 1] << 8);
    at += 2;
    size |= static_cast<std::uint32_t>(word & 0x7FFF) << shift;
    if ((word & 0x8000) == 0) break;
  }
  if (size > file.size() - at || file.size() - at - size < 2) return false;
  dataStart = at;
  dataEnd = at + size;
  return true;
}

void appendCrcLittleEndian(Bytes& out, std::size_t from) {
  const std::uint16_t crc = crc16(std::span(out).subspan(from), kSectionCrcSeed);
  out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  out.push_back(static_cast<std::uint8_t>(crc >> 8));
}

// Puts `bytes` where the locator pointed when they fit there, else at the
// end, and points the locator at them.
void place(Bytes& file, std::size_t locator, const Bytes& bytes) {
  const std::uint32_t seeker = getRL(file, locator + 1);
  const std::uint32_t size = getRL(file, locator + 5);
  std::size_t at = seeker;
  if (bytes.size() > size || seeker > file.size() || size > file.size() - seeker) {
    at = file.size();
    file.resize(file.size() + bytes.size());
  }
  std::copy(bytes.begin(), bytes.end(), file.begin() + static_cast<std::ptrdiff_t>(at));
  putRL(file, locator + 1, static_cast<std::uint32_t>(at));
  putRL(file, locator + 5, static_cast<std::uint32_t>(bytes.size()));
}

// The section at `locator` framed anew around `data`, with the sentinels it
// had; empty when the locator no longer points at a section (an object
// written over it).
Bytes framedSection(std::span<const std::uint8_t> file, std::size_t locator, const Bytes& data) {
  const std::size_t seeker = getRL(file, locator + 1);
  const std::size_t size = getRL(file, locator + 5);
  if (seeker > file.size() || size > file.size() - seeker || size < 2 * kSentinelSize) return {};
  Bytes out(file.begin() + static_cast<std::ptrdiff_t>(seeker),
            file.begin() + static_cast<std::ptrdiff_t>(seeker + kSentinelSize));
  const std::size_t from = out.size();
  out.resize(out.size() + 4);
  putRL(out, from, static_cast<std::uint32_t>(data.size()));
  out.insert(out.end(), data.begin(), data.end());
  appendCrcLittleEndian(out, from);
  // The end sentinel, as the old section ended.
  out.insert(out.end(), file.begin() + static_cast<std::ptrdiff_t>(seeker + size - kSentinelSize),
             file.begin() + static_cast<std::ptrdiff_t>(seeker + size));
  return out;
}

}  // namespace

std::vector<std::uint8_t> encodeObjectMap(const std::vector<std::pair<std::uint64_t, std::uint64_t>>& map) {
  return detail::objectMap(map);
}

bool splitR13(std::span<const std::uint8_t> file, R13Parts& out) {
  out = R13Parts{};
  if (file.size() < kLocatorsAt || file[0] != 'A' || file[1] != 'C') return false;
  const std::string version(file.begin(), file.begin() + 6);
  if (version != "AC1012" && version != "AC1014" && version != "AC1015") return false;
  const std::uint32_t count = getRL(file, kLocatorCountAt);
  if (count < 3 || count > 64 || file.size() < kLocatorsAt + count * kLocatorSize + 2) return false;
  const std::size_t header = findLocator(file, 0);
  const std::size_t classes = findLocator(file, 1);
  const std::size_t handles = findLocator(file, 2);
  if (header == 0 || classes == 0 || handles == 0) return false;
  if (!framedData(file, header, out.header) || !framedData(file, classes, out.classes)) return false;

  const std::uint64_t seeker = getRL(file, handles + 1);
  const std::uint64_t size = getRL(file, handles + 5);
  if (seeker > file.size() || size > file.size() - seeker) return false;
  if (!decodeObjectMap(file.subspan(static_cast<std::size_t>(seeker), static_cast<std::size_t>(size)), out.map))
    return false;
  out.file.assign(file.begin(), file.end());
  return true;
}

bool decodeObjectMap(std::span<const std::uint8_t> handles,
                     std::vector<std::pair<std::uint64_t, std::uint64_t>>& map) {
  map.clear();
  std::size_t at = 0;
  for (;;) {
    if (handles.size() - at < 2) return false;
    const std::size_t blockSize = (handles[at] << 8) | handles[at + 1];
    if (blockSize <= 2) return true;
    if (blockSize > handles.size() - at) return false;
    std::size_t pos = at + 2;
    std::uint64_t handle = 0;
    std::int64_t offset = 0;
    while (pos < at + blockSize) {
      std::int64_t dh = 0;
      std::int64_t dofs = 0;
      if (!modularChar(handles, pos, at + blockSize, false, dh) ||
          !modularChar(handles, pos, at + blockSize, true, dofs))
        return false;
      handle += static_cast<std::uint64_t>(dh);
      offset += dofs;
      map.emplace_back(handle, static_cast<std::uint64_t>(offset));
    }
    if (handles.size() - at < blockSize + 2) return false;
    at += blockSize + 2;
  }
}

bool objectData(const R13Parts& parts, std::uint64_t offset, std::vector<std::uint8_t>& data) {
  std::size_t start = 0;
  std::size_t end = 0;
  if (!objectExtent(parts.file, offset, start, end)) return false;
  data.assign(parts.file.begin() + static_cast<std::ptrdiff_t>(start),
              parts.file.begin() + static_cast<std::ptrdiff_t>(end));
  return true;
}

void replaceObject(R13Parts& parts, std::size_t entry, std::span<const std::uint8_t> data) {
  // An object the map places inside the file header moves, so that the
  // locators stay.
  const std::size_t headerEnd = kLocatorsAt + getRL(parts.file, kLocatorCountAt) * kLocatorSize + 2;
  BitWriter size;
  size.writeMS(static_cast<std::uint32_t>(data.size()));
  Bytes framed = size.bytes();
  framed.insert(framed.end(), data.begin(), data.end());
  appendCrcLittleEndian(framed, 0);
  std::uint64_t at = parts.map[entry].second;
  std::size_t start = 0;
  std::size_t end = 0;
  if (at < headerEnd || !objectExtent(parts.file, at, start, end) || framed.size() > end + 2 - at) {
    at = parts.file.size();
    parts.file.resize(parts.file.size() + framed.size());
  }
  std::copy(framed.begin(), framed.end(), parts.file.begin() + static_cast<std::ptrdiff_t>(at));
  parts.map[entry].second = at;
}

std::vector<std::uint8_t> joinR13(const R13Parts& parts) {
  Bytes file = parts.file;
  if (file.size() < kLocatorsAt) return file;
  const std::size_t header = findLocator(file, 0);
  const std::size_t classes = findLocator(file, 1);
  const std::size_t handles = findLocator(file, 2);
  if (header == 0 || classes == 0 || handles == 0) return file;
  if (const Bytes framed = framedSection(parts.file, header, parts.header); !framed.empty())
    place(file, header, framed);
  if (const Bytes framed = framedSection(parts.file, classes, parts.classes); !framed.empty())
    place(file, classes, framed);
  place(file, handles, encodeObjectMap(parts.map));
  const std::uint32_t count = getRL(file, kLocatorCountAt);
  const std::size_t crcAt = kLocatorsAt + count * kLocatorSize;
  if (const std::uint16_t mask = locatorCrcMask(count); mask != 0 && file.size() >= crcAt + 2) {
    const std::uint16_t crc = crc16(std::span(file).first(crcAt), 0) ^ mask;
    file[crcAt] = static_cast<std::uint8_t>(crc & 0xFF);
    file[crcAt + 1] = static_cast<std::uint8_t>(crc >> 8);
  }
  return file;
}

}  // namespace veldra::dwgwrite
