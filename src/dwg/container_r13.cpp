// The R13-R2000 container: a file header with section locators (number,
// file offset, size) right after the fixed fields; objects are addressed by
// file offset.

#include <string>

#include "format.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::size_t kLocatorCountOffset = 0x15;
constexpr std::size_t kLocatorSize = 9;
constexpr std::uint32_t kMaxLocators = 64;
constexpr std::size_t kMaintenanceOffset = 0x0B;

std::uint32_t rawRL(std::span<const std::uint8_t> data, std::size_t at) {
  return static_cast<std::uint32_t>(data[at]) | (static_cast<std::uint32_t>(data[at + 1]) << 8) |
         (static_cast<std::uint32_t>(data[at + 2]) << 16) | (static_cast<std::uint32_t>(data[at + 3]) << 24);
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
  if (file.size() < tableStart + count * kLocatorSize)
    return makeError(ErrorKind::kTruncated, "section locators cut short", file.size(), "file header");

  bool found[3] = {false, false, false};
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::size_t at = tableStart + i * kLocatorSize;
    const std::uint8_t number = file[at];
    if (number > 2) continue;
    const std::uint64_t seeker = rawRL(file, at + 1);
    const std::uint64_t size = rawRL(file, at + 5);
    static constexpr std::string_view kNames[] = {kHeaderName, kClassesName, kHandlesName};
    if (seeker > file.size() || size > file.size() - seeker)
      return makeError(ErrorKind::kCorrupt, "section locator points outside the file", at, std::string(kNames[number]));
    const auto part = file.subspan(static_cast<std::size_t>(seeker), static_cast<std::size_t>(size));
    std::vector<std::uint8_t>& target = number == 0 ? out.header : number == 1 ? out.classes : out.handles;
    target.assign(part.begin(), part.end());
    found[number] = true;
  }
  if (!found[0] || !found[1] || !found[2])
    return makeError(ErrorKind::kCorrupt, "a section locator is missing", tableStart, "file header");
  out.objects.assign(file.begin(), file.end());
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
