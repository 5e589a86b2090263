// AcDb:Handles, the object map: blocks of at most 2032 bytes, each with a
// big-endian size, pairs of (handle delta, offset delta) as modular chars,
// and a CRC. Deltas start from zero in every block.

#include "bit_reader.h"
#include "format.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::size_t kMaxBlockSize = 2040;

}  // namespace

Status readObjectMap(const Sections& sections, ObjectMap& map) {
  const std::span<const std::uint8_t> data(sections.handles);
  const std::string name(kHandlesName);
  std::size_t at = 0;
  for (;;) {
    if (data.size() - at < 2) return makeError(ErrorKind::kTruncated, "object map cut short", at, name);
    const std::size_t size = (static_cast<std::size_t>(data[at]) << 8) | data[at + 1];
    if (size <= 2) break;  // the last, empty block
    if (size > kMaxBlockSize || size > data.size() - at)
      return makeError(ErrorKind::kCorrupt, "object map block size out of range", at, name);
    BitReader reader(data, (at + 2) * 8, (at + size) * 8);
    std::uint64_t handle = 0;
    std::int64_t offset = 0;
    while (reader.remaining() > 0) {
      handle += reader.readUMC();
      offset += reader.readMC();
      if (reader.failed()) return makeError(ErrorKind::kCorrupt, "object map entry cut short", at, name);
      if (offset < 0 || static_cast<std::uint64_t>(offset) >= sections.objects.size())
        return makeError(ErrorKind::kCorrupt, "object map points outside the objects", at, name);
      map[handle] = static_cast<std::uint64_t>(offset);
    }
    at += size + 2;  // the block and its CRC
  }
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
