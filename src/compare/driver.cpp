#include "compare/driver.h"

#include <cmath>
#include <system_error>

#include "app/textfile.h"
#include "compare/collected_type.h"
#include "compare/julian_text.h"
#include "compare/run_mark.h"
#include "platform/platform.h"
#include "projects/folder_plan.h"
#include "projects/project_store.h"

namespace veldra {

std::optional<Record> parseRecord(std::string_view item, std::string* why) {
  auto refuse = [&](const char* reason) -> std::optional<Record> {
    if (why) *why = reason;
    return std::nullopt;
  };
  if (item.empty()) return refuse("it is empty");
  const auto p1 = item.find(',');
  const auto p2 = p1 == std::string_view::npos ? p1 : item.find(',', p1 + 1);
  const auto p3 = p2 == std::string_view::npos ? p2 : item.find(',', p2 + 1);
  if (p3 == std::string_view::npos) return refuse("it is not the record of a drawing");
  // Every record ends in ",END": a record without it was cut short.
  if (item.substr(p3 + 1) != "END") return refuse("it is cut short");
  Record record;
  record.name = std::string(item.substr(0, p1));
  const auto dateField = item.substr(p1 + 1, p2 - p1 - 1);
  if (!dateField.empty()) {
    const auto date = parsePlainNumber(dateField);
    if (!date) return refuse("its date is not a number");
    if (!std::isfinite(*date)) return refuse("its date is out of range");
    record.date = *date;
  }
  record.handles = std::string(item.substr(p2 + 1, p3 - p2 - 1));
  return record;
}

namespace {

constexpr const char* kCollectAgain = "Collect the drawings again to make a new record file.";

// The longest record line read: the handles of some hundreds of thousands
// of entities of the chosen type in one drawing, far past what a student's
// drawing holds. A longer line is a damaged record file, refused without
// being read whole.
constexpr std::size_t kLongestRecordLine = std::size_t{4} << 20;

// Fills the table from the record file. Gives the reason, for the user, when
// the file cannot be read, a line is damaged or too long, or there are more
// records than drawings. The file is read a line at a time and refused at
// the first line past the drawings, and closed before any record is judged,
// so a run that ends early leaves no file open. A missing record file leaves
// every entry empty.
std::optional<std::string> loadRecords(const std::filesystem::path& recordFile, DrawingTable& table) {
  TextLineReader lines(recordFile, kLongestRecordLine);
  const std::string named = "The record file " + utf8FromPath(recordFile);
  if (!lines.opened()) {
    std::error_code ec;
    if (!std::filesystem::exists(recordFile, ec) && !ec) return std::nullopt;
    return named + " cannot be read. " + kCollectAgain;
  }
  std::size_t i = 0;
  std::string line;
  for (;;) {
    const auto step = lines.next(line);
    if (step == TextLineReader::Step::kEnd) break;
    if (step == TextLineReader::Step::kFailed) return named + " cannot be read. " + kCollectAgain;
    const std::string lineNumber = std::to_string(lines.lineNumber());
    if (step == TextLineReader::Step::kTooLong) {
      return named + " is damaged at line " + lineNumber + ": it is longer than " +
             std::to_string(kLongestRecordLine >> 20) + " MB, more than any drawing's record. " + kCollectAgain;
    }
    const auto items = splitItems(line);
    std::string why;
    const auto record = parseRecord(items.empty() ? std::string_view{} : std::string_view(items.front()), &why);
    if (!record) {
      // A quoted record whose quote never closes was cut off, wherever.
      if (!line.empty() && line.front() == '"' && line.find('"', 1) == std::string::npos) why = "it is cut short";
      return named + " is damaged at line " + lineNumber + ": " + why + ". " + kCollectAgain;
    }
    if (i >= table.size()) {
      return named + " holds more records than the " + std::to_string(table.size()) +
             " drawings its locations hold now: drawings were removed since it was collected. " + kCollectAgain;
    }
    table.names[i] = record->name;
    table.times[i] = record->date;
    table.handles[i] = record->handles;
    ++i;
  }
  return std::nullopt;
}

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
  if (auto damage = loadRecords(run.workspace.recordFile(run.options.project), *table)) {
    result.outcome = DriverOutcome::EndedEarly;
    result.errors.push_back(std::move(*damage));
    run.endWithoutVerdict(true);
    return result;
  }
  result.entityTypeAbsent = run.options.handleCheck && noEntityInReadDrawings(*table);

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
    run.progress.status(check->statusText());
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
  if (const auto problem = projectNameProblem(run.options.project)) {
    made.comparison.errors.push_back("The project name " + run.options.project + " cannot be used: " + *problem);
    if (report) *report = std::move(made);
    return RecompareOutcome::Ran;
  }
  if (run.options.timeCheck) {
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
