#include "judged_class.h"

#include <gtest/gtest.h>

#include <iostream>

#include "app/textfile.h"
#include "platform/platform.h"

namespace veldra::testing {

using namespace veldra::evidence;

JudgedClass::JudgedClass(Findings f, const std::vector<int>& studentOf) : findings(std::move(f)) {
  const auto student = [&](std::size_t i) {
    return studentOf.empty() ? static_cast<int>(i) : i < studentOf.size() ? studentOf[i] : -1;
  };
  for (const auto& p : findings.pairs) {
    const int a = student(p.a), b = student(p.b);
    if (a >= 0 && b >= 0) pairs_[{std::min(a, b), std::max(a, b)}] = &p;
  }
}

const PairFinding* JudgedClass::pair(int a, int b) const {
  const auto it = pairs_.find({std::min(a, b), std::max(a, b)});
  return it == pairs_.end() ? nullptr : it->second;
}

Verdict JudgedClass::verdict(int a, int b) const {
  const auto* p = pair(a, b);
  return p ? p->verdict : Verdict::kNone;
}

bool JudgedClass::mentions(int a, int b, const std::string& words) const {
  const auto* p = pair(a, b);
  if (p)
    for (const auto& r : p->reasons)
      if (r.find(words) != std::string::npos) return true;
  return false;
}

std::string JudgedClass::said(int a, int b) const {
  const auto* p = pair(a, b);
  if (!p) return " (not listed)";
  std::string words = " (" + std::string(verdictText(p->verdict)) + ", score " + std::to_string(p->score) + ")";
  for (const auto& r : p->reasons) words += "\n  - " + r;
  return words;
}

Judgement judgeModel(const ClassModel& model, bool withTemplate, const EvidenceSettings& settings, ArchiveSource* archive,
                     const std::string& project) {
  ClassInput input;
  input.project = project;
  input.drawings = model.drawings;
  if (withTemplate) input.templates.push_back(model.templateDrawing);
  return judgeClass(std::move(input), settings, archive, RunControl{});
}

RunResult runOnFolder(const TempDir& dir, const std::filesystem::path& folder, const EvidenceSettings& settings) {
  const auto base = dir.makeWorkspace();
  EXPECT_TRUE(replaceFile(base / "projects" / "projects.fil", "\"CAD1\"\r\n"));
  EXPECT_TRUE(replaceFile(base / "projects" / "CAD1.prj", quotedLine("+" + utf8FromPath(folder))));
  return runEvidenceCheck(Workspace(base), "CAD1", settings, RunControl{});
}

void Tally::copy(const std::string& kind, bool found) {
  auto& [f, made] = copies[kind];
  f += found;
  ++made;
}

void Tally::honest(bool calledCopy, const std::string& words) {
  ++honestPairs;
  if (calledCopy) accused.push_back(words);
}

void Tally::report(const std::string& what) const {
  std::cout << "[ " << what << ": copies found per kind ]";
  for (const auto& [kind, n] : copies) std::cout << "\n  " << kind << " " << n.first << "/" << n.second;
  std::cout << "\n  honest pairs accused " << accused.size() << "/" << honestPairs << std::endl;
  for (const auto& words : accused) ADD_FAILURE() << "an honest pair accused in " << what << ": " << words;
}

void Tally::expectEveryCopyFound(const std::string& what) const {
  for (const auto& [kind, n] : copies) EXPECT_EQ(n.first, n.second) << kind << " in " << what;
}

void tallyClass(const ClassPlan& plan, const ClassModel& model, const JudgedClass& judged, Tally& tally) {
  for (const auto& c : plan.copies) tally.copy(copyKindName(c.kind), judged.called(c.source, c.copier));
  const int students = static_cast<int>(model.drawings.size());
  for (int a = 0; a < students; ++a)
    for (int b = a + 1; b < students; ++b)
      if (!model.linked(a, b)) {
        const bool called = judged.called(a, b);
        tally.honest(called, called ? "students " + std::to_string(a) + " and " + std::to_string(b) + judged.said(a, b) : "");
      }
}

}  // namespace veldra::testing
