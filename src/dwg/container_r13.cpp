// The R13-R2000 container: a file header with section locators (number,
// file offset, size) right after the fixed fields; objects are addressed by
// file offset.

#include <string>

#include "checksum.h"
#include "format.h"
#include "veldra/dwg/layout.h"

namespace veldra::dwg::detail {
namespace {

using layout::kLocatorCountOffset;
using layout::kLocatorSize;
using layout::kSentinelSize;
using layout::locatorCrcMask;
using layout::rawRL;
constexpr std::uint32_t kMaxLocators = 64;
constexpr std::size_t kMaintenanceOffset = 0x0B;

std::uint16_t rawRS(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint16_t>(data[at] | (data[at + 1] << 8));
}

// A sentinel-framed section: start sentinel, RL size, data, CRC of the size
// and the data, end sentinel.
void checkSectionCrc(std::span<const std::uint8_t> part, std::uint64_t seeker, std::string_view name,
                     const char* what, std::vector<Damage>& damage) {
  if (part.size() < kSentinelSize + 4) return;  // its reader finds it cut short
  const std::uint64_t size = rawRL(part, kSentinelSize);
  const std::uint64_t crcAt = kSentinelSize + 4 + size;
  if (crcAt + 2 > part.size()) {
    damage.push_back({std::string(name), seeker + kSentinelSize, std::string(what) + " end before their CRC"});
    return;
  }
  const auto covered = part.subspan(kSentinelSize, static_cast<std::size_t>(crcAt - kSentinelSize));
  if (crc16(covered, kSectionCrcSeed) != rawRS(part, static_cast<std::size_t>(crcAt)))
    damage.push_back({std::string(name), seeker + crcAt, std::string(what) + " fail their CRC"});
}

}  // namespace

Status readR13Sections(std::span<const std::uint8_t> file, Sections& out) {
  if (file.size() < kLocatorCountOffset + 4)
    return makeError(ErrorKind::kTruncated, "file header cut short", file.size(), "file header");
  out.maintenance = file[kMaintenanceOffset];
  const std::uint32_t count = rawRL(file, kLocatorCountOffset);
  if (count < 3 || count > kMaxLocators)
    return makeError(ErrorKind::kCorrupt, "implausible number of section locators (" + std::to_string(count) + ")",
                     kLocatorCountOffset, "file header");
  const std::size_t tableStart = kLocatorCountOffset + 4;
  const std::size_t tableEnd = tableStart + count * kLocatorSize;
  if (file.size() < tableEnd)
    return makeError(ErrorKind::kTruncated, "section locators cut short", file.size(), "file header");
  if (const std::uint16_t mask = locatorCrcMask(count); mask != 0) {
    if (file.size() < tableEnd + 2)
      out.damage.push_back({"file header", tableEnd, "the file header ends before its CRC"});
    else if ((crc16(file.first(tableEnd), 0) ^ mask) != rawRS(file, tableEnd))
      out.damage.push_back({"file header", tableEnd, "the file header fails its CRC"});
  }

  // The last locator of each number counts.
  struct Place {
    std::size_t locator = 0;
    std::uint64_t seeker = 0;
    std::uint64_t size = 0;
  };
  Place places[3];
  bool found[3] = {false, false, false};
  static constexpr std::string_view kNames[] = {kHeaderName, kClassesName, kHandlesName};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = tableStart + i * kLocatorSize;
    const std::uint8_t number = file[at];
    if (number > 2) continue;
    const std::uint64_t seeker = rawRL(file, at + 1);
    const std::uint64_t size = rawRL(file, at + 5);
    if (seeker > file.size() || size > file.size() - seeker)
      return makeError(ErrorKind::kCorrupt, "section locator points outside the file", at, std::string(kNames[number]));
    places[number] = Place{at, seeker, size};
    found[number] = true;
  }
  if (!found[0] || !found[1] || !found[2])
    return makeError(ErrorKind::kCorrupt, "a section locator is missing", tableStart, "file header");

  // The sections are copied out of the file, and the objects are the file
  // (copied too unless the file's bytes outlive the sections). The copy is
  // counted either way, so that what a drawing may still spend does not
  // depend on how it is read.
  CostBudget budget(file.size());
  if (!budget.spend(places[0].size) || !budget.spend(places[1].size) || !budget.spend(places[2].size) ||
      !budget.spend(file.size()))
    return makeError(ErrorKind::kUnsupported, "the drawing is too large to read within the memory one drawing may take",
                     0, "file header");
  std::vector<std::uint8_t>* targets[] = {&out.header, &out.classes, &out.handles};
  for (int number = 0; number < 3; ++number) {
    const Place& place = places[number];
    const auto part = file.subspan(static_cast<std::size_t>(place.seeker), static_cast<std::size_t>(place.size));
    targets[number]->assign(part.begin(), part.end());
  }
  checkSectionCrc(out.header, places[0].seeker, kHeaderName, "the header variables", out.damage);
  checkSectionCrc(out.classes, places[1].seeker, kClassesName, "the class definitions", out.damage);
  if (out.inPlace)
    out.objectsElsewhere = file;
  else
    out.objects.assign(file.begin(), file.end());
  out.costLeft = budget.left();
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
