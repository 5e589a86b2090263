// AcDb:Classes: the drawing's own classes, numbered from 500, which give the
// C++ class name of every object whose type number is not a fixed one.

#include "bit_reader.h"
#include "format.h"
#include "veldra/dwg/layout.h"

namespace veldra::dwg::detail {
namespace {

using layout::kSentinelSize;
constexpr std::uint16_t kFirstClassNumber = 500;
constexpr std::uint16_t kEntityClassId = 0x1F2;

}  // namespace

bool openStringStream(std::span<const std::uint8_t> data, std::uint64_t startBit, std::uint64_t endBit,
                      BitReader& strings) {
  strings = BitReader(data, 0, 0);
  strings.fail();
  if (endBit < startBit + 17 || endBit > static_cast<std::uint64_t>(data.size()) * 8) return false;
  BitReader probe(data, endBit - 1, endBit);
  if (!probe.readB()) return false;
  std::uint64_t at = endBit - 17;
  probe.seek(at);
  std::uint64_t size = probe.readRS();
  if (size & 0x8000) {
    if (at < startBit + 16) return false;
    at -= 16;
    probe.seek(at);
    const std::uint64_t high = probe.readRS();
    size = (size & 0x7FFF) | (high << 15);
  }
  if (probe.failed() || size > at - startBit) return false;
  strings = BitReader(data, at - size, at);
  return true;
}

Status readClassesSection(const Sections& sections, Release release, ClassTable& classes) {
  const std::span<const std::uint8_t> data(sections.classes);
  const std::string name(kClassesName);
  BitReader reader(data);
  reader.skip(kSentinelSize * 8);
  const std::uint64_t size = reader.readRL();
  if (release >= Release::kR2018 || (release >= Release::kR2010 && sections.maintenance > 3)) reader.readRL();
  std::uint64_t endBit = 0;
  BitReader strings;
  const bool textsApart = release >= Release::kR2007;
  if (textsApart) {
    // The bit size counts from its own field on.
    const std::uint64_t sizeField = reader.position();
    const std::uint64_t bitSize = reader.readRL();
    const std::uint64_t dataStart = reader.position();
    endBit = sizeField + bitSize;
    if (!openStringStream(data, dataStart, endBit, strings) && !reader.failed())
      return makeError(ErrorKind::kCorrupt, "class names cannot be found", 0, name);
  } else {
    endBit = reader.position() + size * 8;
  }
  if (reader.failed() || endBit > static_cast<std::uint64_t>(data.size()) * 8)
    return makeError(ErrorKind::kTruncated, "class list cut short", 0, name);
  reader = BitReader(data, reader.position(), endBit);

  std::uint16_t maxClass = 0;
  if (release >= Release::kR2004) {
    maxClass = static_cast<std::uint16_t>(reader.readBS());
    reader.readRC();
    reader.readRC();
    reader.readB();
  }
  // R2004 and later give the highest class number; older files end with the data.
  const std::size_t expected = maxClass >= kFirstClassNumber ? maxClass - kFirstClassNumber + 1u : 0u;
  for (std::size_t read = 0; !reader.failed() && reader.remaining() >= 8; ++read) {
    if (release >= Release::kR2004 && read >= expected) break;
    const auto number = static_cast<std::uint16_t>(reader.readBS());
    reader.readBS();  // proxy flags (version before R2004)
    ClassInfo info;
    if (textsApart) {
      strings.skipTU();
      info.cppName = strings.readTU();
      strings.skipTU();
    } else {
      reader.skipTV();
      info.cppName = reader.readTV();
      reader.skipTV();
    }
    reader.readB();  // was a zombie
    info.isEntity = static_cast<std::uint16_t>(reader.readBS()) == kEntityClassId;
    if (release >= Release::kR2004)
      for (int i = 0; i < 5; ++i) reader.readBL();
    if (reader.failed() || (textsApart && strings.failed())) {
      if (release < Release::kR2004) break;  // the end of the data, padded
      return makeError(ErrorKind::kTruncated, "class list cut short", reader.position() / 8, name);
    }
    if (number >= kFirstClassNumber) classes[number] = std::move(info);
  }
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
