// Feeds the header variables readers directly, of the summary and of the
// evidence: a release byte, the maintenance release (also taken as the code
// page of 8-bit texts), then the section as the container hands it over.

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

  // The evidence read fails only where the summary's does, and its texts
  // are UTF-8.
  sections.codePage = input.maintenance % 48;
  Evidence evidence;
  Status later;
  const Status more = detail::readHeaderEvidence(sections, input.release, evidence, later);
  fuzzing::checkResult(more, {}, {});
  if (more.ok() != status.ok() || (!later.ok() && later.message.empty())) __builtin_trap();
  if ((evidence.fingerprintGuid && !fuzzing::validUtf8(*evidence.fingerprintGuid)) ||
      (evidence.versionGuid && !fuzzing::validUtf8(*evidence.versionGuid)))
    __builtin_trap();
  return 0;
}
