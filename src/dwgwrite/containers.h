#pragma once

// The two file layouts: sections placed by locators in the file header
// (R13 to R2000), and sections split into pages listed by a page map and a
// section map (R2004 and later).

#include <cstdint>
#include <string>
#include <vector>

#include "dwgwrite/format.h"

namespace veldra::dwgwrite::detail {

using Bytes = std::vector<std::uint8_t>;

// The image area: sentinels around the entries of the header data and the
// picture. `code` is 2 for a BMP, 3 for a WMF, 6 for a PNG, 0 for none.
// Entry starts are file offsets, so the area's own place is needed.
Bytes imageArea(std::uint64_t at, std::uint8_t code, const Bytes& picture);

struct R13Parts {
  Release release = Release::kR2000;
  std::string version;
  std::uint16_t codePage = 30;
  Bytes header;   // framed AcDb:Header
  Bytes classes;  // framed AcDb:Classes
  Bytes objects;  // the objects one after another
  std::vector<std::pair<std::uint64_t, std::uint64_t>> handleOffsets;  // handle, offset in `objects`
  std::vector<std::uint64_t> secondHeaderHandles;  // HANDSEED first, then the tables and dictionaries
  std::uint8_t imageCode = 0;
  Bytes picture;
};

// The file of R13 to R2000.
Bytes buildR13File(const R13Parts& parts);

// The object map: (handle, offset) pairs sorted by handle, as differences
// from the previous pair, in sections of at most 2032 bytes each framed by a
// big-endian size and check value; an empty section ends the map.
Bytes objectMap(std::vector<std::pair<std::uint64_t, std::uint64_t>> entries);

struct NamedSection {
  std::string name;
  Bytes data;
  bool compressed = true;
};

struct R2004Parts {
  std::string version;
  std::uint8_t maintenance = 0;
  std::uint16_t codePage = 30;
  // In the order their pages are laid out; AcDb:Preview is made here and
  // placed right after AcDb:SummaryInfo.
  std::vector<NamedSection> sections;
  std::uint8_t imageCode = 0;
  Bytes picture;
};

// The paged file of R2004 and later. Compressed sections are stored as one
// literal run per page; the preview and summary information sections are
// stored plain, and the file header points at their data.
Bytes buildR2004File(const R2004Parts& parts);

}  // namespace veldra::dwgwrite::detail
