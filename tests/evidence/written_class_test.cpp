#include <gtest/gtest.h>

#include <iostream>
#include <map>
#include <set>

#include "app/textfile.h"
#include "dwgwrite/dwg_writer.h"
#include "classes/class_model.h"
#include "classes/drawing_plan.h"
#include "evidence/run/evidence_run.h"
#include "platform/platform.h"
#include "support/temp_dir.h"

namespace veldra::evidence {
namespace {

using veldra::dwgwrite::DrawingSpec;

using veldra::testing::planOf;

void judgeWrittenClass(unsigned seed, int exercise) {
  SCOPED_TRACE("seed " + std::to_string(seed) + ", exercise " + std::to_string(exercise));
  veldra::testing::TempDir dir;
  const auto base = dir.makeWorkspace();
  const Workspace workspace(base);
  veldra::testing::ClassPlan plan = veldra::testing::typicalClass(seed);
  plan.exerciseEntities = exercise;
  const veldra::testing::ClassModel model = veldra::testing::makeClass(plan);
  const auto classFolder = dir.path() / "class";
  // The students save in the versions a lab has; a file copy keeps its source's.
  const char* const versions[] = {"AC1032", "AC1018", "AC1024", "AC1027"};
  std::map<int, std::string> versionOf;
  for (int k = 0; k < plan.students; ++k) versionOf[k] = versions[k % 4];
  for (const auto& c : plan.copies)
    if (c.kind == veldra::testing::CopyKind::kFileCopy || c.kind == veldra::testing::CopyKind::kCopyEdited)
      versionOf[c.copier] = versionOf[c.source];
  for (int k = 0; k < plan.students; ++k) {
    const auto& d = model.drawings[static_cast<std::size_t>(k)];
    const auto file = classFolder / d.facts.name;
    std::filesystem::create_directories(file.parent_path());
    ASSERT_EQ(dwgwrite::writeDrawingFile(file, planOf(d, versionOf[k])), "") << d.facts.name;
  }
  const auto templateFile = dir.path() / "cad1.dwg";
  ASSERT_EQ(dwgwrite::writeDrawingFile(templateFile, planOf(model.templateDrawing, "AC1032")), "");

  const DrawingEvidence probe = readDrawingEvidence(classFolder / "anna" / "drawing.dwg", "anna/drawing.dwg");
  ASSERT_TRUE(probe.facts.readable);
  bool geometry = false;
  for (const auto& e : probe.entities) geometry = geometry || !e.numbers.empty();
  if (!geometry || probe.facts.fingerprintGuid.empty()) GTEST_SKIP() << "the reader gives no geometry or identity yet";

  EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"CAD1\"\r\n"));
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(classFolder))));
  EvidenceSettings settings;
  settings.templates = {templateFile};
  const RunResult r = runEvidenceCheck(workspace, "CAD1", settings, RunControl{});
  ASSERT_EQ(r.outcome, RunOutcome::kDone) << r.error;
  const Findings& f = r.findings;
  ASSERT_EQ(f.projectDrawings, model.drawings.size());
  // The folders list in name order, so map the findings back to students.
  std::map<std::string, int> studentOf;
  for (int k = 0; k < plan.students; ++k)
    studentOf[utf8Name(model.drawings[static_cast<std::size_t>(k)].facts.name)] = k;
  std::set<std::pair<int, int>> called, explained;
  for (const auto& p : f.pairs) {
    const int a = studentOf.at(displayName(f.drawings[p.a])), b = studentOf.at(displayName(f.drawings[p.b]));
    (isCopy(p.verdict) ? called : explained).insert({std::min(a, b), std::max(a, b)});
  }
  int truePositives = 0, falsePositives = 0, falseNegatives = 0;
  for (int a = 0; a < plan.students; ++a)
    for (int b = a + 1; b < plan.students; ++b) {
      const bool copied = model.linked(a, b), found = called.count({a, b}) > 0;
      truePositives += copied && found;
      falsePositives += !copied && found;
      falseNegatives += copied && !found;
      EXPECT_EQ(found, copied) << "students " << a << " and " << b;
    }
  // The same second of creation and the lab login are told as coincidences.
  for (const auto* innocent : {&plan.sameSecond, &plan.labAccount})
    for (const int a : *innocent)
      for (const int b : *innocent)
        if (a < b) {
          EXPECT_TRUE(explained.count({a, b})) << "students " << a << " and " << b;
        }
  std::cout << "[ written class " << seed << "/" << exercise << ": precision " << truePositives << "/"
            << truePositives + falsePositives << ", recall " << truePositives << "/" << truePositives + falseNegatives
            << " ]\n";
}

// The class of the issue written as real drawings, read back by the
// program's own reader: every copy found, no honest student accused.
TEST(WrittenClass, IsJudgedRightThroughTheReader) {
  for (const auto& [seed, exercise] : {std::pair{11u, 80}, {4u, 40}, {7u, 120}}) judgeWrittenClass(seed, exercise);
}

}  // namespace
}  // namespace veldra::evidence
