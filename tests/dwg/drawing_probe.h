#pragma once

// Reads, for the tests, what the summary reader leaves alone: the header
// variables to the last one (through the reader), with the bits left after
// the last. Checked against the sample drawings, so that the writer's
// output is held to what real drawings store.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bit_reader.h"
#include "format.h"
#include "sections.h"

namespace veldra::dwg::probe {

using Bytes = std::vector<std::uint8_t>;
using detail::BitReader;
using detail::Release;

inline detail::Release releaseOf(std::span<const std::uint8_t> file) {
  Release release = Release::kR2000;
  detail::releaseOf(std::string(file.begin(), file.begin() + 6), release);
  return release;
}

struct HeaderFacts {
  StoredDate created, updated, editingTime, userTimer;
  std::uint64_t handseed = 0;
  std::optional<std::string> fingerprintGuid, versionGuid;
  std::uint64_t unreadBits = 0;  // left in the data stream after the last variable
  bool ok = false;
};

// The header variables of a whole drawing file read by the reader to the
// last one, with the bits left after it (real drawings hold the layout's
// table to account); `ok` false when its sections or header cannot be read.
inline HeaderFacts headerOf(std::span<const std::uint8_t> file) {
  HeaderFacts facts;
  detail::Sections sections;
  sections.version.assign(file.begin(), file.begin() + 6);
  const Release release = releaseOf(file);
  const Status read = release <= Release::kR2000   ? detail::readR13Sections(file, sections)
                      : release == Release::kR2007 ? detail::readR2007Sections(file, sections)
                                                   : detail::readR2004Sections(file, sections);
  if (!read.ok()) return facts;
  Evidence evidence;
  Status damage;
  const Status status = detail::readWholeHeader(sections, release, facts.created, evidence, damage, facts.unreadBits);
  facts.updated = evidence.updated.value_or(StoredDate{});
  facts.editingTime = evidence.editingTime.value_or(StoredDate{});
  facts.userTimer = evidence.userTimer.value_or(StoredDate{});
  facts.handseed = evidence.handseed.value_or(0);
  facts.fingerprintGuid = evidence.fingerprintGuid;
  facts.versionGuid = evidence.versionGuid;
  facts.ok = status.ok() && damage.ok();
  return facts;
}

}  // namespace veldra::dwg::probe
