// Reads whole drawings whose inside is altered below the framing: the
// custom mutator takes a drawing apart, changes its header variables, class
// definitions, one object or the object map, and puts it back together with
// sizes and check values that fit, so that the section readers see damage
// the check values do not stop. R13-R2000 drawings are repacked in place;
// R2004-family drawings are packed anew with their four sections. Inputs it
// cannot take apart are mutated as plain bytes.

#include <algorithm>
#include <random>

#include "bit_reader.h"
#include "checksum.h"
#include "dwgwrite/bit_writer.h"
#include "dwgwrite/r2004_repack.h"
#include "section_input.h"
#include "dwgwrite/r13_repack.h"
#include "veldra/dwg/reader.h"

extern "C" std::size_t LLVMFuzzerMutate(std::uint8_t* data, std::size_t size, std::size_t maxSize);

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes mutated(std::span<const std::uint8_t> part) {
  Bytes buffer(part.begin(), part.end());
  buffer.resize(std::max<std::size_t>(part.size() * 2, part.size() + 64));
  buffer.resize(LLVMFuzzerMutate(buffer.data(), part.size(), buffer.size()));
  return buffer;
}

using ObjectMapEntries = std::vector<std::pair<std::uint64_t, std::uint64_t>>;

// One entry of the object map pointed elsewhere, dropped or repeated.
bool alterMap(ObjectMapEntries& map, std::minstd_rand& rng) {
  if (map.size() < 2) return false;
  const std::size_t a = rng() % map.size();
  const std::size_t b = rng() % map.size();
  switch (rng() % 4) {
    case 0: std::swap(map[a].second, map[b].second); break;
    case 1: map.erase(map.begin() + static_cast<std::ptrdiff_t>(a)); break;
    case 2: map.push_back({map[a].first + 1 + rng() % 4, map[b].second}); break;
    default: map[a].second = map[b].second + rng() % 8; break;
  }
  return true;
}

bool alter(veldra::dwgwrite::R13Parts& parts, std::minstd_rand& rng) {
  switch (rng() % 4) {
    case 0: parts.header = mutated(parts.header); return true;
    case 1: parts.classes = mutated(parts.classes); return true;
    case 2: {
      if (parts.map.empty()) return false;
      const std::size_t entry = rng() % parts.map.size();
      Bytes object;
      if (!veldra::dwgwrite::objectData(parts, parts.map[entry].second, object)) return false;
      veldra::dwgwrite::replaceObject(parts, entry, mutated(object));
      return true;
    }
    default: return alterMap(parts.map, rng);
  }
}

