#include "run/driver.h"

#include <cmath>
#include <system_error>

#include "app/textfile.h"
#include "platform/platform.h"
#include "projects/folder_plan.h"
#include "projects/project_store.h"
#include "record/record_format.h"
#include "run/collected_type.h"
#include "run/run_mark.h"

namespace veldra {

namespace {

bool noEntityInReadDrawings(const DrawingTable& table) {
  bool anyRead = false;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!table.handles[i].empty()) return false;
    anyRead = anyRead || table.times[i] != 0.0;
  }
  return anyRead;
}

// Puts a written report in place. One that cannot be written leaves the old
// report whole, and the user is told.
void commitReport(FileReplacement& report, ComparisonResult& result) {
  if (report.commit()) return;
  result.errors.push_back("The report " + utf8FromPath(report.file()) + " could not be written (" + report.reason() +
                          "). A report found there is from an earlier run.");
}

}  // namespace

ComparisonResult runComparison(RunContext& run) {
  ComparisonResult result;
  result.entity = run.options.entity;
  if (run.state.totfiles <= 0) {
    run.endWithoutVerdict(false);
    return result;
  }
  auto table = std::make_shared<DrawingTable>(static_cast<std::size_t>(run.state.totfiles));
  result.table = table;
  if (auto damage = readRecordFile(run.workspace.recordFile(run.options.project), *table)) {
    result.outcome = DriverOutcome::EndedEarly;
    result.errors.push_back(std::move(*damage));
    run.endWithoutVerdict(true);
    return result;
  }
  result.entityTypeAbsent = handleCheck().switchedOn(run.options) && noEntityInReadDrawings(*table);

  const CheckInput input{*table, run.options, run.clock};
  markRunStarted(run.workspace, run.options.project);
  for (const Check* check : comparisonChecks()) {
    const auto reportFile = check->reportFile(run.workspace, run.options.project);
    if (!check->switchedOn(run.options)) {
      FileReplacement report(reportFile, run.files);
      report.stream() << check->switchedOffReport();
      commitReport(report, result);
      result.checks.push_back({check, nullptr});
      continue;
    }
    run.progress.status(std::string(check->face().status));
    std::shared_ptr<const Findings> findings = check->judge(input, run.progress);
    if (findings->conflicts() > 0 && !run.state.alarmGiven) raiseAlarm(run);
    FileReplacement report(reportFile, run.files);
    check->writeReport(report.stream(), *findings, *table);
    commitReport(report, result);
    result.checks.push_back({check, std::move(findings)});
  }

  if (result.errors.empty()) markRunFinished(run.workspace, run.options.project);
  run.progress.status("Complete!");
  if (!run.state.conflictsFound()) run.progress.picture(run.workspace.resource("veldracheck.jpg"));
  run.progress.flush();
  result.outcome = DriverOutcome::Complete;
  return result;
}

RecompareOutcome recompare(RunContext& run, MessageBoxes& messages, RecompareReport* report) {
  RecompareReport made;
  if (const Status named = checkProjectName(run.options.project); !named) {
    made.comparison.errors.push_back("The project name " + run.options.project + " cannot be used: " + named.message());
    if (report) *report = std::move(made);
    return RecompareOutcome::Ran;
  }
  if (timeCheck().switchedOn(run.options)) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(run.workspace.recordFile(run.options.project), ec);
    if (ec || size == 0) {
      messages.show(kEmptyRecordMessage, kAppTitle, MessageIcon::Information);
      return RecompareOutcome::EmptyRecordRefused;
    }
  }
  made.collectedWith = readCollectedType(run.workspace, run.options.project);
  // The handles in the record belong to the type they were collected with.
  RunOptions labelled = run.options;
  if (made.collectedWith) labelled.entity = *made.collectedWith;
  RunContext labelledRun = run.withOptions(labelled);

  labelledRun.progress.start();
  labelledRun.resetDisplay(false);
  labelledRun.progress.status("Comparing...");
  labelledRun.progress.clearElapsed();
  const FolderPlan plan = planFolders(labelled.locations);
  labelledRun.progress.totalFiles(plan.drawings);
  if (!plan.whole()) {
    // Compared with a count short of the folders' drawings, the records
    // would land beside the wrong drawings.
    made.comparison.entity = labelled.entity;
    made.comparison.errors.push_back(plan.problem + " Nothing was compared.");
    labelledRun.endWithoutVerdict(true);
  } else {
    made.comparison = runComparison(labelledRun);
  }
  labelledRun.progress.flush();
  if (report) *report = std::move(made);
  return RecompareOutcome::Ran;
}

}  // namespace veldra
