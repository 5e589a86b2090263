#pragma once

// The evidence store: per project, the evidence and features of every
// drawing judged, with an index of their sketches, so that later projects
// are compared against them without reading their drawings again; the last
// run's findings, the teacher's marks and choices.

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

// What keeps the evidence: the workspace's own SQLite file (SqliteStore) or
// a department's shared database (postgres_store.h). Every change is one
// transaction: a failed or interrupted save leaves the store as it was.
class EvidenceStore {
 public:
  virtual ~EvidenceStore() = default;
  EvidenceStore() = default;
  EvidenceStore(const EvidenceStore&) = delete;
  EvidenceStore& operator=(const EvidenceStore&) = delete;

  // Replaces what the store keeps of the project with this judgement, in
  // one transaction (a failure is kCannotWrite). A drawing given with the
  // stamp its file had when read (parallel to `drawings`) and the scheme its
  // features were made by can be taken back by keptDrawings().
  virtual Status saveProject(const std::string& project, const std::string& term, std::int64_t judgedAtUnixMs,
                             std::span<const DrawingFacts> drawings, const std::vector<JudgedDrawing>& judged,
                             const std::vector<std::uint64_t>& commonKeys,
                             const std::vector<std::optional<FileStamp>>& stamps = {},
                             const std::string& featureScheme = {}) = 0;
  // The project's drawings kept with a stamp and features of `featureScheme`,
  // by their full path (UTF-8) as visited. Empty when there are none; a
  // failure (kCannotRead) when the store cannot be read.
  virtual Result<std::map<std::string, KeptDrawing>> keptDrawings(const std::string& project,
                                                                  const std::string& featureScheme) = 0;
  virtual Status removeProject(const std::string& project) = 0;
  // The projects kept that can be judged against, by name; a failure
  // (kCannotRead) when the store cannot be read.
  virtual Result<std::vector<StoredProject>> projects() = 0;

  // The earlier projects as an archive to judge against; a failure
  // (kNotFound) naming the first of them that is not in the store.
  virtual Result<std::unique_ptr<ArchiveSource>> archive(const std::vector<std::string>& projects) = 0;

  // The findings of the project's last run, shown when the window opens;
  // nothing when none was kept or a version with another form wrote it.
  // Without pictures, the drawings' drawn pictures are left out (a caller
  // that shows none need not have them read).
  virtual Status saveLastRun(const std::string& project, const Findings& findings) = 0;
  virtual std::optional<Findings> loadLastRun(const std::string& project, bool withPictures = true) = 0;
  // Whether the project's last run was judged on the class `state` tells
  // (a digest the run makes of every drawing's file, the templates and the
  // settings), so that a run on a class unchanged since takes the last
  // run's findings as they are. Every saveLastRun forgets the class, and a
  // class kept is tied to the findings it was kept with. False where none
  // was kept, or by a store that does not keep it.
  virtual bool lastRunWasOf(const std::string& project, std::int64_t state) {
    (void)project;
    (void)state;
    return false;
  }
  virtual Status saveLastRunClass(const std::string& project, std::int64_t state) {
    (void)project;
    (void)state;
    return {};
  }

  // The teacher's marks on the project's pairs. A mark saved replaces the
  // one of the same number (the pair's mark found where its folder lay
  // before) and any made at its paths; a mark removed goes by its number,
  // or without one by its paths.
  virtual Result<std::vector<StoredMark>> marks(const std::string& project) = 0;
  virtual Status saveMark(const std::string& project, const StoredMark& mark) = 0;
  virtual Status removeMark(const std::string& project, const StoredMark& mark) = 0;

  // The teacher's choices per project (thresholds included), remembered for
  // the window and the command line: nothing when none were saved, a
  // failure (kCannotRead) when they could not be read.
  virtual Result<std::optional<EvidenceSettings>> loadSettings(const std::string& project) = 0;
  virtual Status saveSettings(const std::string& project, const EvidenceSettings& settings) = 0;

  // Whether the store is shared with other teachers over a connection that
  // may be lost: a run it fails to keep is then no run at all.
  virtual bool shared() const { return false; }
};

// The workspace's own store: one SQLite file.
class SqliteStore final : public EvidenceStore {
 public:
  ~SqliteStore() override;

  // Opens the store, creating the file (not its folder) when absent. A
  // failure (kCannotRead) when the file cannot be opened or is not a store of
  // this program, or was written by a newer one; kCannotWrite when a new or
  // older store cannot be set up.
  static Result<std::unique_ptr<SqliteStore>> open(const std::filesystem::path& file);

  Status saveProject(const std::string& project, const std::string& term, std::int64_t judgedAtUnixMs,
                     std::span<const DrawingFacts> drawings, const std::vector<JudgedDrawing>& judged,
                     const std::vector<std::uint64_t>& commonKeys,
                     const std::vector<std::optional<FileStamp>>& stamps = {},
                     const std::string& featureScheme = {}) override;
  Result<std::map<std::string, KeptDrawing>> keptDrawings(const std::string& project,
                                                          const std::string& featureScheme) override;
  Status removeProject(const std::string& project) override;
  Result<std::vector<StoredProject>> projects() override;
  Result<std::unique_ptr<ArchiveSource>> archive(const std::vector<std::string>& projects) override;
  Status saveLastRun(const std::string& project, const Findings& findings) override;
  std::optional<Findings> loadLastRun(const std::string& project, bool withPictures = true) override;
  bool lastRunWasOf(const std::string& project, std::int64_t state) override;
  Status saveLastRunClass(const std::string& project, std::int64_t state) override;
  Result<std::vector<StoredMark>> marks(const std::string& project) override;
  Status saveMark(const std::string& project, const StoredMark& mark) override;
  Status removeMark(const std::string& project, const StoredMark& mark) override;
  Result<std::optional<EvidenceSettings>> loadSettings(const std::string& project) override;
  Status saveSettings(const std::string& project, const EvidenceSettings& settings) override;

  sqlite3* handle() const { return db_; }

 private:
  explicit SqliteStore(sqlite3* db) : db_(db) {}
  sqlite3* db_ = nullptr;
};

}  // namespace veldra::evidence
