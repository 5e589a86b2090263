#include "evidence/store/evidence_store.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <tuple>
#include <unordered_map>

#include "evidence/features/feature_codec.h"
#include "evidence/store/findings_codec.h"
#include "evidence/store/row_digest.h"
#include "evidence/store/settings_codec.h"
#include "platform/platform.h"

namespace veldra::evidence {

namespace {

// 1: the first store. 2: each drawing's file stamp and the scheme its
// features were made by, so that an unchanged drawing is not read again.
// 3: a digest of each drawing's row and of the last run, so that what a run
// finds unchanged is not written again.
// 4: the content digest of each drawing's file, and of both files of a
// marked pair, so that a mark goes with its drawings rather than their paths.
constexpr int kSchemaVersion = 4;
// Drawings a sketch value may lead to before it is taken for a value every
// drawing of some exercise has, and passed over.
constexpr int kLongestPosting = 1000;

const char* const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS projects (
  id INTEGER PRIMARY KEY,
  name TEXT NOT NULL UNIQUE COLLATE NOCASE,
  term TEXT NOT NULL DEFAULT '',
  judged_at INTEGER NOT NULL,
  common BLOB NOT NULL
);
CREATE TABLE IF NOT EXISTS drawings (
  id INTEGER PRIMARY KEY,
  project INTEGER NOT NULL,
  path TEXT NOT NULL,
  name TEXT NOT NULL,
  problem_kind INTEGER,
  problem_detail TEXT,
  readable INTEGER NOT NULL,
  version TEXT NOT NULL,
  created INTEGER, created_universal INTEGER,
  updated INTEGER, updated_universal INTEGER,
  editing INTEGER,
  handseed INTEGER,
  fingerprint_guid TEXT NOT NULL,
  version_guid TEXT NOT NULL,
  author TEXT NOT NULL,
  last_saved_by TEXT NOT NULL,
  preview_format INTEGER NOT NULL,
  preview_width INTEGER NOT NULL,
  preview_height INTEGER NOT NULL,
  preview BLOB,
  entity_count INTEGER NOT NULL,
  features BLOB,
  file_size INTEGER,
  file_modified INTEGER,
  file_identity TEXT,
  feature_scheme TEXT,
  picture BLOB,
  digest INTEGER,
  content TEXT
);
CREATE INDEX IF NOT EXISTS drawings_by_project ON drawings(project);
CREATE INDEX IF NOT EXISTS drawings_by_identity ON drawings(fingerprint_guid);
CREATE TABLE IF NOT EXISTS sketch (
  value INTEGER NOT NULL,
  project INTEGER NOT NULL,
  drawing INTEGER NOT NULL,
  PRIMARY KEY (value, project, drawing)
) WITHOUT ROWID;
CREATE TABLE IF NOT EXISTS project_settings (
  project TEXT PRIMARY KEY COLLATE NOCASE,
  templates TEXT NOT NULL,
  against TEXT NOT NULL,
  ignored TEXT NOT NULL,
  term TEXT NOT NULL
);
)sql";

const char* const kFileStampColumns = R"sql(
ALTER TABLE drawings ADD COLUMN file_size INTEGER;
ALTER TABLE drawings ADD COLUMN file_modified INTEGER;
ALTER TABLE drawings ADD COLUMN file_identity TEXT;
ALTER TABLE drawings ADD COLUMN feature_scheme TEXT;
ALTER TABLE drawings ADD COLUMN picture BLOB;
)sql";

// The columns a drawing's facts are read from, in the order factsFromRow
// takes them.
#define VELDRA_FACT_COLUMNS                                                                                        \
  "d.path, d.name, p.name, d.problem_kind, d.problem_detail, d.readable, d.version, d.created, "                   \
  "d.created_universal, d.updated, d.updated_universal, d.editing, d.handseed, d.fingerprint_guid, "               \
  "d.version_guid, d.author, d.last_saved_by, d.preview_format, d.preview_width, d.preview_height, d.preview, " \
  "d.entity_count, d.picture, d.features, d.content"

// Tables added since the first form of the store; made in stores that lack
// them whenever a store is opened, and left alone by programs that do not
// know them.
const char* const kAddedTables = R"sql(
CREATE TABLE IF NOT EXISTS pair_marks (
  project TEXT NOT NULL COLLATE NOCASE,
  path_a TEXT NOT NULL,
  path_b TEXT NOT NULL,
  identity_a TEXT NOT NULL,
  identity_b TEXT NOT NULL,
  digest_a TEXT NOT NULL DEFAULT '',
  digest_b TEXT NOT NULL DEFAULT '',
  mark INTEGER NOT NULL,
  note TEXT NOT NULL,
  verdict INTEGER NOT NULL,
  score INTEGER NOT NULL,
  marked_at INTEGER NOT NULL,
  PRIMARY KEY (project, path_a, path_b)
);
CREATE TABLE IF NOT EXISTS project_thresholds (
  project TEXT PRIMARY KEY COLLATE NOCASE,
  copy INTEGER NOT NULL,
  likely_copy INTEGER NOT NULL
);
CREATE TABLE IF NOT EXISTS last_runs (
  project TEXT PRIMARY KEY COLLATE NOCASE,
  run_at INTEGER NOT NULL,
  findings BLOB NOT NULL,
  digest INTEGER
);
)sql";

std::string lastError(sqlite3* db) { return sqlite3_errmsg(db); }

