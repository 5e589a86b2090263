#include "compare/driver.h"

#include <system_error>

#include "app/textfile.h"
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

DriverOutcome runComparison(RunContext& run) {
  if (run.state.totfiles <= 0) return DriverOutcome::NotRun;
  DrawingTable table(static_cast<std::size_t>(run.state.totfiles));

  // The record file is read whole and released before any record is judged,
  // so a run that ends early leaves no file open.
  const auto content = readWholeFile(run.workspace.recordFile(run.options.project));
  if (content) {
    std::size_t i = 0;
    for (const auto& line : splitLines(*content)) {
      const auto items = splitItems(line);
      const auto record = parseRecord(items.empty() ? std::string_view{} : std::string_view(items.front()));
      if (!record || i >= table.size()) {
        run.view.flush();
        return DriverOutcome::EndedEarly;
      }
      table.names[i] = record->name;
      table.times[i] = record->date;
      table.handles[i] = record->handles;
      ++i;
    }
  }

  const bool complete = checkTimes(run, table) && checkHandles(run, table) && checkAges(run, table);
  if (!complete) {
    run.view.flush();
    return DriverOutcome::EndedEarly;
  }
  run.state.status = "Complete!";
  run.view.setStatus(run.state.status);
  if (run.state.verdict != kVerdictAlarm) run.view.loadPicture(run.workspace.resource("veldracheck.jpg"));
  run.view.flush();
  return DriverOutcome::Complete;
}

RecompareOutcome recompare(RunContext& run, MessageBoxes& messages, DriverOutcome* outcome) {
  if (run.options.timeCheck) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(run.workspace.recordFile(run.options.project), ec);
    if (ec || size == 0) {
      messages.show(kEmptyRecordMessage, kAppTitle, MessageIcon::Information);
      return RecompareOutcome::EmptyRecordRefused;
    }
  }
  run.state.startime = run.state.endtime = run.clock.now();
  run.resetDisplay(false);
  run.state.status = "Comparing...";
  run.view.setStatus(run.state.status);
  run.view.clearElapsed();
  run.state.totfiles = countDrawingsSkippingFailures(run.options.locations);
  run.view.setTotalFiles(run.state.totfiles);
  const DriverOutcome result = runComparison(run);
  if (outcome) *outcome = result;
  run.view.flush();
  return RecompareOutcome::Ran;
}

}  // namespace veldra
