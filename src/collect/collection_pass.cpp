#include "collect/collection_pass.h"

#include <cmath>
#include <system_error>
#include <vector>

#include "collect/record_file.h"
#include "compare/collected_type.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"

namespace veldra {

namespace {

class Pass {
 public:
  Pass(RunContext& run, DrawingHost& host, DrawingFactsSink* sink) : run_(run), host_(host), sink_(sink) {}

  void visitLocation(const LocationEntry& location) {
    run_.progress.location(location.folder);
    run_.progress.subfolders(location.withSubfolders() ? "All sub folders included (one level only)..."
                                                       : "This folder only...");
    // The location's drawings in visiting order: its own, then those of each
    // immediate sub-folder. The host may read them ahead meanwhile.
    std::vector<Visit> visits;
    if (const auto names = listDrawings(location.path())) {
      for (const auto& name : *names) visits.push_back({joinFolderAndName(location.folder, name), name, name});
    }
    if (location.withSubfolders()) {
      if (const auto subfolders = listSubfolders(location.path())) {
        for (const auto& subfolder : *subfolders) {
          const std::string folder = utf8FromPath(subfolder);
          const auto names = listDrawings(subfolder);
          if (!names) continue;
          const std::string relative = folder.size() > location.folder.size()
                                           ? folder.substr(location.folder.size())
                                           : std::string();
          for (const auto& name : *names)
            visits.push_back({joinFolderAndName(folder, name), relative + kSeparator + name, name});
        }
      }
    }
    std::vector<std::filesystem::path> paths;
    for (const auto& v : visits) paths.push_back(pathFromUtf8(v.fullPath));
    host_.readAhead(paths);
    for (const auto& v : visits) visit(v);
    run_.progress.mark();
  }

  int visited() const { return visited_; }
  std::vector<ProblemDrawing> takeProblems() { return std::move(problems_); }

 private:
  static constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

  // Texts of a visit, in UTF-8 like the location they come from.
  struct Visit {
    std::string fullPath, displayName, fileName;
  };

  void visit(const Visit& v) {
    ++visited_;
    const int total = run_.state.totfiles;
    if (total > 0) {
      const float value = static_cast<float>(visited_) / static_cast<float>(total) * 100.0f;
      // The bar takes whole values up to 100; a value beyond keeps the last one.
      if (value <= 100.0f) run_.progress.bar(static_cast<int>(std::nearbyint(value)));
    }
    run_.progress.file(v.displayName);
    const std::filesystem::path path = pathFromUtf8(v.fullPath);
    CollectedDrawing collected;
    collectDrawing(host_, path, v.fileName, run_.options.entity, run_.workspace.recordFile(run_.options.project),
                   [&] { run_.progress.showElapsed(); }, &collected);
    if (collected.facts) {
      const DrawingFacts& facts = *collected.facts;
      if (auto problem = problemOf(path, facts.fileSize, facts.status, facts.drawing.summary))
        problems_.push_back(std::move(*problem));
      if (sink_) sink_->take(collected.facts);
    } else if (!collected.opened) {
      problems_.push_back(notOpened(path));
    }
    run_.progress.mark();
  }

  RunContext& run_;
  DrawingHost& host_;
  DrawingFactsSink* sink_;
  int visited_ = 0;
  std::vector<ProblemDrawing> problems_;
};

}  // namespace

PassResult runCollectionPass(RunContext& run, DrawingHost& host, MessageBoxes& messages, DrawingFactsSink* sink) {
  PassResult result;
  run.progress.start();
  // Without the logo the pass goes on with an empty picture box rather than
  // leaving the previous run's verdict picture in view.
  run.resetDisplay(true);

  run.progress.totalFiles(countDrawingsSkippingFailures(run.options.locations));

  std::error_code ec;
  std::filesystem::remove(run.workspace.recordFile(run.options.project), ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    result.fatal = true;
    result.fatalText = ec.message() + " - Aborting VELDRA!";
    run.progress.flush();
    return result;
  }
  // The record now being written holds handles of this type; a recompare
  // reads the type from here.
  rememberCollectedType(run.workspace, run.options.project, run.options.entity);
  host.setReadRequest(sink ? sink->request() : veldra::dwg::ReadRequest{});

  run.progress.status("Opening Files...");
  Pass pass(run, host, sink);
  for (const auto& entry : run.options.locations) pass.visitLocation(parseLocation(entry));
  result.visited = pass.visited();
  result.problems = pass.takeProblems();

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
  result.driver = result.comparison.outcome;
  run.progress.flush();
  return result;
}

}  // namespace veldra