// One prepared statement, finalized when it goes.
class Statement {
 public:
  Statement(sqlite3* db, const char* sql) { ok_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr) == SQLITE_OK; }
  ~Statement() { sqlite3_finalize(stmt_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  bool ok() const { return ok_; }
  Statement& bind(int i, std::int64_t v) {
    ok_ = ok_ && sqlite3_bind_int64(stmt_, i, v) == SQLITE_OK;
    return *this;
  }
  Statement& bind(int i, const std::string& v) {
    ok_ = ok_ && sqlite3_bind_text(stmt_, i, v.data(), static_cast<int>(v.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  Statement& bindBlob(int i, const std::vector<std::uint8_t>& v) {
    ok_ = ok_ && sqlite3_bind_blob(stmt_, i, v.empty() ? "" : static_cast<const void*>(v.data()),
                                   static_cast<int>(v.size()), SQLITE_TRANSIENT) == SQLITE_OK;
    return *this;
  }
  // Bytes the caller keeps as they are until the statement has run: not
  // copied (a class's last run is tens of megabytes).
  Statement& bindHeldBlob(int i, std::span<const std::uint8_t> v) {
    ok_ = ok_ && sqlite3_bind_blob64(stmt_, i, v.empty() ? "" : static_cast<const void*>(v.data()), v.size(),
                                     SQLITE_STATIC) == SQLITE_OK;
    return *this;
  }
  Statement& bindNull(int i) {
    ok_ = ok_ && sqlite3_bind_null(stmt_, i) == SQLITE_OK;
    return *this;
  }
  template <class T>
  Statement& bindOptional(int i, const std::optional<T>& v) {
    return v ? bind(i, static_cast<std::int64_t>(*v)) : bindNull(i);
  }
  // A row (true), the end (false; `ok()` tells an error from the end).
  bool step() {
    if (!ok_) return false;
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    ok_ = rc == SQLITE_DONE;
    return false;
  }
  bool run() {
    step();
    return ok_;
  }
  void reset() {
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    ok_ = stmt_ != nullptr;
  }
  std::int64_t integer(int c) const { return sqlite3_column_int64(stmt_, c); }
  bool isNull(int c) const { return sqlite3_column_type(stmt_, c) == SQLITE_NULL; }
  std::string text(int c) const {
    const auto* p = sqlite3_column_text(stmt_, c);
    return p ? std::string(reinterpret_cast<const char*>(p), static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c)))
             : std::string();
  }
  // The column's bytes where the statement holds them: valid until it steps on.
  std::span<const std::uint8_t> view(int c) const {
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, c));
    return p ? std::span<const std::uint8_t>(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, c)))
             : std::span<const std::uint8_t>();
  }
  std::vector<std::uint8_t> blob(int c) const {
    const auto* p = static_cast<const std::uint8_t*>(sqlite3_column_blob(stmt_, c));
    return p ? std::vector<std::uint8_t>(p, p + sqlite3_column_bytes(stmt_, c)) : std::vector<std::uint8_t>();
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
  bool ok_ = false;
};

bool exec(sqlite3* db, const char* sql, std::string& error) {
  char* message = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK) return true;
  error = message ? message : lastError(db);
  sqlite3_free(message);
  return false;
}

// Adds a column a table lacks; a table that has it is left alone.
bool addColumn(sqlite3* db, const char* table, const char* column, const char* type, std::string& error) {
  std::int64_t found = -1;
  {
    Statement q(db, "SELECT COUNT(*) FROM pragma_table_info(?) WHERE name = ?");
    if (q.bind(1, std::string(table)).bind(2, std::string(column)).step()) found = q.integer(0);
  }
  if (found < 0) {
    error = lastError(db);
    return false;
  }
  return found > 0 || exec(db, ("ALTER TABLE " + std::string(table) + " ADD COLUMN " + column + " " + type).c_str(), error);
}

// A transaction that rolls back unless committed.
class Transaction {
 public:
  Transaction(sqlite3* db, std::string& error) : db_(db) { open_ = exec(db, "BEGIN IMMEDIATE", error); }
  ~Transaction() {
    if (open_) {
      std::string ignored;
      exec(db_, "ROLLBACK", ignored);
    }
  }
  bool open() const { return open_; }
  bool commit(std::string& error) {
    if (!open_ || !exec(db_, "COMMIT", error)) return false;
    open_ = false;
    return true;
  }

 private:
  sqlite3* db_;
  bool open_ = false;
};

// A drawing's facts from a row that starts with VELDRA_FACT_COLUMNS.
DrawingFacts factsFromRow(const Statement& q) {
  DrawingFacts f;
  f.path = pathFromUtf8(q.text(0));
  f.name = pathFromUtf8(q.text(1));
  f.project = q.text(2);
  if (!q.isNull(3)) {
    const auto kind = q.integer(3);
    if (kind >= 0 && kind <= static_cast<std::int64_t>(ProblemKind::kNoHandles))
      f.problem = ProblemDrawing{f.path, static_cast<ProblemKind>(kind), q.text(4)};
  }
  f.readable = q.integer(5) != 0;
  if (f.problem) f.problem->read = f.readable;
  f.version = q.text(6);
  if (!q.isNull(7)) f.created = Instant{q.integer(7), q.integer(8) != 0};
  if (!q.isNull(9)) f.updated = Instant{q.integer(9), q.integer(10) != 0};
  if (!q.isNull(11)) f.editingMs = q.integer(11);
  if (!q.isNull(12)) f.handseed = static_cast<std::uint64_t>(q.integer(12));
  f.fingerprintGuid = q.text(13);
  f.versionGuid = q.text(14);
  f.author = q.text(15);
  f.lastSavedBy = q.text(16);
  const auto format = q.integer(17);
  if (format >= 0 && format <= static_cast<std::int64_t>(veldra::dwg::PreviewFormat::kWmf))
    f.preview.format = static_cast<veldra::dwg::PreviewFormat>(format);
  f.preview.width = static_cast<int>(q.integer(18));
  f.preview.height = static_cast<int>(q.integer(19));
  f.preview.bytes = q.blob(20);
  f.entityCount = static_cast<std::size_t>(q.integer(21));
  // The picture drawn from its entities and why it shows no preview, for a
  // drawing taken from the store instead of read again.
  if (!q.isNull(22)) decodeDrawnPicture(q.view(22), f);
  f.contentDigest = q.text(24);
  return f;
}
constexpr int kFeaturesColumn = 23;
constexpr int kStampColumn = 25;  // after VELDRA_FACT_COLUMNS

