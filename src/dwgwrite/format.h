#pragma once

// What the writer's parts share: the releases, sentinels and check values of
// the layout the reader follows too, and the releases the writer writes.

#include <cstdint>
#include <string_view>

#include "veldra/dwg/layout.h"

namespace veldra::dwgwrite::detail {

using dwg::layout::Release;
using dwg::layout::Sentinel;
using dwg::layout::kClassesEnd;
using dwg::layout::kClassesStart;
using dwg::layout::kHeaderEnd;
using dwg::layout::kHeaderStart;
using dwg::layout::kImageEnd;
using dwg::layout::kImageStart;
using dwg::layout::kSectionCrcSeed;
using dwg::layout::crc16;
using dwg::layout::crc32;
using dwg::layout::pageChecksum;

// The release of a version the writer writes: every one the layout has but
// R2007 (AC1021). False for any other.
bool writtenRelease(std::string_view version, Release& out);

}  // namespace veldra::dwgwrite::detail
