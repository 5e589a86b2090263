#pragma once

// The layout of a drawing as one description that reading and writing both
// follow: the releases and their version strings, the sentinels that frame
// sections, the check values, and the header variables in stored order with
// the releases that store each and the value a new drawing holds. Standard
// C++ only.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace veldra::dwg::layout {

// The releases whose layouts differ, in file-format order; comparisons such
// as `release >= Release::kR2004` say "from R2004 on".
enum class Release { kR13, kR14, kR2000, kR2004, kR2007, kR2010, kR2013, kR2018 };
inline constexpr Release kLastRelease = Release::kR2018;

// The release of a version string such as "AC1015"; false for one no
// release here has.
bool releaseOf(std::string_view version, Release& out);

using Sentinel = std::array<std::uint8_t, 16>;

inline constexpr Sentinel kHeaderStart{0xCF, 0x7B, 0x1F, 0x23, 0xFD, 0xDE, 0x38, 0xA9,
                                       0x5F, 0x7C, 0x68, 0xB8, 0x4E, 0x6D, 0x33, 0x5F};
inline constexpr Sentinel kHeaderEnd{0x30, 0x84, 0xE0, 0xDC, 0x02, 0x21, 0xC7, 0x56,
                                     0xA0, 0x83, 0x97, 0x47, 0xB1, 0x92, 0xCC, 0xA0};
inline constexpr Sentinel kClassesStart{0x8D, 0xA1, 0xC4, 0xB8, 0xC4, 0xA9, 0xF8, 0xC5,
                                        0xC0, 0xDC, 0xF4, 0x5F, 0xE7, 0xCF, 0xB6, 0x8A};
inline constexpr Sentinel kClassesEnd{0x72, 0x5E, 0x3B, 0x47, 0x3B, 0x56, 0x07, 0x3A,
                                      0x3F, 0x23, 0x0B, 0xA0, 0x18, 0x30, 0x49, 0x75};
inline constexpr Sentinel kImageStart{0x1F, 0x25, 0x6D, 0x07, 0xD4, 0x36, 0x28, 0x28,
                                      0x9D, 0x57, 0xCA, 0x3F, 0x9D, 0x44, 0x10, 0x2B};
inline constexpr Sentinel kImageEnd{0xE0, 0xDA, 0x92, 0xF8, 0x2B, 0xC9, 0xD7, 0xD7,
                                    0x62, 0xA8, 0x35, 0xC0, 0x62, 0xBB, 0xEF, 0xD4};
// The end of the R13-R2000 file header's section locators, and the frame of
// the second file header.
inline constexpr Sentinel kLocatorEnd{0x95, 0xA0, 0x4E, 0x28, 0x99, 0x82, 0x1A, 0xE5,
                                      0x5E, 0x41, 0xE0, 0x5F, 0x9D, 0x3A, 0x4D, 0x00};
inline constexpr Sentinel kSecondHeaderStart{0xD4, 0x7B, 0x21, 0xCE, 0x28, 0x93, 0x9F, 0xBF,
                                             0x53, 0x24, 0x40, 0x09, 0x12, 0x3C, 0xAA, 0x01};
inline constexpr Sentinel kSecondHeaderEnd{0x2B, 0x84, 0xDE, 0x31, 0xD7, 0x6C, 0x60, 0x40,
                                           0xAC, 0xDB, 0xBF, 0xF6, 0xED, 0xC3, 0x55, 0xFE};

// ---- The R13-R2000 file header

// The number of section locators (RL) sits at this offset, the locators
// (number RC, offset RL, size RL each) right after it.
inline constexpr std::size_t kLocatorCountOffset = 0x15;
inline constexpr std::size_t kLocatorsOffset = kLocatorCountOffset + 4;
inline constexpr std::size_t kLocatorSize = 9;
// A sentinel-framed section: start sentinel, RL size, data, CRC, end sentinel.
inline constexpr std::size_t kSentinelSize = std::tuple_size_v<Sentinel>;

// The file header's CRC is stored XORed with a value that depends on the
// number of locators; 0 where that value is not known.
constexpr std::uint16_t locatorCrcMask(std::uint32_t count) {
  switch (count) {
    case 3: return 0xA598;
    case 4: return 0x8101;
    case 5: return 0x3CC4;
    case 6: return 0x8461;
    default: return 0;
  }
}

// A little-endian RL at `at` of `data`, which holds at least four bytes there.
constexpr std::uint32_t rawRL(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
         (static_cast<std::uint32_t>(data[at + 2]) << 16) | (static_cast<std::uint32_t>(data[at + 3]) << 24);
}

// ---- Check values

// The starting value of the CRC of sections, object map blocks and objects.
inline constexpr std::uint16_t kSectionCrcSeed = 0xC0C1;

// CRC-16 with the reflected polynomial 0xA001.
std::uint16_t crc16(std::span<const std::uint8_t> data, std::uint16_t seed);

// The checksum of R2004 and later pages: two sums modulo 0xFFF1 started
// from the halves of `seed`, folded every 0x15B0 bytes.
std::uint32_t pageChecksum(std::uint32_t seed, std::span<const std::uint8_t> data);

// The common CRC-32 (reflected polynomial 0xEDB88320, inverted before and
// after), as the R2004 file header stores it over itself.
std::uint32_t crc32(std::span<const std::uint8_t> data);

// ---- Header variables

enum class Code {
  kB, kBS, kBL, kBLL, kBD, kRC, k2RD, k3BD, kTV, kH, kCMC,
  kDate,              // two BL: days and milliseconds
  kHandseed,          // H, in the data even from R2007 on
  kPlotStyleType,     // BS, CEPSNTYPE
  kPlotStyleHandle,   // H, stored only when CEPSNTYPE is 3
};

// What a field's value means to the evidence.
enum class Slot { kNone, kCreated, kUpdated, kEditingTime, kUserTimer, kHandseed, kFingerprintGuid, kVersionGuid };

struct HeaderField {
  const char* name;
  Code code;
  Release from = Release::kR13;
  Release to = kLastRelease;
  Slot slot = Slot::kNone;

  bool storedIn(Release release) const { return release >= from && release <= to; }
};

// Every header variable in stored order, to the end of the variables. From
// R2007 on the texts go to a string stream at the end of the data and the
// handles (all but HANDSEED) after it.
std::span<const HeaderField> headerFields();

// The fields up to and with VERSIONGUID, the last one the evidence keeps.
std::span<const HeaderField> evidenceFields();

// The value a new drawing in imperial units holds in a numeric field, a
// point's coordinates in turn; zero for a field with none listed. A name
// stored twice in different forms (DIMTAD as RC before R2000, BS after)
// holds the same value in both.
using FieldValue = std::array<double, 3>;
FieldValue newDrawingValue(std::string_view name);

}  // namespace veldra::dwg::layout