std::optional<std::int64_t> projectId(sqlite3* db, const std::string& name) {
  Statement q(db, "SELECT id FROM projects WHERE name = ?");
  q.bind(1, name);
  if (!q.step()) return std::nullopt;
  return q.integer(0);
}

// Ties the marks an earlier version made by paths to the content of their
// files, before the project's rows are replaced: a side whose file has the
// stamp the store kept for it when it was last judged (the judgement the
// mark was made on) is that drawing's file; one whose file changed since is
// another file, and its mark is told as about the file it was.
bool pinEarlierMarks(sqlite3* db, const std::string& project, std::span<const DrawingFacts> drawings,
                     const std::vector<std::optional<FileStamp>>& stamps) {
  std::vector<std::tuple<std::int64_t, std::string, std::string, std::string, std::string>> marks;
  {
    Statement q(db,
                "SELECT rowid, path_a, path_b, digest_a, digest_b FROM pair_marks "
                "WHERE project = ? AND (digest_a = '' OR digest_b = '')");
    q.bind(1, project);
    while (q.step()) marks.emplace_back(q.integer(0), q.text(1), q.text(2), q.text(3), q.text(4));
    if (!q.ok()) return false;
  }
  if (marks.empty()) return true;
  std::unordered_map<std::string, FileStamp> kept;
  {
    Statement q(db,
                "SELECT d.path, d.file_size, d.file_modified, d.file_identity FROM drawings d "
                "JOIN projects p ON p.id = d.project WHERE p.name = ? AND d.file_identity IS NOT NULL");
    q.bind(1, project);
    while (q.step())
      kept[q.text(0)] = FileStamp{static_cast<std::uint64_t>(q.integer(1)), q.integer(2), q.text(3)};
    if (!q.ok()) return false;
  }
  std::unordered_map<std::string, std::size_t> now;
  for (std::size_t i = 0; i < drawings.size(); ++i) now[utf8Path(drawings[i].path)] = i;
  // The digest a side takes: its file's, "changed", or none yet (unknown).
  auto pinned = [&](const std::string& path, const std::string& digest) -> std::string {
    if (!digest.empty()) return digest;
    const auto was = kept.find(path);
    const auto is = now.find(path);
    if (was == kept.end() || is == now.end()) return {};
    const auto& stamp = is->second < stamps.size() ? stamps[is->second] : std::nullopt;
    if (!stamp) return {};
    if (*stamp != was->second) return std::string(kChangedFile);
    return drawings[is->second].contentDigest;
  };
  Statement update(db, "UPDATE pair_marks SET digest_a = ?, digest_b = ? WHERE rowid = ?");
  for (const auto& [row, pathA, pathB, digestA, digestB] : marks) {
    const std::string a = pinned(pathA, digestA), b = pinned(pathB, digestB);
    if (a == digestA && b == digestB) continue;
    update.reset();
    if (!update.bind(1, a).bind(2, b).bind(3, row).run()) return false;
  }
  return true;
}

// The earlier projects in the store, as an archive.
class StoreArchive : public ArchiveSource {
 public:
  StoreArchive(sqlite3* db, std::vector<std::int64_t> ids) : db_(db), ids_(std::move(ids)) {}

  std::size_t size() override {
    std::size_t total = 0;
    Statement q(db_, "SELECT COUNT(*) FROM drawings WHERE project = ?");
    for (const auto id : ids_) {
      q.reset();
      q.bind(1, id);
      if (q.step()) total += static_cast<std::size_t>(q.integer(0));
    }
    return total;
  }

  std::vector<std::pair<std::int64_t, int>> similar(std::span<const std::uint64_t> sketch, int minShared) override {
    std::unordered_map<std::int64_t, int> shared;
    Statement q(db_, "SELECT project, drawing FROM sketch WHERE value = ? LIMIT ?");
    std::vector<std::int64_t> found;
    for (const std::uint64_t value : sketch) {
      q.reset();
      q.bind(1, static_cast<std::int64_t>(value)).bind(2, kLongestPosting + 1);
      found.clear();
      int postings = 0;
      while (q.step()) {
        ++postings;
        if (std::find(ids_.begin(), ids_.end(), q.integer(0)) != ids_.end()) found.push_back(q.integer(1));
      }
      if (postings > kLongestPosting) continue;
      for (const auto d : found) ++shared[d];
    }
    std::vector<std::pair<std::int64_t, int>> out;
    for (const auto& [drawing, count] : shared)
      if (count >= minShared) out.emplace_back(drawing, count);
    std::sort(out.begin(), out.end());
    return out;
  }

  std::vector<std::int64_t> withIdentity(const std::string& guid) override {
    std::vector<std::int64_t> out;
    Statement q(db_, "SELECT id, project FROM drawings WHERE fingerprint_guid = ?");
    q.bind(1, guid);
    while (q.step())
      if (std::find(ids_.begin(), ids_.end(), q.integer(1)) != ids_.end()) out.push_back(q.integer(0));
    return out;
  }

