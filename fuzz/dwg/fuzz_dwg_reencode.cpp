// Reads whole R13-R2000 drawings whose inside is altered below the framing:
// the custom mutator takes a drawing apart, changes its header variables,
// class definitions, one object or the object map, and puts it back
// together with sizes and check values that fit, so that the section
// readers see damage the check values do not stop. Inputs it cannot take
// apart are mutated as plain bytes.

#include <algorithm>
#include <random>

#include "dwgwrite/r13_repack.h"
#include "section_input.h"
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

// One entry of the object map pointed elsewhere, dropped or repeated.
bool alterMap(veldra::dwgwrite::R13Parts& parts, std::minstd_rand& rng) {
  auto& map = parts.map;
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
    default: return alterMap(parts, rng);
  }
}

}  // namespace

extern "C" std::size_t LLVMFuzzerCustomMutator(std::uint8_t* data, std::size_t size, std::size_t maxSize,
                                               unsigned int seed) {
  std::minstd_rand rng(seed);
  veldra::dwgwrite::R13Parts parts;
  if (rng() % 8 == 0 || !veldra::dwgwrite::splitR13({data, size}, parts) || !alter(parts, rng))
    return LLVMFuzzerMutate(data, size, maxSize);
  const Bytes joined = veldra::dwgwrite::joinR13(parts);
  if (joined.size() > maxSize) return LLVMFuzzerMutate(data, size, maxSize);
  std::copy(joined.begin(), joined.end(), data);
  return joined.size();
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  veldra::dwg::Summary summary;
  const veldra::dwg::Status status = veldra::dwg::readSummary({data, size}, summary);
  veldra::dwg::fuzzing::checkResult(status, summary.entities, summary.damage);
  return 0;
}
