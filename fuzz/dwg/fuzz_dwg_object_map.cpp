// Feeds the object map reader directly: a release byte, the maintenance
// release, the size of the objects section (3 bytes) as the map's offsets
// must fit it, a byte whose odd values give a small budget, then the map.

#include "section_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  fuzzing::SectionInput input;
  if (!fuzzing::splitInput({data, size}, 1, input) || input.parts[0].size() < 4) return 0;
  const auto& part = input.parts[0];
  // Kept from run to run: only the size of the objects counts, and growing
  // them afresh every time would be slow.
  static detail::Sections sections;
  sections.objects.resize(part[0] | (part[1] << 8) | (part[2] << 16));
  sections.handles.assign(part.begin() + 4, part.end());
  // A small budget now and then, so that the bound on entries is reached.
  sections.costLeft = (part[3] & 1) ? static_cast<std::uint64_t>(part[3]) * detail::kObjectMapEntryCost
                                    : kMaxDrawingCost;
  detail::ObjectMap map;
  std::vector<Damage> damage;
  const Status status = detail::readObjectMap(sections, map, &damage);
  fuzzing::checkResult(status, {}, damage);
  for (const auto& [handle, offset] : map)
    if (offset >= sections.objects.size()) __builtin_trap();
  return 0;
}