  std::optional<ArchivedDrawing> load(std::int64_t id) override {
    Statement q(db_, "SELECT " VELDRA_FACT_COLUMNS " FROM drawings d JOIN projects p ON p.id = d.project WHERE d.id = ?");
    q.bind(1, id);
    if (!q.step()) return std::nullopt;
    ArchivedDrawing a;
    a.id = id;
    a.facts = factsFromRow(q);
    if (auto features = decodeFeatures(q.view(kFeaturesColumn))) a.features = std::move(*features);
    else return std::nullopt;
    return a;
  }

  std::vector<std::uint64_t> commonKeys(const std::string& project) override {
    Statement q(db_, "SELECT common FROM projects WHERE name = ?");
    q.bind(1, project);
    if (!q.step()) return {};
    auto keys = decodeKeys(q.blob(0));
    return keys ? std::move(*keys) : std::vector<std::uint64_t>{};
  }

 private:
  sqlite3* db_;
  std::vector<std::int64_t> ids_;
};

}  // namespace

SqliteStore::~SqliteStore() { sqlite3_close(db_); }

Result<std::unique_ptr<SqliteStore>> SqliteStore::open(const std::filesystem::path& file) {
  sqlite3* db = nullptr;
  const std::u8string name = file.u8string();
  const int rc = sqlite3_open_v2(reinterpret_cast<const char*>(name.c_str()), &db,
                                 SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX, nullptr);
  if (rc != SQLITE_OK) {
    const std::string reason = db ? lastError(db) : "out of memory";
    sqlite3_close(db);
    return failure(Failure::Kind::kCannotRead, "cannot open the evidence store " + utf8Path(file) + ": " + reason);
  }
  std::unique_ptr<SqliteStore> store(new SqliteStore(db));
  sqlite3_busy_timeout(db, 10000);
  { std::string ignored; exec(db, "PRAGMA page_size = 16384", ignored); }
  // A file that is not a store of this program (or not a database at all)
  // is left as it is.
  Statement version(db, "PRAGMA user_version");
  if (!version.step())
    return failure(Failure::Kind::kCannotRead, "the evidence store " + utf8Path(file) + " cannot be read: " + lastError(db));
  const auto found = version.integer(0);
  Statement tables(db, "SELECT COUNT(*) FROM sqlite_master");
  const std::int64_t tableCount = tables.step() ? tables.integer(0) : -1;
  if (found == 0 && tableCount != 0)
    return failure(Failure::Kind::kCannotRead,
                   "the file " + utf8Path(file) + " is not an evidence store of this program; it was left as it is");
  if (found > kSchemaVersion)
    return failure(Failure::Kind::kCannotRead,
                   "the evidence store " + utf8Path(file) + " was written by a newer version of this program");
  std::string error;
  if (found == 0) {
    Transaction t(db, error);
    if (!t.open() || !exec(db, kSchema, error) ||
        !exec(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str(), error) || !t.commit(error))
      return failure(Failure::Kind::kCannotWrite, "cannot set up the evidence store " + utf8Path(file) + ": " + error);
  }
  {
    Transaction t(db, error);
    bool done = t.open() && (found != 1 || exec(db, kFileStampColumns, error)) && exec(db, kAddedTables, error);
    // Columns of version 3, in tables an older store may have made.
    for (const char* table : {"drawings", "last_runs"})
      done = done && addColumn(db, table, "digest", "INTEGER", error);
    // Columns of version 4.
    done = done && addColumn(db, "drawings", "content", "TEXT", error);
    // What the class was at its last run; older versions leave it alone,
    // and a run of theirs leaves it empty.
    done = done && addColumn(db, "last_runs", "class_state", "INTEGER", error);
    for (const char* column : {"digest_a", "digest_b"})
      done = done && addColumn(db, "pair_marks", column, "TEXT NOT NULL DEFAULT ''", error);
    if (found != 0 && found < kSchemaVersion)
      done = done && exec(db, ("PRAGMA user_version = " + std::to_string(kSchemaVersion)).c_str(), error);
    if (!done || !t.commit(error))
      return failure(Failure::Kind::kCannotWrite,
                     "cannot bring the evidence store " + utf8Path(file) + " up to date: " + error);
  }
  return store;
}

