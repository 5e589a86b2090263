#include "collect/collection_pass.h"

#include <cmath>
#include <system_error>
#include <vector>

#include "collect/record_file.h"
#include "projects/folder_listing.h"

namespace veldra {

namespace {

class Pass {
 public:
  Pass(RunContext& run, DrawingHost& host) : run_(run), host_(host) {}

  void visitLocation(const LocationEntry& location) {
    run_.view.setLocation(location.folder);
    run_.view.setSubfolders(location.withSubfolders() ? "All sub folders included (one level only)..."
                                                      : "This folder only...");
    // The location's drawings in visiting order: its own, then those of each
    // immediate sub-folder. The host may read them ahead meanwhile.
    std::vector<Visit> visits;
    if (const auto names = listDrawings(location.folder)) {
      for (const auto& name : *names) visits.push_back({joinFolderAndName(location.folder, name), name, name});
    }
    if (location.withSubfolders()) {
      if (const auto subfolders = listSubfolders(location.folder)) {
        for (const auto& subfolder : *subfolders) {
          const std::string folder = subfolder.string();
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
    for (const auto& v : visits) paths.emplace_back(v.fullPath);
    host_.readAhead(paths);
    for (const auto& v : visits) visit(v);
    run_.markTime();
  }

  int visited() const { return visited_; }

 private:
  static constexpr char kSeparator = static_cast<char>(std::filesystem::path::preferred_separator);

  struct Visit {
    std::string fullPath, displayName, fileName;
  };

  void visit(const Visit& v) {
    ++visited_;
    if (run_.state.totfiles > 0) {
      const float value = static_cast<float>(visited_) / static_cast<float>(run_.state.totfiles) * 100.0f;
      // The bar takes whole values up to 100; a value beyond keeps the last one.
      if (value <= 100.0f) run_.view.setProgress(static_cast<int>(std::nearbyint(value)));
    }
    run_.view.setFile(v.displayName);
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(run_.state.endtime - run_.state.startime).count();
    collectDrawing(host_, std::filesystem::path(v.fullPath), v.fileName, run_.options.entity,
                   run_.workspace.recordFile(run_.options.project),
                   [&] { run_.view.setElapsed(elapsed); });
    run_.markTime();
  }

  RunContext& run_;
  DrawingHost& host_;
  int visited_ = 0;
};

}  // namespace

PassResult runCollectionPass(RunContext& run, DrawingHost& host, MessageBoxes& messages) {
  PassResult result;
  run.state.startime = run.state.endtime = run.clock.now();
  // Without the logo the pass goes on with an empty picture box rather than
  // leaving the previous run's verdict picture in view.
  run.resetDisplay(true);

  run.state.totfiles = countDrawingsSkippingFailures(run.options.locations);
  run.view.setTotalFiles(run.state.totfiles);

  std::error_code ec;
  std::filesystem::remove(run.workspace.recordFile(run.options.project), ec);
  if (ec && ec != std::errc::no_such_file_or_directory) {
    result.fatal = true;
    result.fatalText = ec.message() + " - Aborting VELDRA!";
    run.view.flush();
    return result;
  }

  run.state.status = "Opening Files...";
  run.view.setStatus(run.state.status);
  Pass pass(run, host);
  for (const auto& entry : run.options.locations) pass.visitLocation(parseLocation(entry));
  result.visited = pass.visited();

  run.view.flush();
  if (run.options.locations.empty())
    messages.show("Sorry, no locations to compare!", kWarningTitle, MessageIcon::Exclamation);
  if (run.state.totfiles == 0)
    messages.show("Sorry, no drawings found!", kWarningTitle, MessageIcon::Exclamation);

  run.view.setFile("");
  run.view.setLocation("");
  run.view.setSubfolders("");
  run.view.setProgress(0);
  result.driver = runComparison(run);
  run.view.flush();
  return result;
}

}  // namespace veldra
