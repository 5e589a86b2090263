// Drawings older than R13 in the evidence check: they store no identity
// GUIDs, their dates are local time, and before R10 (or with HANDLING off)
// their entities have no handles. The check must judge them by what they do
// store and name those whose handles it cannot weigh.

#include <gtest/gtest.h>

#include "app/textfile.h"
#include "evidence/run/evidence_run.h"
#include "support/temp_dir.h"
#include "testwrite/r12_writer.h"

namespace veldra::evidence {
namespace {

using veldra::dwgwrite::OldDrawingSpec;
using veldra::dwgwrite::OldEntitySpec;

// A student's own work: lines and circles placed by `seed`, with handles
// from 0x20 when the version and `handling` keep them.
OldDrawingSpec oldStudent(const std::string& version, int seed, bool handling = true) {
  OldDrawingSpec wanted;
  wanted.version = version;
  wanted.handling = handling;
  wanted.created = {2448000 + seed, 30000000 + seed * 1000};
  wanted.updated = {2448010 + seed, 0};
  for (int k = 0; k < 30; ++k) {
    OldEntitySpec e;
    e.handle = 0x20 + static_cast<std::uint64_t>(k);
    const double x = seed * 97.25 + k * 3.5, y = seed * 13.75 + k * k * 0.5;
    if (k % 3 == 0) {
      e.kind = OldEntitySpec::Kind::kCircle;
      e.numbers = {x, y, 1.0 + k * 0.25 + seed};
    } else {
      e.numbers = {x, y, 0, x + seed + k, y + 2 * k + 1, 0};
    }
    wanted.entities.push_back(e);
  }
  return wanted;
}

class OldDrawingsCheck : public ::testing::Test {
 protected:
  OldDrawingsCheck() : base(dir.makeWorkspace()), workspace(base.string()) {
    EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"OLD\"\r\n"));
    EXPECT_TRUE(replaceFile(base / "projects" / "OLD.prj", quotedLine("+" + (dir.path() / "class").string())));
  }
  void write(const std::string& name, const OldDrawingSpec& wanted) {
    const auto bytes = veldra::dwgwrite::writeOldDrawing(wanted);
    ASSERT_FALSE(bytes.empty());
    dir.write("class/" + name, std::string(bytes.begin(), bytes.end()));
  }
  veldra::testing::TempDir dir;
  std::filesystem::path base;
  Workspace workspace;
};

// A copied R12 drawing is found by its geometry and dates although no old
// drawing stores a GUID; drawings without handles are judged and named, and
// two of them are never matched through the handles they do not have.
TEST_F(OldDrawingsCheck, CopiesAreFoundAndDrawingsWithoutHandlesAreNamed) {
  write("anna.dwg", oldStudent("AC1009", 1));
  write("ben.dwg", oldStudent("AC1009", 1));  // anna's file, copied
  write("carla.dwg", oldStudent("AC1009", 2));
  write("dora.dwg", oldStudent("AC1004", 3));          // no handles before R10
  write("emil.dwg", oldStudent("AC1009", 4, false));   // HANDLING off

  const RunResult r = runEvidenceCheck(workspace, "OLD", {}, {});
  ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  const Findings& f = r.findings;
  ASSERT_EQ(f.projectDrawings, 5u);
  for (std::size_t i = 0; i < 5; ++i) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(f.drawings[i].readable);
    EXPECT_TRUE(f.drawings[i].fingerprintGuid.empty());
    ASSERT_TRUE(f.drawings[i].created.has_value());
    EXPECT_FALSE(f.drawings[i].created->universal);  // local time, as the old versions store it
    EXPECT_EQ(f.drawings[i].entityCount, 30u);
  }
  EXPECT_EQ(f.drawings[0].version, "AC1009");
  EXPECT_EQ(f.drawings[3].version, "AC1004");
  EXPECT_TRUE(f.drawings[0].handseed.has_value());
  EXPECT_FALSE(f.drawings[3].handseed.has_value());
  EXPECT_TRUE(f.drawings[0].updated.has_value());

  ASSERT_EQ(f.problemDrawings(), (std::vector<std::size_t>{3, 4}));
  for (const std::size_t i : {3u, 4u}) {
    EXPECT_EQ(f.drawings[i].problem->kind, ProblemKind::kNoHandles);
    EXPECT_TRUE(f.drawings[i].problem->read);
  }
  ASSERT_EQ(f.groups.size(), 1u);
  EXPECT_EQ(f.groups[0].members, (std::vector<std::size_t>{0, 1}));
  for (const PairFinding& pair : f.pairs) {
    if (pair.a >= 3 && pair.b >= 3) {
      EXPECT_EQ(pair.evidence.handlesShared, 0);
      EXPECT_EQ(pair.evidence.rawHandleOverlap, 0.0);
    }
  }
  const std::string report = veldra::testing::slurp(reportFile(workspace, "OLD"));
  EXPECT_NE(report.find("dora.dwg: stores no entity handles"), std::string::npos) << report;
}

}  // namespace
}  // namespace veldra::evidence
