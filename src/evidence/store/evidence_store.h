#pragma once

// The evidence store: one SQLite file in the workspace that keeps, per
// project, the evidence and features of every drawing judged, with an index
// of their sketches, so that later projects are compared against them
// without reading their drawings again. Every change is one transaction: a
// failed or interrupted save leaves the store as it was.

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/result.h"
#include "evidence/judging/archive.h"
#include "evidence/judging/findings.h"
#include "evidence/judging/judge.h"
#include "evidence/store/review.h"
#include "evidence/features/settings.h"
#include "platform/file_facts.h"

struct sqlite3;

namespace veldra::evidence {

struct StoredProject {
  std::string name;
  std::string term;
  std::int64_t judgedAtUnixMs = 0;
  std::size_t drawings = 0;
};

// What the store kept of a drawing as last judged: enough to judge it again
// without reading it, as long as its file is unchanged.
struct KeptDrawing {
  FileStamp stamp;                          // of the file when it was read
  DrawingFacts facts;                       // as stored; path and name as visited then
  std::optional<DrawingFeatures> features;  // a readable drawing's
};

class EvidenceStore {
 public:
  ~EvidenceStore();
  EvidenceStore(const EvidenceStore&) = delete;
  EvidenceStore& operator=(const EvidenceStore&) = delete;

  // Opens the store, creating the file (not its folder) when absent. A
  // failure (kCannotRead) when the file cannot be opened or is not a store of
  // this program, or was written by a newer one; kCannotWrite when a new or
  // older store cannot be set up.
  static Result<std::unique_ptr<EvidenceStore>> open(const std::filesystem::path& file);

  // Replaces what the store keeps of the project with this judgement, in
  // one transaction (a failure is kCannotWrite). A drawing given with the
  // stamp its file had when read (parallel to `drawings`) and the scheme its
  // features were made by can be taken back by keptDrawings().
  Status saveProject(const std::string& project, const std::string& term, std::int64_t judgedAtUnixMs,
                     std::span<const DrawingFacts> drawings, const std::vector<JudgedDrawing>& judged,
                     const std::vector<std::uint64_t>& commonKeys,
                     const std::vector<std::optional<FileStamp>>& stamps = {}, const std::string& featureScheme = {});
  // The project's drawings kept with a stamp and features of `featureScheme`,
  // by their full path (UTF-8) as visited. Empty when there are none; a
  // failure (kCannotRead) when the store cannot be read.
  Result<std::map<std::string, KeptDrawing>> keptDrawings(const std::string& project,
                                                          const std::string& featureScheme);
  Status removeProject(const std::string& project);
  // The projects kept, by name; a failure (kCannotRead) when the store cannot
  // be read.
  Result<std::vector<StoredProject>> projects();

  // The earlier projects as an archive to judge against; a failure
  // (kNotFound) naming the first of them that is not in the store.
  Result<std::unique_ptr<ArchiveSource>> archive(const std::vector<std::string>& projects);

  // The findings of the project's last run, shown when the window opens;
  // nothing when none was kept or a version with another form wrote it.
  Status saveLastRun(const std::string& project, const Findings& findings);
  std::optional<Findings> loadLastRun(const std::string& project);

  // The teacher's marks on the project's pairs. A mark saved replaces the
  // one of the same number (the pair's mark found where its folder lay
  // before) and any made at its paths; a mark removed goes by its number,
  // or without one by its paths.
  std::vector<StoredMark> marks(const std::string& project);
  Status saveMark(const std::string& project, const StoredMark& mark);
  Status removeMark(const std::string& project, const StoredMark& mark);

  // The teacher's choices per project (thresholds included), remembered for
  // the window and the command line: nothing when none were saved, a
  // failure (kCannotRead) when they could not be read.
  Result<std::optional<EvidenceSettings>> loadSettings(const std::string& project);
  Status saveSettings(const std::string& project, const EvidenceSettings& settings);

  sqlite3* handle() const { return db_; }

 private:
  explicit EvidenceStore(sqlite3* db) : db_(db) {}
  sqlite3* db_ = nullptr;
};

}  // namespace veldra::evidence