Status SqliteStore::saveProject(const std::string& project, const std::string& term, std::int64_t judgedAtUnixMs,
                                  std::span<const DrawingFacts> drawings, const std::vector<JudgedDrawing>& judged,
                                  const std::vector<std::uint64_t>& commonKeys,
                                  const std::vector<std::optional<FileStamp>>& stamps,
                                  const std::string& featureScheme) {
  std::string error;
  Transaction t(db_, error);
  if (!t.open()) return failure(Failure::Kind::kCannotWrite, std::move(error));
  auto fail = [&](const char* what) { return failure(Failure::Kind::kCannotWrite, std::string(what) + ": " + lastError(db_)); };
  if (!pinEarlierMarks(db_, project, drawings, stamps)) return fail("cannot tie the teacher's marks to their drawings");
  // The project's rows as they are: a drawing whose row and sketch would be
  // written again as they are keeps them, so that a run on an unchanged
  // class writes next to nothing.
  std::unordered_map<std::string, std::vector<std::pair<std::int64_t, std::int64_t>>> before;  // path -> id, digest
  if (const auto old = projectId(db_, project)) {
    Statement rows(db_, "SELECT id, path, digest FROM drawings WHERE project = ?");
    rows.bind(1, *old);
    while (rows.step())
      if (!rows.isNull(2)) before[rows.text(1)].emplace_back(rows.integer(0), rows.integer(2));
    if (!rows.ok()) return fail("cannot read the project's earlier evidence");
    Statement u(db_, "UPDATE projects SET term = ?, judged_at = ?, common = ? WHERE id = ?");
    if (!u.bind(1, term).bind(2, judgedAtUnixMs).bindBlob(3, encodeKeys(commonKeys)).bind(4, *old).run())
      return fail("cannot update the project");
  } else {
    Statement i(db_, "INSERT INTO projects (name, term, judged_at, common) VALUES (?, ?, ?, ?)");
    if (!i.bind(1, project).bind(2, term).bind(3, judgedAtUnixMs).bindBlob(4, encodeKeys(commonKeys)).run())
      return fail("cannot add the project");
  }
  const auto id = projectId(db_, project);
  if (!id) return fail("cannot find the project just saved");
  Statement insert(db_,
                   "INSERT INTO drawings (project, path, name, problem_kind, problem_detail, readable, version, "
                   "created, created_universal, updated, updated_universal, editing, handseed, fingerprint_guid, "
                   "version_guid, author, last_saved_by, preview_format, preview_width, preview_height, preview, "
                   "entity_count, features, file_size, file_modified, file_identity, feature_scheme, picture, digest, "
                   "content) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");
  Statement sketch(db_, "INSERT OR IGNORE INTO sketch (value, project, drawing) VALUES (?, ?, ?)");
  std::vector<std::pair<std::int64_t, std::int64_t>> sketchRows;  // value, drawing
  std::vector<std::int64_t> keptRows;
  for (std::size_t i = 0; i < drawings.size(); ++i) {
    const DrawingFacts& f = drawings[i];
    const std::string path = utf8Path(f.path), name = utf8Name(f.name);
    std::optional<std::vector<std::uint8_t>> features;
    if (f.readable && i < judged.size()) features = encodeFeatures(judged[i].features);
    // Without its stamp a drawing is read again next time.
    const std::optional<FileStamp> stamp =
        i < stamps.size() && stamps[i] && !featureScheme.empty() ? stamps[i] : std::nullopt;
    const std::span<const std::uint64_t> values =
        i < judged.size() ? std::span<const std::uint64_t>(judged[i].sketch) : std::span<const std::uint64_t>();
    RowDigest digest;
    digest.add(path).add(name).add(f.problem.has_value());
    if (f.problem) digest.add(static_cast<std::uint64_t>(f.problem->kind)).add(f.problem->detail);
    digest.add(f.readable).add(f.version).add(f.created.has_value());
    if (f.created) digest.add(f.created->unixMs).add(f.created->universal);
    digest.add(f.updated.has_value());
    if (f.updated) digest.add(f.updated->unixMs).add(f.updated->universal);
    digest.add(f.editingMs.has_value()).add(f.editingMs.value_or(0));
    digest.add(f.handseed.has_value()).add(f.handseed.value_or(0));
    digest.add(f.fingerprintGuid).add(f.versionGuid).add(f.author).add(f.lastSavedBy);
    digest.add(static_cast<std::uint64_t>(f.preview.format)).add(f.preview.width).add(f.preview.height);
    digest.add(f.preview.bytes).add(f.entityCount).add(f.previewNote).add(f.drawnPicture.packed());
    digest.add(f.contentDigest);
    digest.add(features.has_value());
    if (features) digest.add(*features);
    digest.add(stamp.has_value());
    if (stamp) digest.add(stamp->size).add(stamp->modifiedNs).add(stamp->identity).add(featureScheme);
    digest.add(values.size());
    for (const std::uint64_t v : values) digest.add(v);
    if (const auto same = before.find(path); same != before.end()) {
      auto& rows = same->second;
      const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.second == digest.value(); });
      if (row != rows.end()) {
        keptRows.push_back(row->first);
        rows.erase(row);
        continue;
      }
    }
    insert.reset();
    insert.bind(1, *id).bind(2, path).bind(3, name);
    if (f.problem) insert.bind(4, static_cast<std::int64_t>(f.problem->kind)).bind(5, f.problem->detail);
    else insert.bindNull(4).bindNull(5);
    insert.bind(6, f.readable ? 1 : 0).bind(7, f.version);
    if (f.created) insert.bind(8, f.created->unixMs).bind(9, f.created->universal ? 1 : 0);
    else insert.bindNull(8).bindNull(9);
    if (f.updated) insert.bind(10, f.updated->unixMs).bind(11, f.updated->universal ? 1 : 0);
    else insert.bindNull(10).bindNull(11);
    insert.bindOptional(12, f.editingMs).bindOptional(13, f.handseed);
    insert.bind(14, f.fingerprintGuid).bind(15, f.versionGuid).bind(16, f.author).bind(17, f.lastSavedBy);
    insert.bind(18, static_cast<std::int64_t>(f.preview.format)).bind(19, f.preview.width).bind(20, f.preview.height);
    if (f.preview.bytes.empty()) insert.bindNull(21);
    else insert.bindBlob(21, f.preview.bytes);
    insert.bind(22, static_cast<std::int64_t>(f.entityCount));
    if (features) insert.bindBlob(23, *features);
    else insert.bindNull(23);
    if (stamp) {
      insert.bind(24, static_cast<std::int64_t>(stamp->size)).bind(25, stamp->modifiedNs);
      insert.bind(26, stamp->identity).bind(27, featureScheme);
    } else {
      insert.bindNull(24).bindNull(25).bindNull(26).bindNull(27);
    }
    insert.bindBlob(28, encodeDrawnPicture(f)).bind(29, digest.value());
    if (f.contentDigest.empty()) insert.bindNull(30);
    else insert.bind(30, f.contentDigest);
    if (!insert.run()) return fail("cannot save a drawing's evidence");
    const std::int64_t drawingId = sqlite3_last_insert_rowid(db_);
    for (const std::uint64_t value : values) sketchRows.emplace_back(static_cast<std::int64_t>(value), drawingId);
  }
  // What the class no longer holds as it was goes, with its sketch.
  bool gone = false;
  {
    Statement remove(db_, "DELETE FROM drawings WHERE id = ?");
    for (const auto& [path, rows] : before)
      for (const auto& row : rows) {
        remove.reset();
        if (!remove.bind(1, row.first).run()) return fail("cannot remove the project's earlier evidence");
        gone = true;
      }
  }
  // Rows an earlier version of the program wrote have no digest and are
  // written again.
  Statement unmarked(db_, "DELETE FROM drawings WHERE project = ? AND digest IS NULL");
  if (!unmarked.bind(1, *id).run()) return fail("cannot remove the project's earlier evidence");
  gone = gone || sqlite3_changes(db_) > 0;
  if (gone) {
    Statement orphans(db_,
                      "DELETE FROM sketch WHERE project = ?1 AND drawing NOT IN "
                      "(SELECT id FROM drawings WHERE project = ?1)");
    if (!orphans.bind(1, *id).run()) return fail("cannot remove the project's earlier sketch");
  }
  // The sketch values go in in the order of their index: taken drawing by
  // drawing they land all over it, and a large class's index no longer fits
  // the store's cache.
  std::sort(sketchRows.begin(), sketchRows.end());
  for (const auto& [value, drawingId] : sketchRows) {
    sketch.reset();
    if (!sketch.bind(1, value).bind(2, *id).bind(3, drawingId).run()) return fail("cannot save a drawing's sketch");
  }
  if (!t.commit(error)) return failure(Failure::Kind::kCannotWrite, std::move(error));
  return {};
}

