#pragma once

// The evidence store in a department's PostgreSQL database, shared by its
// teachers: each teacher (a database role) keeps their own projects, runs,
// marks and choices, and judges against every teacher's earlier projects,
// named "PROJECT" for their own and "TEACHER/PROJECT" for another's. It is
// reached through libpq with a connection URI ("postgresql://host/db");
// passwords stay with libpq's own means (~/.pgpass, a service file,
// PGPASSWORD), never in the URI.

#include <memory>
#include <string>

#include "evidence/store/evidence_store.h"

namespace veldra::evidence {

class PostgresStore final : public EvidenceStore {
 public:
  ~PostgresStore() override;

  // Connects and brings a new database's tables up in one transaction. A
  // failure (kCannotRead) when the server cannot be reached or refuses the
  // teacher, or when the database holds tables of another form (older or
  // newer than this program's) or of another program; they are left as
  // they are.
  static Result<std::unique_ptr<PostgresStore>> open(const std::string& uri);

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
  Result<std::vector<StoredMark>> marks(const std::string& project) override;
  Status saveMark(const std::string& project, const StoredMark& mark) override;
  Status removeMark(const std::string& project, const StoredMark& mark) override;
  Result<std::optional<EvidenceSettings>> loadSettings(const std::string& project) override;
  Status saveSettings(const std::string& project, const EvidenceSettings& settings) override;
  bool shared() const override { return true; }

  // The teacher the server knows this connection as.
  const std::string& teacher() const { return teacher_; }

  struct Connection;

 private:
  PostgresStore(std::unique_ptr<Connection> connection, std::string teacher);
  std::unique_ptr<Connection> db_;
  std::string teacher_;
};

}  // namespace veldra::evidence
