#pragma once

// Internal declarations shared by the container and section readers: the
// format releases, the structures they hand each other, and one function per
// container family and per section.

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bit_reader.h"
#include "sections.h"
#include "veldra/dwg/reader.h"

namespace veldra::dwg::detail {

// The releases whose layouts differ, in file-format order.
enum class Release { kR13, kR14, kR2000, kR2004, kR2007, kR2010, kR2013, kR2018 };

// The release for a version string; false when this reader does not know it.
bool releaseOf(std::string_view version, Release& out);

inline Status makeError(ErrorKind kind, std::string message, std::uint64_t offset = 0, std::string section = {}) {
  return {kind, std::move(message), offset, std::move(section)};
}

// Section names as the error messages and the R2004 section map give them.
inline constexpr std::string_view kHeaderName = "AcDb:Header";
inline constexpr std::string_view kClassesName = "AcDb:Classes";
inline constexpr std::string_view kHandlesName = "AcDb:Handles";
inline constexpr std::string_view kObjectsName = "AcDb:AcDbObjects";

// Container readers: fill `out` with the sections the summary needs.
Status readR13Sections(std::span<const std::uint8_t> file, Sections& out);
Status readR2004Sections(std::span<const std::uint8_t> file, Sections& out);

// Decompresses one R2004 page into `out`, which has room for exactly the
// page's decompressed size; fails on data that would write or copy outside.
Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out);

// AcDb:Header: the creation date.
Status readHeaderSection(const Sections& sections, Release release, StoredDate& created);

// AcDb:Classes: class number -> (C++ class name, whether it is an entity class).
struct ClassInfo {
  std::string cppName;
  bool isEntity = false;
};
using ClassTable = std::unordered_map<std::uint16_t, ClassInfo>;
Status readClassesSection(const Sections& sections, Release release, ClassTable& classes);

// AcDb:Handles: handle -> offset of the object in `Sections::objects`.
// Blocks whose check value fails are still read, and noted in `damage`.
using ObjectMap = std::unordered_map<std::uint64_t, std::uint64_t>;
Status readObjectMap(const Sections& sections, ObjectMap& map, std::vector<Damage>* damage = nullptr);

// What one object map entry costs in memory, counted against Sections::costLeft.
inline constexpr std::uint64_t kObjectMapEntryCost = 48;

// The entities of model space and of every layout, in their order. Objects
// whose check value fails, and an entity chain that ends before its last
// entity, are noted in `damage`.
Status readEntities(const Sections& sections, Release release, const ClassTable& classes, const ObjectMap& map,
                    std::vector<Entity>& entities, std::vector<Damage>* damage = nullptr);

// The string stream of an R2007+ bit stream whose data ends at `endBit`:
// sets `strings` to read it; false (and `strings` failed) when absent or bad.
bool openStringStream(std::span<const std::uint8_t> data, std::uint64_t startBit, std::uint64_t endBit,
                      BitReader& strings);

}  // namespace veldra::dwg::detail