Result<std::map<std::string, KeptDrawing>> SqliteStore::keptDrawings(const std::string& project,
                                                                        const std::string& featureScheme) {
  std::map<std::string, KeptDrawing> out;
  if (featureScheme.empty()) return out;
  Statement q(db_,
              "SELECT " VELDRA_FACT_COLUMNS ", d.file_size, d.file_modified, d.file_identity FROM drawings d "
              "JOIN projects p ON p.id = d.project WHERE p.name = ? AND d.feature_scheme = ? "
              "AND d.file_identity IS NOT NULL");
  q.bind(1, project).bind(2, featureScheme);
  while (q.step()) {
    KeptDrawing kept;
    kept.facts = factsFromRow(q);
    kept.facts.project.clear();
    if (kept.facts.readable) {
      // A readable drawing is taken only with its features.
      auto features = decodeFeatures(q.view(kFeaturesColumn));
      if (!features) continue;
      kept.features = std::move(*features);
    }
    kept.stamp.size = static_cast<std::uint64_t>(q.integer(kStampColumn));
    kept.stamp.modifiedNs = q.integer(kStampColumn + 1);
    kept.stamp.identity = q.text(kStampColumn + 2);
    std::string path = q.text(0);
    out.insert_or_assign(std::move(path), std::move(kept));
  }
  if (!q.ok()) return failure(Failure::Kind::kCannotRead, "the evidence store cannot be read: " + lastError(db_));
  return out;
}

Status SqliteStore::removeProject(const std::string& project) {
  const auto id = projectId(db_, project);
  if (!id) return {};
  std::string error;
  Transaction t(db_, error);
  if (!t.open()) return failure(Failure::Kind::kCannotWrite, error);
  Statement a(db_, "DELETE FROM sketch WHERE project = ?");
  Statement b(db_, "DELETE FROM drawings WHERE project = ?");
  Statement c(db_, "DELETE FROM projects WHERE id = ?");
  Statement d(db_, "DELETE FROM last_runs WHERE project = ?");
  if (!a.bind(1, *id).run() || !b.bind(1, *id).run() || !c.bind(1, *id).run() || !d.bind(1, project).run())
    return failure(Failure::Kind::kCannotWrite, lastError(db_));
  if (!t.commit(error)) return failure(Failure::Kind::kCannotWrite, error);
  return {};
}

Result<std::vector<StoredProject>> SqliteStore::projects() {
  std::vector<StoredProject> out;
  Statement q(db_,
              "SELECT p.name, p.term, p.judged_at, (SELECT COUNT(*) FROM drawings d WHERE d.project = p.id) "
              "FROM projects p ORDER BY p.name");
  while (q.step())
    out.push_back({q.text(0), q.text(1), q.integer(2), static_cast<std::size_t>(q.integer(3))});
  if (!q.ok()) return failure(Failure::Kind::kCannotRead, "the evidence store cannot be read: " + lastError(db_));
  return out;
}

Result<std::unique_ptr<ArchiveSource>> SqliteStore::archive(const std::vector<std::string>& projects) {
  std::vector<std::int64_t> ids;
  for (const auto& name : projects) {
    const auto id = projectId(db_, name);
    if (!id) return failure(Failure::Kind::kNotFound, "the evidence store holds no project " + name + " (judge it first)");
    if (std::find(ids.begin(), ids.end(), *id) == ids.end()) ids.push_back(*id);
  }
  return std::unique_ptr<ArchiveSource>(std::make_unique<StoreArchive>(db_, std::move(ids)));
}

Result<std::optional<EvidenceSettings>> SqliteStore::loadSettings(const std::string& project) {
  Statement q(db_, "SELECT templates, against, ignored, term FROM project_settings WHERE project = ?");
  q.bind(1, project);
  if (!q.step()) {
    if (q.ok()) return std::optional<EvidenceSettings>();
    return failure(Failure::Kind::kCannotRead, "the evidence store cannot be read: " + lastError(db_));
  }
  SettingsRow row{q.text(0), q.text(1), q.text(2), q.text(3), {}};
  Statement t(db_, "SELECT copy, likely_copy FROM project_thresholds WHERE project = ?");
  t.bind(1, project);
  if (t.step()) {
    row.thresholds = {static_cast<int>(t.integer(0)), static_cast<int>(t.integer(1))};
  } else if (!t.ok()) {
    return failure(Failure::Kind::kCannotRead, "the evidence store cannot be read: " + lastError(db_));
  }
  return std::optional<EvidenceSettings>(settingsOfRow(row));
}

