// Feeds the class definitions reader directly: a release byte, the
// maintenance release, then the section as the container hands it over.

#include "object_types.h"
#include "section_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  fuzzing::SectionInput input;
  if (!fuzzing::splitInput({data, size}, 1, input)) return 0;
  detail::Sections sections;
  sections.maintenance = input.maintenance;
  sections.classes.assign(input.parts[0].begin(), input.parts[0].end());
  detail::ClassTable classes;
  const Status status = detail::readClassesSection(sections, input.release, classes);
  fuzzing::checkResult(status, {}, {});
  for (const auto& [number, info] : classes)
    if (number < detail::kFirstClassType) __builtin_trap();
  return 0;
}
