#pragma once

// Internal declarations shared by the container and section readers: the
// format releases, the structures they hand each other, and one function per
// container family and per section.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "bit_reader.h"
#include "sections.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/layout.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg::detail {

using layout::Release;
using layout::releaseOf;

// The little-endian 32-bit value at byte `at`; the caller checks the bounds.
std::uint32_t le32(std::span<const std::uint8_t> data, std::size_t at);

inline Status makeError(ErrorKind kind, std::string message, std::uint64_t offset = 0, std::string section = {}) {
  return {kind, std::move(message), offset, std::move(section)};
}

// Section names as the error messages and the R2004 section map give them.
inline constexpr std::string_view kHeaderName = "AcDb:Header";
inline constexpr std::string_view kClassesName = "AcDb:Classes";
inline constexpr std::string_view kHandlesName = "AcDb:Handles";
inline constexpr std::string_view kObjectsName = "AcDb:AcDbObjects";
inline constexpr std::string_view kSummaryInfoName = "AcDb:SummaryInfo";
inline constexpr std::string_view kPreviewName = "AcDb:Preview";

// Container readers: fill `out` with the sections the summary needs.
Status readR13Sections(std::span<const std::uint8_t> file, Sections& out);
Status readR2004Sections(std::span<const std::uint8_t> file, Sections& out);

// Decompresses one R2004 page into `out`, which has room for exactly the
// page's decompressed size; fails on data that would write or copy outside.
Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);
// The same into `out` as it is, whatever it held: `written` tells how many
// bytes the data gave (also when it fails), and the bytes of `out` past those
// hold nothing to rely on.
Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::size_t& written);

// AcDb:Header: the creation date.
Status readHeaderSection(const Sections& sections, Release release, StoredDate& created);

// AcDb:Header read on to VERSIONGUID for the evidence. Fails only where the
// summary read fails too; a fault past TDCREATE leaves the later fields empty
// and is told in `damage`.
Status readHeaderEvidence(const Sections& sections, Release release, Evidence& evidence, Status& damage);

// AcDb:Header read to its last variable, for the tests that hold the layout
// against real drawings: as readHeaderEvidence, with the bits the data holds
// past the last variable in `unreadBits`.
Status readWholeHeader(const Sections& sections, Release release, StoredDate& created, Evidence& evidence,
                       Status& damage, std::uint64_t& unreadBits);

// AcDb:Classes: class number -> (C++ class name, whether it is an entity class).
struct ClassInfo {
  std::string cppName;
  bool isEntity = false;
};
using ClassTable = std::unordered_map<std::uint16_t, ClassInfo>;
Status readClassesSection(const Sections& sections, Release release, ClassTable& classes);

// Handle -> offset of the object in the objects section, as a vector of
// pairs sorted by handle. The object map lists handles in ascending order as
// a rule, so entries are added at the end; a handle out of order is put in
// its place, and a handle listed again takes the later offset.
class ObjectMap {
 public:
  using value_type = std::pair<std::uint64_t, std::uint64_t>;
  using const_iterator = std::vector<value_type>::const_iterator;

  // Sets the offset of `handle`, adding it when new.
  void set(std::uint64_t handle, std::uint64_t offset) { (*this)[handle] = offset; }
  std::uint64_t& operator[](std::uint64_t handle) {
    if (entries_.empty() || entries_.back().first < handle) return entries_.emplace_back(handle, 0).second;
    const auto it = lower(handle);
    if (it != entries_.end() && it->first == handle) return it->second;
    return entries_.insert(it, value_type(handle, 0))->second;
  }
  const_iterator find(std::uint64_t handle) const {
    const auto it = std::lower_bound(entries_.begin(), entries_.end(), handle,
                                     [](const value_type& e, std::uint64_t h) { return e.first < h; });
    return it != entries_.end() && it->first == handle ? it : entries_.end();
  }
  std::size_t count(std::uint64_t handle) const { return find(handle) != end() ? 1 : 0; }
  // Throws std::out_of_range when `handle` is not listed.
  std::uint64_t at(std::uint64_t handle) const {
    const auto it = find(handle);
    if (it == end()) throw std::out_of_range("handle not in the object map");
    return it->second;
  }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  void reserve(std::size_t n) { entries_.reserve(n); }
  const_iterator begin() const { return entries_.begin(); }
  const_iterator end() const { return entries_.end(); }

