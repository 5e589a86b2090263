#pragma once

// One object as a release stores it: the common data of an object or an
// entity, its own fields, its texts (in the data stream before R2007, in a
// string stream of their own after) and its handle references, framed with
// its size and check value.

#include <cstdint>
#include <string_view>
#include <vector>

#include "dwgwrite/bit_writer.h"
#include "dwgwrite/dwg_writer.h"
#include "dwgwrite/format.h"

namespace veldra::dwgwrite::detail {

// Handle reference codes.
inline constexpr unsigned kSoftOwner = 2;
inline constexpr unsigned kHardOwner = 3;
inline constexpr unsigned kSoftPointer = 4;
inline constexpr unsigned kHardPointer = 5;

// Colour index values.
inline constexpr std::uint16_t kByBlock = 0;
inline constexpr std::uint16_t kByLayer = 256;

class ObjectBuilder {
 public:
  ObjectBuilder(Release release, std::uint16_t type, std::uint64_t handle);

  // The rest of the common data of a table, control, dictionary or other
  // non-entity object, with its owner and reactors.
  void objectCommon(std::uint64_t owner, const std::vector<std::uint64_t>& reactors = {});

  // The rest of the common data of an entity: no graphic, every property
  // "by layer". `mode` is 1 in paper space, 2 in model space, 0 inside a
  // block (then `owner` names the block record). Before R2004 the entity
  // is chained to its neighbours; with `mayAssume`, links to the handles
  // just below and above its own are left for a reader to assume.
  struct EntityLinks {
    unsigned mode = 2;
    std::uint64_t owner = 0;
    std::uint64_t previous = 0;
    std::uint64_t next = 0;
    std::uint64_t layer = 0;
    bool mayAssume = false;
  };
  void entityCommon(const EntityLinks& links, const EntityColour& colour = {});

  // A text field: bytes in the drawing's code page before R2007 (already
  // converted), UTF-16 from the text as UTF-8 after.
  void text(std::string_view utf8);
  // A colour of a non-entity (CMC): an index, from R2004 on with its RGB form.
  void color(std::uint16_t index);
  // A thickness (BT, a plain BD before R2000) and an extrusion (BE, 3BD before R2000).
  void thickness(double value);
  void extrusion(double x, double y, double z);
  // The name and reference flags every table entry starts with.
  void tableEntryName(std::string_view utf8);

  Release release() const { return release_; }
  BitWriter& data() { return data_; }
  BitWriter& handles() { return handles_; }

  std::vector<std::uint8_t> finish();

 private:
  void sizePlaceholder();

  Release release_;
  BitWriter data_;
  BitWriter strings_;
  BitWriter handles_;
  std::uint64_t handle_ = 0;
  std::size_t sizePos_ = 0;
  bool hasSizeField_ = false;
};

// The texts of an R2007+ stream placed at the end of its data: the texts,
// their size in bits (in two parts past 0x7FFF) and the flag saying they are
// there. With no texts only the cleared flag is written.
void appendStringStream(BitWriter& data, const BitWriter& strings);

// A text in the drawing's code page (1252 for non-ASCII texts, else as is).
std::string storedText(std::string_view utf8);

}  // namespace veldra::dwgwrite::detail