// One object of an R2004-family objects section changed: kept in its place
// when its size stays, else moved to the end with the map pointed there.
bool alterObject(veldra::dwg::detail::Sections& s, veldra::dwg::detail::Release release, std::minstd_rand& rng) {
  namespace detail = veldra::dwg::detail;
  ObjectMapEntries map;
  if (!veldra::dwgwrite::decodeObjectMap(s.handles, map) || map.empty()) return false;
  const std::size_t entry = rng() % map.size();
  const std::uint64_t offset = map[entry].second;
  detail::BitReader sizes(s.objects, offset * 8, s.objects.size() * 8);
  const std::uint64_t size = sizes.readMS();
  const std::uint64_t handleBits = release >= detail::Release::kR2010 ? sizes.readUMC() : 0;
  const std::uint64_t dataStart = sizes.position() / 8;
  if (sizes.failed() || size > s.objects.size() - dataStart) return false;
  const Bytes data = mutated(std::span(s.objects).subspan(dataStart, size));
  veldra::dwgwrite::BitWriter frame;
  frame.writeMS(static_cast<std::uint32_t>(data.size()));
  if (release >= detail::Release::kR2010) frame.writeUMC(handleBits);
  Bytes object = frame.bytes();
  object.insert(object.end(), data.begin(), data.end());
  const std::uint16_t crc = detail::crc16(object, detail::kSectionCrcSeed);
  object.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  object.push_back(static_cast<std::uint8_t>(crc >> 8));
  if (data.size() == size && dataStart + size + 2 <= s.objects.size()) {
    std::copy(object.begin(), object.end(), s.objects.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
  }
  map[entry].second = s.objects.size();
  s.objects.insert(s.objects.end(), object.begin(), object.end());
  s.handles = veldra::dwgwrite::encodeObjectMap(map);
  return true;
}

bool alterR2004(std::span<const std::uint8_t> file, std::minstd_rand& rng, Bytes& out) {
  namespace detail = veldra::dwg::detail;
  detail::Release release{};
  if (file.size() < 6 || !detail::releaseOf(std::string(file.begin(), file.begin() + 6), release) ||
      release < detail::Release::kR2004 || release == detail::Release::kR2007)
    return false;
  detail::Sections s;
  s.wantEvidence = true;
  if (!detail::readR2004Sections(file, s).ok()) return false;
  switch (rng() % 6) {
    case 0: s.header = mutated(s.header); break;
    case 1: s.classes = mutated(s.classes); break;
    case 2:
      if (!alterObject(s, release, rng)) return false;
      break;
    case 3: {
      ObjectMapEntries map;
      if (!veldra::dwgwrite::decodeObjectMap(s.handles, map) || !alterMap(map, rng)) return false;
      s.handles = veldra::dwgwrite::encodeObjectMap(map);
      break;
    }
    case 4:
      if (!s.summaryInfo.present) return false;
      s.summaryInfo.bytes = mutated(s.summaryInfo.bytes);
      break;
    default:
      if (!s.preview.present) return false;
      s.preview.bytes = mutated(s.preview.bytes);
      break;
  }
  std::vector<veldra::dwgwrite::PackedSection> sections{{"AcDb:Header", s.header},
                                                            {"AcDb:Classes", s.classes},
                                                            {"AcDb:Handles", s.handles},
                                                            {"AcDb:AcDbObjects", s.objects}};
  if (s.summaryInfo.present) sections.push_back({"AcDb:SummaryInfo", s.summaryInfo.bytes});
  if (s.preview.present) sections.push_back({"AcDb:Preview", s.preview.bytes});
  out = veldra::dwgwrite::repackR2004(file, sections);
  return !out.empty();
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
  std::minstd_rand rng(seed);
  if (rng() % 8 == 0) return LLVMFuzzerMutate(data, size, maxSize);
  Bytes joined;
  veldra::dwgwrite::R13Parts parts;
  if (veldra::dwgwrite::splitR13({data, size}, parts)) {
    if (!alter(parts, rng)) return LLVMFuzzerMutate(data, size, maxSize);
    joined = veldra::dwgwrite::joinR13(parts);
  } else if (!alterR2004({data, size}, rng, joined)) {
    return LLVMFuzzerMutate(data, size, maxSize);
  }
  if (joined.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
  std::copy(joined.begin(), joined.end(), data);
  return joined.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  Summary summary;
  const Status status = readSummary({data, size}, summary);
  fuzzing::checkResult(status, summary.entities, summary.damage);

  // The evidence and geometry, read from the same altered sections.
  Drawing drawing;
  const Status all = readDrawing({data, size}, ReadRequest{.evidence = true, .geometry = true}, drawing);
  fuzzing::checkResult(all, drawing.summary.entities, drawing.summary.damage);
  if (all.ok() && drawing.geometry.size() != drawing.summary.entities.size()) __builtin_trap();
  for (const EntityGeometry& g : drawing.geometry)
    if (!fuzzing::validUtf8(g.layer) || (g.text && !fuzzing::validUtf8(*g.text))) __builtin_trap();
  if (const auto& info = drawing.evidence.summaryInfo; info && !fuzzing::validUtf8(info->title + info->author))
    __builtin_trap();
  return 0;
}
