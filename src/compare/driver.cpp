#include "compare/driver.h"

#include <system_error>

#include "app/textfile.h"
#include "compare/collected_type.h"
#include "compare/julian_text.h"
#include "projects/folder_listing.h"

namespace veldra {

std::optional<Record> parseRecord(std::string_view item) {
  const auto p1 = item.find(',');
  if (p1 == std::string_view::npos) return std::nullopt;
  const auto p2 = item.find(',', p1 + 1);
  if (p2 == std::string_view::npos) return std::nullopt;
  const auto p3 = item.find(',', p2 + 1);
  if (p3 == std::string_view::npos) return std::nullopt;
  Record record;
  record.name = std::string(item.substr(0, p1));
  const auto dateField = item.substr(p1 + 1, p2 - p1 - 1);
  if (!dateField.empty()) {
    const auto date = parsePlainNumber(dateField);
    if (!date) return std::nullopt;
    record.date = *date;
  }
  record.handles = std::string(item.substr(p2 + 1, p3 - p2 - 1));
  return record;
}

namespace {

// Fills the table from the record file; false at a bad record or one beyond
// the table. The file is read whole and released before any record is
// judged, so a run that ends early leaves no file open.
bool loadRecords(const std::filesystem::path& recordFile, DrawingTable& table) {
  const auto content = readTextFile(recordFile);
  if (!content) return true;
  std::size_t i = 0;
  for (const auto& line : splitLines(*content)) {
    const auto items = splitItems(line);
    const auto record = parseRecord(items.empty() ? std::string_view{} : std::string_view(items.front()));
    if (!record || i >= table.size()) return false;
    table.names[i] = record->name;
    table.times[i] = record->date;
    table.handles[i] = record->handles;
    ++i;
  }
  return true;
}

bool noEntityInReadDrawings(const DrawingTable& table) {
  bool anyRead = false;
  for (std::size_t i = 0; i < table.size(); ++i) {
    if (!table.handles[i].empty()) return false;
    anyRead = anyRead || table.times[i] != 0.0;
  }
  return anyRead;
}

}  // namespace

ComparisonResult runComparison(RunContext& run) {
  ComparisonResult result;
  result.entity = run.options.entity;
  if (run.state.totfiles <= 0) return result;
  auto table = std::make_shared<DrawingTable>(static_cast<std::size_t>(run.state.totfiles));
  result.table = table;
  if (!loadRecords(run.workspace.recordFile(run.options.project), *table)) {
    run.progress.flush();
    result.outcome = DriverOutcome::EndedEarly;
    return result;
  }
  result.entityTypeAbsent = run.options.handleCheck && noEntityInReadDrawings(*table);

  const CheckInput input{*table, run.options, run.clock};
  for (const Check* check : comparisonChecks()) {
    const auto report = check->reportFile(run.workspace, run.options.project);
    if (!check->switchedOn(run.options)) {
      // A switched-off check that cannot say so in its report ends the run.
      if (!replaceFile(report, check->switchedOffReport())) {
        run.progress.flush();
        result.outcome = DriverOutcome::EndedEarly;
        return result;
      }
      result.checks.push_back({check, nullptr});
      continue;
    }
    run.progress.status(check->statusText());
    std::shared_ptr<const Findings> findings = check->judge(input, run.progress);
    if (findings->conflicts() > 0 && !run.state.alarmGiven) raiseAlarm(run);
    // The report is replaced whole; when that fails the old report is
    // removed so that it is not mistaken for this run's, and the run goes on.
    if (!replaceFile(report, check->report(*findings, *table))) {
      std::error_code ec;
      std::filesystem::remove(report, ec);
    }
    result.checks.push_back({check, std::move(findings)});
  }

  run.progress.status("Complete!");
  if (!run.state.conflictsFound()) run.progress.picture(run.workspace.resource("veldracheck.jpg"));
  run.progress.flush();
  result.outcome = DriverOutcome::Complete;
  return result;
}

RecompareOutcome recompare(RunContext& run, MessageBoxes& messages, RecompareReport* report) {
  if (run.options.timeCheck) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(run.workspace.recordFile(run.options.project), ec);
    if (ec || size == 0) {
      messages.show(kEmptyRecordMessage, kAppTitle, MessageIcon::Information);
      return RecompareOutcome::EmptyRecordRefused;
    }
  }
  RecompareReport made;
  made.collectedWith = readCollectedType(run.workspace, run.options.project);
  // The handles in the record belong to the type they were collected with.
  RunOptions labelled = run.options;
  if (made.collectedWith) labelled.entity = *made.collectedWith;
  RunContext labelledRun = run.withOptions(labelled);

  labelledRun.progress.start();
  labelledRun.resetDisplay(false);
  labelledRun.progress.status("Comparing...");
  labelledRun.progress.clearElapsed();
  labelledRun.progress.totalFiles(countDrawingsSkippingFailures(labelled.locations));
  made.comparison = runComparison(labelledRun);
  labelledRun.progress.flush();
  if (report) *report = std::move(made);
  return RecompareOutcome::Ran;
}

}  // namespace veldra
