#include "evidence/evidence_run.h"

#include <chrono>
#include <system_error>

#include "app/textfile.h"
#include "evidence/evidence_store.h"
#include "evidence/judge.h"
#include "evidence/project_drawings.h"
#include "evidence/report_writers.h"
#include "projects/project_store.h"

namespace veldra::evidence {

std::filesystem::path storeFile(const Workspace& workspace) {
  return workspace.path({kStoreFolder, "evidence.sqlite"});
}

std::filesystem::path reportFile(const Workspace& workspace, const std::string& project) {
  return workspace.path({kReportFolder, project + ".txt"});
}

RunResult runEvidenceCheck(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                           const RunControl& control) {
  RunResult result;
  auto fail = [&](std::string why) {
    result.outcome = RunOutcome::kError;
    result.error = std::move(why);
    return result;
  };
  auto cancelled = [&] {
    result.outcome = RunOutcome::kCancelled;
    result.findings = {};
    return result;
  };
  if (const auto problem = projectNameProblem(project)) return fail("the project name cannot be used: " + *problem);
  for (const auto& earlier : settings.against)
    if (earlier == project) return fail("a project is not compared against itself: " + project);

  // Earlier projects come from the store, which must hold them already.
  std::string storeError;
  std::unique_ptr<EvidenceStore> store;
  std::unique_ptr<ArchiveSource> archive;
  if (!settings.against.empty()) {
    std::error_code ec;
    if (!std::filesystem::is_regular_file(storeFile(workspace), ec))
      return fail("there is no evidence store in the workspace yet, so no earlier project to compare against");
    store = EvidenceStore::open(storeFile(workspace), storeError);
    if (!store) return fail(storeError);
    archive = store->archive(settings.against, storeError);
    if (!archive) return fail(storeError);
  }

  ClassInput input;
  input.project = project;
  std::vector<std::string> notes;
  const auto locations = readLocations(workspace, project);
  if (!locations || locations->empty()) notes.push_back("The project has no locations to judge.");
  VisitList visits = listProjectDrawings(locations ? *locations : std::vector<std::string>{});
  notes.insert(notes.end(), visits.notes.begin(), visits.notes.end());
  input.drawings = readDrawings(visits.drawings, control);
  if (control.cancelled()) return cancelled();
  for (const auto& t : settings.templates) input.templates.push_back(readDrawingEvidence(t, t.filename()));

  Judgement judgement = judgeClass(input, settings, archive.get(), control);
  if (judgement.cancelled || control.cancelled()) return cancelled();
  result.findings = std::move(judgement.findings);
  result.findings.notes.insert(result.findings.notes.begin(), notes.begin(), notes.end());

  // Keep the evidence and write the report; a failure here leaves the
  // findings as they are, with a warning.
  control.report("Saving the evidence", 0, 1);
  std::error_code ec;
  if (!store) {
    std::filesystem::create_directories(storeFile(workspace).parent_path(), ec);
    store = EvidenceStore::open(storeFile(workspace), storeError);
  }
  if (!store) {
    result.warnings.push_back("The evidence was not kept: " + storeError);
  } else if (!store->saveProject(project, settings.term, result.findings.runAtUnixMs,
                                 std::vector<DrawingFacts>(result.findings.drawings.begin(),
                                                           result.findings.drawings.begin() +
                                                               static_cast<std::ptrdiff_t>(result.findings.projectDrawings)),
                                 judgement.judged, judgement.commonKeys, storeError)) {
    result.warnings.push_back("The evidence was not kept in " + utf8Path(storeFile(workspace)) + ": " + storeError);
  } else {
    // The teacher's marks go with the pairs they were made on; the findings
    // are kept without them, as the marks change apart from runs.
    applyMarks(result.findings, store->marks(project));
    Findings kept = result.findings;
    for (auto& p : kept.pairs) p.review.reset();
    if (!store->saveLastRun(project, kept, storeError))
      result.warnings.push_back("The result was not kept for the window: " + storeError);
  }
  const auto report = reportFile(workspace, project);
  std::filesystem::create_directories(report.parent_path(), ec);
  std::string reportError;
  if (!replaceFile(report, plainReport(result.findings), &reportError))
    result.warnings.push_back("The evidence report was not written: " + reportError);
  control.report("Saving the evidence", 1, 1);
  result.outcome = RunOutcome::kDone;
  return result;
}

namespace {

// The store when its file exists; nothing (and no error) when it does not.
std::unique_ptr<EvidenceStore> existingStore(const Workspace& workspace, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(storeFile(workspace), ec)) return nullptr;
  return EvidenceStore::open(storeFile(workspace), error);
}

}  // namespace

EvidenceSettings loadProjectSettings(const Workspace& workspace, const std::string& project) {
  std::string error;
  const auto store = existingStore(workspace, error);
  if (!store) return {};
  return store->loadSettings(project).value_or(EvidenceSettings{});
}

bool saveProjectSettings(const Workspace& workspace, const std::string& project, const EvidenceSettings& settings,
                         std::string& error) {
  if (const auto problem = projectNameProblem(project)) {
    error = "the project name cannot be used: " + *problem;
    return false;
  }
  std::error_code ec;
  std::filesystem::create_directories(storeFile(workspace).parent_path(), ec);
  const auto store = EvidenceStore::open(storeFile(workspace), error);
  return store && store->saveSettings(project, settings, error);
}

std::optional<Findings> loadLastRun(const Workspace& workspace, const std::string& project, std::string& error) {
  const auto store = existingStore(workspace, error);
  if (!store) return std::nullopt;
  return store->loadLastRun(project);
}

bool saveMark(const Workspace& workspace, const std::string& project, const StoredMark& mark, std::string& error) {
  std::error_code ec;
  std::filesystem::create_directories(storeFile(workspace).parent_path(), ec);
  const auto store = EvidenceStore::open(storeFile(workspace), error);
  return store && store->saveMark(project, mark, error);
}

bool removeMark(const Workspace& workspace, const std::string& project, const StoredMark& mark, std::string& error) {
  const auto store = existingStore(workspace, error);
  if (!store) return error.empty();
  return store->removeMark(project, mark.pathA, mark.pathB, error);
}

std::vector<std::size_t> changedSinceRun(const Findings& findings) {
  std::vector<std::size_t> out;
  const auto runAt = std::chrono::sys_time<std::chrono::milliseconds>(std::chrono::milliseconds(findings.runAtUnixMs));
  for (std::size_t i = 0; i < findings.projectDrawings && i < findings.drawings.size(); ++i) {
    std::error_code ec;
    const auto written = std::filesystem::last_write_time(findings.drawings[i].path, ec);
    if (ec) {
      out.push_back(i);
      continue;
    }
    const auto writtenAt = std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::file_clock::to_sys(written));
    if (writtenAt > runAt) out.push_back(i);
  }
  return out;
}

std::vector<StoredProject> storedProjects(const Workspace& workspace, std::string& error) {
  const auto store = existingStore(workspace, error);
  if (!store) return {};
  return store->projects(error);
}

}  // namespace veldra::evidence
