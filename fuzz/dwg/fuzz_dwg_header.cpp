// Feeds the header variables reader directly: a release byte, the
// maintenance release, then the section as the container hands it over.

#include "section_input.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace veldra::dwg;
  fuzzing::SectionInput input;
  if (!fuzzing::splitInput({data, size}, 1, input)) return 0;
  detail::Sections sections;
  sections.maintenance = input.maintenance;
  sections.header.assign(input.parts[0].begin(), input.parts[0].end());
  StoredDate created;
  const Status status = detail::readHeaderSection(sections, input.release, created);
  fuzzing::checkResult(status, {}, {});
  if (status.ok() && (created.milliseconds < 0 || created.milliseconds >= 86400000 || created.days < 0))
    __builtin_trap();
  return 0;
}
