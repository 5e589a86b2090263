#include "run/collection_pass.h"

#include <algorithm>
#include <cmath>
#include <system_error>
#include <vector>

#include "app/textfile.h"
#include "collect/drawing_record.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/folder_plan.h"
#include "projects/project_store.h"
#include "run/collected_type.h"
#include "run/run_mark.h"

namespace veldra {

namespace {

constexpr const char* kNothingChanged = "The record file and the reports are as they were.";

class Pass {
 public:
  Pass(RunContext& run, DrawingSource& source, DrawingFactsSink* sink, FileReplacement& record)
      : run_(run), source_(source), sink_(sink), record_(record) {}

  // False when the record file could not take a drawing's line: the pass stops.
  bool visitLocation(const PlannedLocation& planned) {
    const LocationEntry& location = planned.location;
    run_.progress.location(location.folder);
    run_.progress.subfolders(location.withSubfolders() ? "All sub folders included (one level only)..."
                                                       : "This folder only...");
    // The location's drawings in visiting order: its own, then those of each
    // immediate sub-folder. The source may read them ahead meanwhile.
    std::vector<Visit> visits;
    std::vector<std::filesystem::path> paths;
    for (const auto& folder : planned.folders)
      for (const auto& name : folder.drawings) {
        visits.push_back({folder.shownAs + name, name});
        paths.push_back(pathFromUtf8(joinFolderAndName(folder.folder, name)));
      }
    source_.readAhead(paths);
    for (std::size_t k = 0; k < visits.size(); ++k)
      if (!visit(visits[k], paths[k])) return false;
    run_.progress.mark();
    return true;
  }

  int visited() const { return visited_; }
  std::vector<ProblemDrawing> takeProblems() { return std::move(problems_); }

 private:
  struct Visit {
    std::string displayName, fileName;
  };

  bool visit(const Visit& v, const std::filesystem::path& path) {
    ++visited_;
    const int total = run_.state.totfiles;
    if (total > 0) {
      const float value = static_cast<float>(visited_) / static_cast<float>(total) * 100.0f;
      // The bar takes whole values up to 100; a value beyond keeps the last one.
      if (value <= 100.0f) run_.progress.bar(static_cast<int>(std::nearbyint(value)));
    }
    run_.progress.file(v.displayName);
    const std::shared_ptr<const DrawingFacts> facts = source_.read(path);
    record_.stream() << drawingRecordLine(*facts, v.fileName, run_.options.entity);
    // Judged at once, while the system's reason for a failure is at hand.
    const bool written = record_.good();
    if (auto problem = problemOf(facts->path, facts->fileSize, facts->status, facts->drawing.summary))
      problems_.push_back(std::move(*problem));
    if (sink_) sink_->take(facts);
    run_.progress.mark();
    return written;
  }

  RunContext& run_;
  DrawingSource& source_;
  DrawingFactsSink* sink_;
  FileReplacement& record_;
  int visited_ = 0;
  std::vector<ProblemDrawing> problems_;
};

std::string recordNotWritten(const FileReplacement& record) {
  return "The record file " + utf8FromPath(record.file()) + " could not be written (" + record.reason() +
         "). Nothing was compared. " + kNothingChanged;
}

}  // namespace

PassResult runCollectionPass(RunContext& run, DrawingSource& source, MessageBoxes& messages, DrawingFactsSink* sink) {
  PassResult result;
  run.progress.start();
  // Without the logo the pass goes on with an empty picture box rather than
  // leaving the previous run's verdict picture in view.
  run.resetDisplay(true);
  // Stops before the comparison, with nothing stored changed.
  auto stop = [&](std::string why) {
    result.stopped = std::move(why);
    run.progress.file("");
    run.progress.location("");
    run.progress.subfolders("");
    run.progress.bar(0);
    run.endWithoutVerdict(true);
    return result;
  };

  if (const Status named = checkProjectName(run.options.project); !named)
    return stop("The project name " + run.options.project + " cannot be used: " + named.message());

  // Every folder is listed before anything is written: a location that
  // cannot be listed (a share not mounted, a typing slip) must not cost the
  // last pass's record.
  const FolderPlan plan = planFolders(run.options.locations);
  run.progress.totalFiles(plan.drawings);
  if (!plan.whole()) return stop(plan.problem + " Nothing was collected. " + kNothingChanged);

  const auto recordFile = run.workspace.recordFile(run.options.project);
  std::error_code ec;
  if (std::filesystem::is_directory(recordFile, ec)) {
    // A folder in the record file's place goes when it is empty; else the
    // program cannot go on.
    std::filesystem::remove(recordFile, ec);
    if (ec) {
      result.fatal = true;
      result.fatalText = ec.message() + " - Aborting VELDRA!";
      run.progress.flush();
      return result;
    }
  }
  // The new record is made beside the old one, which stays until every
  // drawing has its line.
  FileReplacement record(recordFile, run.files);
  if (!record.good()) return stop(recordNotWritten(record));
  source.setReadRequest(sink ? sink->request() : veldra::dwg::ReadRequest{});

  run.progress.status("Opening Files...");
  Pass pass(run, source, sink, record);
  bool written = true;
  for (const auto& location : plan.locations)
    if (!(written = pass.visitLocation(location))) break;
  result.visited = pass.visited();
  result.problems = pass.takeProblems();
  if (!written) {
    record.discard();
    return stop(recordNotWritten(record));
  }
  if (result.visited == 0) {
    // No drawing, no record file.
    record.discard();
    std::filesystem::remove(recordFile, ec);
    if (ec)
      return stop("The old record file " + utf8FromPath(recordFile) + " could not be removed (" + ec.message() + ").");
  } else {
    // The reports beside the record are the last run's until the comparison
    // replaces them: marked so until then.
    markRunStarted(run.workspace, run.options.project);
    if (!record.commit()) {
      markRunFinished(run.workspace, run.options.project);
      return stop(recordNotWritten(record));
    }
  }
  // The record now in place holds handles of this type; a recompare reads
  // the type from here.
  rememberCollectedType(run.workspace, run.options.project, run.options.entity);

  run.progress.flush();
  if (run.options.locations.empty())
    messages.show("Sorry, no locations to compare!", kWarningTitle, MessageIcon::Exclamation);
  if (run.state.totfiles == 0)
    messages.show("Sorry, no drawings found!", kWarningTitle, MessageIcon::Exclamation);

  run.progress.file("");
  run.progress.location("");
  run.progress.subfolders("");
  run.progress.bar(0);
  result.comparison = runComparison(run);
  // Drawings were found and none could be read: the checks found nothing
  // because they had nothing to look at, which is no all-clear.
  const bool noneRead =
      result.visited > 0 && result.problems.size() == static_cast<std::size_t>(result.visited) &&
      std::none_of(result.problems.begin(), result.problems.end(), [](const ProblemDrawing& p) { return p.read; });
  if (noneRead && result.comparison.outcome == DriverOutcome::Complete) {
    result.comparison.errors.push_back("None of the " + std::to_string(result.visited) +
                                       " drawings found could be read: nothing was compared.");
    run.progress.picture(run.workspace.resource("veldralogo.jpg"));
    run.endWithoutVerdict(false);
  }
  result.driver = result.comparison.outcome;
  run.progress.flush();
  return result;
}

}  // namespace veldra