Status SqliteStore::saveSettings(const std::string& project, const EvidenceSettings& settings) {
  const SettingsRow row = settingsRow(settings);
  Statement q(db_,
              "INSERT INTO project_settings (project, templates, against, ignored, term) VALUES (?, ?, ?, ?, ?) "
              "ON CONFLICT(project) DO UPDATE SET templates = excluded.templates, against = excluded.against, "
              "ignored = excluded.ignored, term = excluded.term");
  if (!q.bind(1, project).bind(2, row.templates).bind(3, row.against).bind(4, row.ignored).bind(5, row.term).run())
    return failure(Failure::Kind::kCannotWrite, lastError(db_));
  const Thresholds& th = row.thresholds;
  Statement t(db_,
              "INSERT INTO project_thresholds (project, copy, likely_copy) VALUES (?, ?, ?) "
              "ON CONFLICT(project) DO UPDATE SET copy = excluded.copy, likely_copy = excluded.likely_copy");
  if (!t.bind(1, project).bind(2, th.copy).bind(3, th.likelyCopy).run())
    return failure(Failure::Kind::kCannotWrite, lastError(db_));
  return {};
}

Status SqliteStore::saveLastRun(const std::string& project, const Findings& findings) {
  // The pictures drawn from the drawings are kept with each drawing's row
  // (saved just before) and put back from there.
  const std::vector<std::uint8_t> bytes = encodeFindings(findings, WithPictures::kNo);
  std::string error;
  Transaction t(db_, error);
  if (!t.open()) return failure(Failure::Kind::kCannotWrite, std::move(error));
  // A run that found what the last one found changes only its time, which
  // is written in place instead of the whole run again.
  const std::optional<std::size_t> end = runTimeEnd(bytes);
  RowDigest digest;
  if (end) digest.add(findings.project).add(findings.term).add(static_cast<std::uint64_t>(*end)).add(std::span(bytes).subspan(*end));
  if (end) {
    std::int64_t row = -1;
    {
      Statement old(db_, "SELECT rowid FROM last_runs WHERE project = ? AND digest = ?");
      if (old.bind(1, project).bind(2, digest.value()).step()) row = old.integer(0);
    }
    sqlite3_blob* blob = nullptr;
    if (row >= 0 && sqlite3_blob_open(db_, "main", "last_runs", "findings", row, 1, &blob) == SQLITE_OK) {
      const bool written = sqlite3_blob_bytes(blob) == static_cast<int>(bytes.size()) &&
                           sqlite3_blob_write(blob, bytes.data(), static_cast<int>(*end), 0) == SQLITE_OK;
      sqlite3_blob_close(blob);
      if (written) {
        Statement time(db_, "UPDATE last_runs SET run_at = ?, class_state = NULL WHERE rowid = ?");
        if (!time.bind(1, findings.runAtUnixMs).bind(2, row).run())
          return failure(Failure::Kind::kCannotWrite, lastError(db_));
        if (!t.commit(error)) return failure(Failure::Kind::kCannotWrite, std::move(error));
        return {};
      }
    }
  }
  Statement q(db_,
              "INSERT INTO last_runs (project, run_at, findings, digest) VALUES (?, ?, ?, ?) ON CONFLICT(project) DO "
              "UPDATE SET run_at = excluded.run_at, findings = excluded.findings, digest = excluded.digest, "
              "class_state = NULL");
  q.bind(1, project).bind(2, findings.runAtUnixMs).bindHeldBlob(3, bytes);
  if (end) q.bind(4, digest.value());
  else q.bindNull(4);
  if (!q.run()) return failure(Failure::Kind::kCannotWrite, lastError(db_));
  if (!t.commit(error)) return failure(Failure::Kind::kCannotWrite, std::move(error));
  return {};
}

namespace {

// The class a run was judged on, tied to the findings it gave: a run of a
// version that keeps no class, writing other findings, leaves a class that
// no longer matches.
std::int64_t classWithFindings(std::int64_t state, std::int64_t findingsDigest) {
  return RowDigest().add(state).add(findingsDigest).value();
}

}  // namespace

bool SqliteStore::lastRunWasOf(const std::string& project, std::int64_t state) {
  Statement q(db_, "SELECT class_state, digest FROM last_runs WHERE project = ?");
  q.bind(1, project);
  if (!q.step() || q.isNull(0) || q.isNull(1)) return false;
  return q.integer(0) == classWithFindings(state, q.integer(1));
}

Status SqliteStore::saveLastRunClass(const std::string& project, std::int64_t state) {
  Statement q(db_, "UPDATE last_runs SET class_state = ? WHERE project = ? AND digest IS NOT NULL");
  std::optional<std::int64_t> digest;
  {
    Statement d(db_, "SELECT digest FROM last_runs WHERE project = ? AND digest IS NOT NULL");
    d.bind(1, project);
    if (d.step()) digest = d.integer(0);
  }
  if (!digest) return {};
  if (!q.bind(1, classWithFindings(state, *digest)).bind(2, project).run())
    return failure(Failure::Kind::kCannotWrite, lastError(db_));
  return {};
}

