#pragma once

// Drawings older than R13 (AC1.40 to AC1009): a fixed file header with the
// header variables at fixed places, the entity sections as runs of
// byte-aligned entities, and the tables as arrays of fixed-size entries.
// Nothing here is bit-coded.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "veldra/dwg/evidence.h"

namespace veldra::dwg::detail {

// The old layouts this reader knows, in file-format order.
enum class OldRelease {
  kR1_4,  // AC1.40: one list of entities after the header, no tables
  kR2_0,  // AC1.50: entity sections and tables, no dates yet
  kR2_1,  // AC2.10: the layout of AC1.50 with more header variables
  kR2_4,  // AC1001: the dates from here on
  kR2_5,  // AC1002
  kR2_6,  // AC1003
  kR9,    // AC1004
  kR10,   // AC1006: three-dimensional points and handles from here on
  kR11,   // AC1009 (R11 and R12): paper space, two-byte linetype numbers, entity checks
};

// The old release of a version; false when it is no old version this reader reads.
bool oldReleaseOf(std::string_view version, OldRelease& out);

// True for the "ACn.nn" signature of the earliest releases.
bool isEarlySignature(std::span<const std::uint8_t> data);

// The whole read of an old drawing: the summary always, the evidence and the
// geometry when `request` asks for them.
Status readOldDrawing(std::span<const std::uint8_t> file, OldRelease release, const ReadRequest& request,
                      Drawing& out);

// One entity as the old entity sections store it, as far as the lists need it.
struct OldEntity {
  std::uint8_t type = 0;          // the kind's number (the erased flag removed)
  std::uint8_t flags = 0;         // which common fields are stored
  std::uint16_t options = 0;      // which of the kind's own fields are stored
  std::uint16_t layer = 0;        // index into the layer table
  std::uint64_t offset = 0;       // of its first byte in the file
  std::uint64_t handle = 0;
  bool hasHandle = false;
  bool paper = false;
  double elevation = 0.0;
  std::span<const std::uint8_t> data;  // the kind's own fields
};

}  // namespace veldra::dwg::detail

namespace veldra::dwg::detail {

// Where the entities of an old drawing lie, as its header tells.
struct OldLayout {
  OldRelease release = OldRelease::kR11;
  std::uint64_t entitiesStart = 0;
  std::uint64_t entitiesEnd = 0;    // not past the end of the file
  std::uint64_t extrasStart = 0;    // the extra entity section that jumps lead to
  std::uint64_t extrasEnd = 0;
  std::uint32_t entityCount = 0;    // AC1.40 counts its entities instead
};

// One top-level entity with its class name as the automation interface gives
// it, and the vertices of a polyline when they were asked for.
struct OldListed {
  OldEntity entity;
  const char* className = "";
  std::vector<OldEntity> vertices;
};

// Lists the top-level entities in file order, following the jumps into the
// extra section and back. A fault stops the list where it is and is told in
// `damage`; what was listed before stays.
void listOldEntities(std::span<const std::uint8_t> file, const OldLayout& layout, bool keepVertices,
                     std::vector<OldListed>& out, std::vector<Damage>& damage);

// The layer and numbers of one listed entity, as EntityGeometry gives them
// for later versions; `layers` and `blocks` are the table entries' names.
Status readOldGeometry(const OldListed& listed, OldRelease release, const std::vector<std::string>& layers,
                       const std::vector<std::string>& blocks, std::uint16_t codePage, EntityGeometry& out);

}  // namespace veldra::dwg::detail
