#include "object_access.h"

#include <algorithm>

#include "checksum.h"

namespace veldra::dwg::detail {
namespace {

// Room for the size fields at an object's start: the size (a modular short)
// and from R2010 on the size of the handle references (a modular char).
constexpr std::uint64_t kSizeFieldsRoom = 32;
constexpr std::uint64_t kCrcSize = 2;

}  // namespace

Status ObjectAccess::error(ErrorKind kind, const std::string& what, std::uint64_t handle) const {
  const auto it = map_.find(handle);
  return makeError(kind, what + " (object " + handleText(handle) + ")", it == map_.end() ? 0 : it->second,
                   std::string(kObjectsName));
}

Status ObjectAccess::openObject(std::uint64_t handle, ObjectStart& out) const {
  const auto it = map_.find(handle);
  if (it == map_.end()) return error(ErrorKind::kCorrupt, "object is not in the object map", handle);
  return openObject(it, out);
}

Status ObjectAccess::openObject(ObjectMap::const_iterator it, ObjectStart& out) const {
  const std::uint64_t handle = it->first;
  const std::uint64_t totalBits = static_cast<std::uint64_t>(data_.size()) * 8;
  // The size fields take a few bytes; then the object and its CRC.
  if (!sections_.objectsReadyBelow(it->second + kSizeFieldsRoom))
    if (Status s = sections_.loadObjects(it->second, it->second + kSizeFieldsRoom); !s.ok()) return s;
  BitReader sizes(data_, it->second * 8, totalBits);
  const std::uint64_t size = sizes.readMS();
  std::uint64_t handleBits = 0;
  if (release_ >= Release::kR2010) handleBits = sizes.readUMC();
  out.dataStart = sizes.position();
  if (sizes.failed() || size * 8 > totalBits - out.dataStart)
    return error(ErrorKind::kCorrupt, "object size points outside the section", handle);
  out.endBit = out.dataStart + size * 8;
  if (!sections_.objectsReadyBelow(out.endBit / 8 + kCrcSize))
    if (Status s = sections_.loadObjects(it->second, out.endBit / 8 + kCrcSize); !s.ok()) return s;
  BitReader& r = out.reader;
  r = BitReader(data_, out.dataStart, out.endBit);
  if (release_ >= Release::kR2010) {
    out.type = r.readOT();
    if (handleBits > size * 8) return error(ErrorKind::kCorrupt, "handle stream larger than its object", handle);
    out.handleStart = out.endBit - handleBits;
  } else {
    out.type = static_cast<std::uint16_t>(r.readBS());
    if (release_ >= Release::kR2000) out.handleStart = out.dataStart + r.readRL();
  }
  out.handle = r.readH().value;
  for (std::int16_t eed = r.readBS(); eed != 0 && !r.failed(); eed = r.readBS()) {
    r.readH();
    r.skip(static_cast<std::uint64_t>(static_cast<std::uint16_t>(eed)) * 8);
  }
  if (r.failed()) return error(ErrorKind::kCorrupt, "object header cut short", handle);
  if (out.handle != handle) return error(ErrorKind::kCorrupt, "object map and object disagree on its handle", handle);
  checkCrc(handle, it->second, out.endBit / 8);
  return Status::Ok();
}

// An object ends with the CRC of its size fields and its data. From R2004 on
// the page checksums cover every byte of the objects already.
void ObjectAccess::checkCrc(std::uint64_t handle, std::uint64_t start, std::uint64_t end) const {
  if (release_ >= Release::kR2004) return;
  const char* failure = " fails its CRC";
  if (data_.size() - end < kCrcSize) {
    failure = " ends before its CRC";
  } else {
    const auto covered = data_.subspan(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    const auto stored = static_cast<std::uint16_t>(data_[end] | (data_[end + 1] << 8));
    if (crc16(covered, kSectionCrcSeed) == stored) return;
  }
  Damage damage{std::string(kObjectsName), start, "object " + handleText(handle) + failure};
  const auto same = [&](const Damage& d) {
    return d.offset == damage.offset && d.message == damage.message && d.section == damage.section;
  };
  if (std::none_of(damage_.begin(), damage_.end(), same)) damage_.push_back(std::move(damage));
}

void ObjectAccess::readObjectCommon(ObjectStart& o, std::int32_t& reactors, bool& hasXdic) const {
  BitReader& r = o.reader;
  if (release_ <= Release::kR14) o.handleStart = o.dataStart + r.readRL();
  reactors = r.readBL();
  hasXdic = true;
  if (release_ >= Release::kR2004) hasXdic = !r.readB();
  if (release_ >= Release::kR2013) r.readB();  // binary data present
}

BitReader ObjectAccess::handleReader(const ObjectStart& o) const {
  if (o.handleStart < o.dataStart || o.handleStart > o.endBit) {
    BitReader broken(data_, 0, 0);
    broken.fail();
    return broken;
  }
  return BitReader(data_, o.handleStart, o.endBit);
}

BitReader ObjectAccess::stringReader(const ObjectStart& o) const {
  BitReader strings;
  if (o.handleStart < o.dataStart || o.handleStart > o.endBit ||
      !openStringStream(data_, o.dataStart, o.handleStart, strings)) {
    strings = BitReader(data_, 0, 0);
    strings.fail();
  }
  return strings;
}

Status ObjectAccess::skipReactors(BitReader& h, std::int32_t reactors, bool hasXdic, std::uint64_t handle) const {
  if (reactors < 0 || static_cast<std::uint64_t>(reactors) * 8 > h.remaining())
    return error(ErrorKind::kCorrupt, "absurd reactor count", handle);
  for (std::int32_t i = 0; i < reactors; ++i) h.readH();
  if (hasXdic) h.readH();
  return Status::Ok();
}

}  // namespace veldra::dwg::detail
