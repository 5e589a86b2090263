#pragma once

// The one helper of the class-judging tests: a class judged in memory or
// through the run, its findings looked up by student, and the copies found
// per kind and the honest pairs accused counted over many classes.

#include <filesystem>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "classes/class_model.h"
#include "evidence/judging/judge.h"
#include "evidence/run/evidence_run.h"
#include "support/temp_dir.h"

namespace veldra::testing {

class JudgedClass {
 public:
  // `studentOf` gives each drawing's student (-1: none, as an archive's);
  // empty, drawing k is student k.
  explicit JudgedClass(evidence::Findings findings, const std::vector<int>& studentOf = {});
  JudgedClass(const JudgedClass&) = delete;

  const evidence::PairFinding* pair(int a, int b) const;
  evidence::Verdict verdict(int a, int b) const;
  bool called(int a, int b) const { return evidence::isCopy(verdict(a, b)); }
  bool mentions(int a, int b, const std::string& words) const;
  // The pair's score and reasons, for a failure's message.
  std::string said(int a, int b) const;

  const evidence::Findings findings;

 private:
  std::map<std::pair<int, int>, const evidence::PairFinding*> pairs_;
};

// The class judged in memory, with its template named when `withTemplate`.
evidence::Judgement judgeModel(const ClassModel& model, bool withTemplate, const evidence::EvidenceSettings& settings = {},
                               evidence::ArchiveSource* archive = nullptr, const std::string& project = "CAD1");

// A workspace in `dir` whose project CAD1 holds `folder` with its
// sub-folders, checked through the evidence run.
evidence::RunResult runOnFolder(const TempDir& dir, const std::filesystem::path& folder,
                                const evidence::EvidenceSettings& settings = {});

// Per kind of copy, how many were found of those made; the honest pairs
// called copies, with the check's words.
struct Tally {
  std::map<std::string, std::pair<int, int>> copies;
  int honestPairs = 0;
  std::vector<std::string> accused;

  void copy(const std::string& kind, bool found);
  void honest(bool calledCopy, const std::string& words);
  // Prints the figures for the record and fails on every honest pair accused.
  void report(const std::string& what) const;
  void expectEveryCopyFound(const std::string& what) const;
};

// Every copy the plan made by its kind, every pair of students not linked
// by copying as honest.
void tallyClass(const ClassPlan& plan, const ClassModel& model, const JudgedClass& judged, Tally& tally);

}  // namespace veldra::testing
