// The layout's table of header variables as the reader and the writer both
// follow it; real drawings hold it to account in the probe's tests.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "veldra/dwg/layout.h"

namespace veldra::dwg::layout {
namespace {

constexpr Release kReleases[] = {Release::kR13,  Release::kR14,  Release::kR2000, Release::kR2004,
                                 Release::kR2007, Release::kR2010, Release::kR2013, Release::kR2018};

// A variable stored twice in different forms (DIMTOL as a flag of R13-R14
// and again from R2000 on) must never be stored twice in one release.
TEST(Layout, EachReleaseStoresEachVariableOnce) {
  for (const Release release : kReleases) {
    std::set<std::string> names;
    for (const HeaderField& field : headerFields()) {
      if (!field.storedIn(release)) continue;
      EXPECT_TRUE(names.insert(field.name).second) << field.name;
    }
    // Every release stores the variables the evidence keeps.
    for (const char* kept : {"TDCREATE", "TDUPDATE", "TDINDWG", "TDUSRTIMER", "HANDSEED"}) {
      EXPECT_EQ(names.count(kept), 1u) << kept;
    }
  }
}

}  // namespace
}  // namespace veldra::dwg::layout