 private:
  std::vector<value_type>::iterator lower(std::uint64_t handle) {
    return std::lower_bound(entries_.begin(), entries_.end(), handle,
                            [](const value_type& e, std::uint64_t h) { return e.first < h; });
  }
  std::vector<value_type> entries_;
};

// AcDb:Handles: handle -> offset of the object in `Sections::objectBytes()`.
// Blocks whose check value fails are still read, and noted in `damage`.
Status readObjectMap(const Sections& sections, ObjectMap& map, std::vector<Damage>& damage);

// What one object map entry costs in memory, counted against Sections::costLeft.
inline constexpr std::uint64_t kObjectMapEntryCost = 48;

// The entities of model space and of every layout, in their order. Objects
// whose check value fails, and an entity chain that ends before its last
// entity, are noted in `damage`.
Status readEntities(const Sections& sections, Release release, const ClassTable& classes, const ObjectMap& map,
                    std::vector<Entity>& entities, std::vector<Damage>& damage);

// AcDb:SummaryInfo (R2004 and later): texts in the drawing's code page before
// R2007, UTF-16 after.
Status readSummaryInfo(std::span<const std::uint8_t> section, Release release, std::uint16_t codePage,
                       SummaryInfo& out);

// The preview block that starts at `start` in `data` (a sentinel, the list of
// images, the images). `base` is where the list's addresses count from in
// `data`: 0 for R13-R2000, whose addresses are file offsets. R2004 and later
// count from a place outside their section: without `base` the pieces are
// taken to follow the list.
Status readPreview(std::span<const std::uint8_t> data, std::uint64_t start, std::optional<std::uint64_t> base,
                   Preview& out);

// A preview picture's bytes as `format` says they are: its size from its
// header, a BMP's checked to hold the pixels the size promises. Fails,
// saying why, for a picture that is broken; `out` is then none.
Status checkedPicture(PreviewFormat format, std::span<const std::uint8_t> bytes, std::uint64_t offset, Preview& out);

// The layer and the geometry of each entity of `entities`, in their order. An
// entity whose data cannot be read keeps an empty geometry and a note in
// `damage`; nothing here fails the read.
// The own entities and geometry of the blocks that the references among
// `entities` name (and those their blocks name), at most this many in all;
// nothing of it counts as damage.
inline constexpr std::size_t kMaxBlockEntities = 100000;
void readBlockContents(const Sections& sections, Release release, const ClassTable& classes, const ObjectMap& map,
                       const std::vector<Entity>& entities, const std::vector<EntityGeometry>& geometry,
                       std::vector<BlockContents>& out);

void readGeometry(const Sections& sections, Release release, const ObjectMap& map,
                  const std::vector<Entity>& entities, std::vector<EntityGeometry>& geometry,
                  std::vector<Damage>& damage);

// The evidence of the drawing as a whole: the header variables after
// TDCREATE, the summary information and the preview. Faults become damage of
// `out`'s summary; nothing here fails the read.
void readEvidence(std::span<const std::uint8_t> file, const Sections& sections, Release release, Drawing& out);

// The dispatcher behind readSummary and readDrawing: the summary always, the
// evidence and geometry when `request` asks for them.
Status readParts(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out);

// The string stream of an R2007+ bit stream whose data ends at `endBit`:
// sets `strings` to read it; false (and `strings` failed) when absent or bad.
bool openStringStream(std::span<const std::uint8_t> data, std::uint64_t startBit, std::uint64_t endBit,
                      BitReader& strings);

}  // namespace veldra::dwg::detail