std::optional<Findings> SqliteStore::loadLastRun(const std::string& project, bool withPictures) {
  Statement q(db_, "SELECT findings FROM last_runs WHERE project = ?");
  q.bind(1, project);
  if (!q.step()) return std::nullopt;
  auto findings = decodeFindings(q.view(0));
  if (!findings) return findings;
  // The drawn pictures, from the rows of the drawings' projects; a drawing
  // whose row went since (its project judged again) is shown without one.
  std::map<std::string, std::vector<DrawingFacts*>> byProject;
  for (auto& d : findings->drawings)
    if (withPictures && d.drawnPicture.empty()) byProject[d.project.empty() ? findings->project : d.project].push_back(&d);
  for (auto& [name, drawings] : byProject) {
    std::unordered_map<std::string, std::vector<DrawingFacts*>> byPath;
    for (DrawingFacts* d : drawings) byPath[utf8Path(d->path)].push_back(d);
    Statement pictures(db_,
                       "SELECT d.path, d.picture FROM drawings d JOIN projects p ON p.id = d.project "
                       "WHERE p.name = ? AND d.picture IS NOT NULL");
    pictures.bind(1, name);
    while (pictures.step())
      if (const auto at = byPath.find(pictures.text(0)); at != byPath.end())
        for (DrawingFacts* d : at->second) decodeDrawnPicture(pictures.view(1), *d);
  }
  if (auto kept = marks(project)) applyMarks(*findings, *kept);
  return findings;
}

Result<std::vector<StoredMark>> SqliteStore::marks(const std::string& project) {
  std::vector<StoredMark> out;
  Statement q(db_,
              "SELECT path_a, path_b, identity_a, identity_b, mark, note, verdict, score, marked_at, rowid, digest_a, "
              "digest_b FROM pair_marks WHERE project = ? ORDER BY path_a, path_b");
  q.bind(1, project);
  while (q.step()) {
    StoredMark m;
    m.pathA = q.text(0);
    m.pathB = q.text(1);
    m.identityA = q.text(2);
    m.identityB = q.text(3);
    const auto mark = q.integer(4), verdict = q.integer(6);
    if (mark < 0 || mark > static_cast<std::int64_t>(ReviewMark::kNotCopy)) continue;
    m.mark = static_cast<ReviewMark>(mark);
    m.note = q.text(5);
    m.verdict = verdict >= 0 && verdict <= static_cast<std::int64_t>(Verdict::kCopy) ? static_cast<Verdict>(verdict)
                                                                                     : Verdict::kNone;
    m.score = static_cast<int>(q.integer(7));
    m.markedAtUnixMs = q.integer(8);
    m.id = q.integer(9);
    m.digestA = q.text(10);
    m.digestB = q.text(11);
    out.push_back(std::move(m));
  }
  if (!q.ok()) return failure(Failure::Kind::kCannotRead, "the evidence store cannot be read: " + lastError(db_));
  return out;
}

Status SqliteStore::saveMark(const std::string& project, const StoredMark& m) {
  std::string error;
  Transaction t(db_, error);
  if (!t.open()) return failure(Failure::Kind::kCannotWrite, std::move(error));
  // The pair's mark found elsewhere (its folder moved) goes with it to where
  // it lies now, keeping its number, and replaces what was marked there.
  Statement there(db_, "DELETE FROM pair_marks WHERE project = ? AND path_a = ? AND path_b = ? AND rowid <> ?");
  if (!there.bind(1, project).bind(2, m.pathA).bind(3, m.pathB).bind(4, m.id).run())
    return failure(Failure::Kind::kCannotWrite, lastError(db_));
  Statement update(db_,
                   "UPDATE pair_marks SET path_a = ?2, path_b = ?3, identity_a = ?4, identity_b = ?5, digest_a = ?6, "
                   "digest_b = ?7, mark = ?8, note = ?9, verdict = ?10, score = ?11, marked_at = ?12 "
                   "WHERE project = ?1 AND rowid = ?13");
  Statement insert(db_,
                   "INSERT INTO pair_marks (project, path_a, path_b, identity_a, identity_b, digest_a, digest_b, mark, "
                   "note, verdict, score, marked_at) VALUES (?1,?2,?3,?4,?5,?6,?7,?8,?9,?10,?11,?12)");
  for (Statement* q : {&update, &insert}) {
    q->bind(1, project).bind(2, m.pathA).bind(3, m.pathB).bind(4, m.identityA).bind(5, m.identityB);
    q->bind(6, m.digestA).bind(7, m.digestB).bind(8, static_cast<std::int64_t>(m.mark)).bind(9, m.note);
    q->bind(10, static_cast<std::int64_t>(m.verdict)).bind(11, m.score).bind(12, m.markedAtUnixMs);
  }
  if (!update.bind(13, m.id).run()) return failure(Failure::Kind::kCannotWrite, lastError(db_));
  if (sqlite3_changes(db_) == 0 && !insert.run()) return failure(Failure::Kind::kCannotWrite, lastError(db_));
  if (!t.commit(error)) return failure(Failure::Kind::kCannotWrite, std::move(error));
  return {};
}

Status SqliteStore::removeMark(const std::string& project, const StoredMark& m) {
  // The mark shown on the pair; without one, what was marked at its paths.
  Statement q(db_, m.id != 0 ? "DELETE FROM pair_marks WHERE project = ? AND rowid = ?"
                             : "DELETE FROM pair_marks WHERE project = ? AND path_a = ? AND path_b = ?");
  q.bind(1, project);
  if (m.id != 0) q.bind(2, m.id);
  else q.bind(2, m.pathA).bind(3, m.pathB);
  if (!q.run()) return failure(Failure::Kind::kCannotWrite, lastError(db_));
  return {};
}

}  // namespace veldra::evidence
