#include "evidence/store/postgres_store.h"

#include <libpq-fe.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <type_traits>
#include <unordered_map>

#include "evidence/features/feature_codec.h"
#include "evidence/store/findings_codec.h"
#include "evidence/store/row_digest.h"
#include "evidence/store/settings_codec.h"
#include "platform/platform.h"

namespace veldra::evidence {

namespace {

// libpq, loaded the first time a shared store is opened rather than linked:
// linked, it and the dozen libraries it pulls in (TLS, Kerberos, LDAP...)
// would be loaded at every start of every tool, though most runs never
// reach a shared store.
// The functions used, each once here: X(name, needed).
#ifdef LIBPQ_HAS_PIPELINING
// Older libraries lack these; statements are then sent one at a time.
#define VELDRA_PQ_PIPELINE(X) X(PQenterPipelineMode, false) X(PQexitPipelineMode, false) X(PQpipelineSync, false)
#else
#define VELDRA_PQ_PIPELINE(X)
#endif
#define VELDRA_PQ_FUNCTIONS(X)                                                                                    \
  X(PQclear, true) X(PQconnectdb, true) X(PQerrorMessage, true) X(PQexec, true) X(PQexecParams, true)             \
  X(PQfinish, true) X(PQgetResult, true) X(PQgetisnull, true) X(PQgetlength, true) X(PQgetvalue, true)            \
  X(PQmakeEmptyPGresult, true) X(PQntuples, true) X(PQresultErrorField, true) X(PQresultErrorMessage, true)       \
  X(PQresultStatus, true) X(PQsendQueryParams, true) X(PQstatus, true) VELDRA_PQ_PIPELINE(X)

struct LibPq {
#define VELDRA_PQ_MEMBER(name, needed) decltype(&::name) name = nullptr;
  VELDRA_PQ_FUNCTIONS(VELDRA_PQ_MEMBER)
#undef VELDRA_PQ_MEMBER
  std::string missing;  // why libpq cannot be used, or empty
};

LibPq loadLibPq() {
  LibPq pq;
#if defined(_WIN32)
  const std::vector<std::string> names = {"libpq.dll"};
#elif defined(__APPLE__)
  const std::vector<std::string> names = {"libpq.5.dylib", "libpq.dylib"};
#else
  const std::vector<std::string> names = {"libpq.so.5", "libpq.so"};
#endif
  void* library = loadSharedLibrary(names, pq.missing);
  if (!library) return pq;
  const auto find = [&](auto& function, const char* name, bool needed) {
    function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(sharedLibraryFunction(library, name));
    if (!function && needed && pq.missing.empty()) pq.missing = std::string(name) + " is missing from libpq";
  };
#define VELDRA_PQ_FIND(name, needed) find(pq.name, #name, needed);
  VELDRA_PQ_FUNCTIONS(VELDRA_PQ_FIND)
#undef VELDRA_PQ_FIND
#ifdef LIBPQ_HAS_PIPELINING
  if (!pq.PQenterPipelineMode || !pq.PQexitPipelineMode || !pq.PQpipelineSync) pq.PQenterPipelineMode = nullptr;
#endif
  return pq;
}

const LibPq& pq() {
  static const LibPq loaded = loadLibPq();
  return loaded;
}

}  // namespace

namespace {

// The form of the tables. 1: the first. 2: the sketches apart from the
// drawings' evidence, the values too common to look up, each project's count
// of drawings and each drawing's digest, so that an unchanged drawing is not
// written again. A database of a form older than 1 or newer than this
// program's is left as it is.
constexpr std::int64_t kSchemaVersion = 2;
// Drawings of the archive a sketch value may lead to before it is taken
// for a value every drawing of some exercise has, and passed over.
constexpr int kLongestPosting = 1000;

// Each drawing's sketch in a table of its own, narrow, so that the drawings
// a value leads to are read without their evidence; its index keeps each
// value once with the drawings holding it packed. Entries go into the index
// as they come, not into a list every lookup reads until the server's upkeep
// merges it: a class judged right after another teacher kept theirs is
// looked up as fast as any other. A value found held by more drawings than
// a sketch value may lead to is kept in common_values and not looked up
// again until a drawing holding it goes.
#define VELDRA_SKETCH_TABLES                                                                     \
  "CREATE TABLE sketches (\n"                                                                    \
  "  drawing BIGINT PRIMARY KEY REFERENCES drawings(id) ON DELETE CASCADE,\n"                    \
  "  project BIGINT NOT NULL,\n"                                                                 \
  "  sketch BIGINT[] NOT NULL\n"                                                                 \
  ");\n"                                                                                         \
  "CREATE TABLE common_values (value BIGINT PRIMARY KEY);\n"
#define VELDRA_SKETCH_INDEX \
  "CREATE INDEX sketches_by_value ON sketches USING gin (sketch) WITH (fastupdate = off);\n"
// Every teacher reads and writes every table; each keeps to their own rows.
#define VELDRA_GRANTS                                                                                  \
  "DO $$ BEGIN\n"                                                                                      \
  "  EXECUTE format('GRANT SELECT, INSERT, UPDATE, DELETE ON ALL TABLES IN SCHEMA %I TO PUBLIC', current_schema());\n" \
  "  EXECUTE format('GRANT USAGE ON ALL SEQUENCES IN SCHEMA %I TO PUBLIC', current_schema());\n"      \
  "END $$;\n"

const char* const kSchema = R"sql(
-- Every teacher who may connect to the database uses the same tables; each
-- keeps to their own rows but for the archive, which all read.
CREATE TABLE veldra_schema (version BIGINT NOT NULL);
CREATE TABLE projects (
  id BIGSERIAL PRIMARY KEY,
  teacher TEXT NOT NULL,
  name TEXT NOT NULL,
  name_key TEXT NOT NULL,
  term TEXT NOT NULL DEFAULT '',
  judged_at BIGINT NOT NULL,
  common BYTEA NOT NULL,
  drawings BIGINT NOT NULL DEFAULT 0,
  UNIQUE (teacher, name_key)
);
CREATE TABLE drawings (
  id BIGSERIAL PRIMARY KEY,
  project BIGINT NOT NULL REFERENCES projects(id) ON DELETE CASCADE,
  path TEXT NOT NULL,
  fingerprint_guid TEXT NOT NULL,
  facts BYTEA NOT NULL,
  features BYTEA,
  file_size BIGINT,
  file_modified BIGINT,
  file_identity TEXT,
  feature_scheme TEXT,
  digest BIGINT
);
CREATE INDEX drawings_by_project ON drawings (project);
CREATE INDEX drawings_by_identity ON drawings (fingerprint_guid) WHERE fingerprint_guid <> '';
)sql" VELDRA_SKETCH_TABLES VELDRA_SKETCH_INDEX R"sql(
CREATE TABLE project_settings (
  teacher TEXT NOT NULL,
  project_key TEXT NOT NULL,
  templates TEXT NOT NULL,
  against TEXT NOT NULL,
  ignored TEXT NOT NULL,
  term TEXT NOT NULL,
  copy BIGINT NOT NULL,
  likely_copy BIGINT NOT NULL,
  PRIMARY KEY (teacher, project_key)
);
CREATE TABLE last_runs (
  teacher TEXT NOT NULL,
  project_key TEXT NOT NULL,
  run_at BIGINT NOT NULL,
  findings BYTEA NOT NULL,
  PRIMARY KEY (teacher, project_key)
);
CREATE TABLE pair_marks (
  id BIGSERIAL PRIMARY KEY,
  teacher TEXT NOT NULL,
  project_key TEXT NOT NULL,
  path_a TEXT NOT NULL,
  path_b TEXT NOT NULL,
  identity_a TEXT NOT NULL,
  identity_b TEXT NOT NULL,
  digest_a TEXT NOT NULL,
  digest_b TEXT NOT NULL,
  mark BIGINT NOT NULL,
  note TEXT NOT NULL,
  verdict BIGINT NOT NULL,
  score BIGINT NOT NULL,
  marked_at BIGINT NOT NULL,
  UNIQUE (teacher, project_key, path_a, path_b)
);
INSERT INTO veldra_schema VALUES (2);
)sql" VELDRA_GRANTS;

// A database of the first form brought up to date, in the transaction that
// opens it: the sketches moved to their own table (its index made once
// they are in, faster than entry by entry), the counts taken. Its drawings
// have no digest yet and are written again by their next run.
const char* const kUpgradeFrom1 = R"sql(
SET LOCAL maintenance_work_mem = '256MB';
ALTER TABLE projects ADD COLUMN drawings BIGINT NOT NULL DEFAULT 0;
UPDATE projects p SET drawings = (SELECT COUNT(*) FROM drawings d WHERE d.project = p.id);
ALTER TABLE drawings ADD COLUMN digest BIGINT;
)sql" VELDRA_SKETCH_TABLES R"sql(
INSERT INTO sketches (drawing, project, sketch) SELECT id, project, sketch FROM drawings WHERE cardinality(sketch) > 0;
)sql" VELDRA_SKETCH_INDEX R"sql(
DROP INDEX drawings_by_sketch;
ALTER TABLE drawings DROP COLUMN sketch;
UPDATE veldra_schema SET version = 2;
)sql" VELDRA_GRANTS;

// Project names are told apart ignoring the case of A to Z, as the
// workspace's store and the project list do.
std::string nameKey(const std::string& name) {
  std::string key = name;
  for (char& c : key)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return key;
}

std::string arrayText(std::span<const std::uint64_t> values) {
  std::string out = "{";
  for (std::size_t k = 0; k < values.size(); ++k)
    out += (k ? "," : "") + std::to_string(static_cast<std::int64_t>(values[k]));
  return out + "}";
}

std::string arrayText(std::span<const std::int64_t> values) {
  std::string out = "{";
  for (std::size_t k = 0; k < values.size(); ++k) out += (k ? "," : "") + std::to_string(values[k]);
  return out + "}";
}

// Texts as an array's literal, each quoted: a drawing's identity is the
// drawing's own text and may hold any character.
std::string arrayText(std::span<const std::string> values) {
  std::string out = "{";
  for (std::size_t k = 0; k < values.size(); ++k) {
    out += k ? ",\"" : "\"";
    for (const char c : values[k]) {
      if (c == '"' || c == '\\') out += '\\';
      out += c;
    }
    out += '"';
  }
  return out + "}";
}

// A parameter: text, or bytes sent as they are (its own, or another's that
// outlive it); nothing is NULL.
struct Param {
  std::optional<std::string> text;
  std::vector<std::uint8_t> owned;
  std::span<const std::uint8_t> bytes;
  bool binary = false;

  Param(std::vector<std::uint8_t>&& b) : owned(std::move(b)), bytes(owned), binary(true) {}  // NOLINT
  Param(const Param& o) : text(o.text), owned(o.owned), bytes(o.owned.empty() ? o.bytes : owned), binary(o.binary) {}
  Param(Param&& o) noexcept
      : text(std::move(o.text)), owned(std::move(o.owned)), bytes(owned.empty() ? o.bytes : owned), binary(o.binary) {}
  Param& operator=(const Param&) = delete;

  Param(std::string t) : text(std::move(t)) {}                  // NOLINT
  Param(const char* t) : text(std::string(t)) {}                // NOLINT
  Param(std::int64_t v) : text(std::to_string(v)) {}            // NOLINT
  Param(int v) : text(std::to_string(v)) {}                     // NOLINT
  Param(std::span<const std::uint8_t> b) : bytes(b), binary(true) {}  // NOLINT
  Param(const std::vector<std::uint8_t>& b) : bytes(b), binary(true) {}  // NOLINT
  static Param null() {
    Param p{std::string()};
    p.text.reset();
    return p;
  }
};

// A result, its columns read in binary: every whole number is sent as a
// BIGINT (the queries cast them), texts and bytes as they are.
class Rows {
 public:
  explicit Rows(PGresult* r) : r_(r) {}
  ~Rows() { pq().PQclear(r_); }
  Rows(const Rows&) = delete;
  Rows& operator=(const Rows&) = delete;
  Rows(Rows&& o) noexcept : r_(o.r_) { o.r_ = nullptr; }

  bool ok() const {
    const auto s = pq().PQresultStatus(r_);
    return s == PGRES_TUPLES_OK || s == PGRES_COMMAND_OK;
  }
  int count() const { return pq().PQntuples(r_); }
  bool isNull(int row, int c) const { return pq().PQgetisnull(r_, row, c) != 0; }
  std::int64_t integer(int row, int c) const {
    if (isNull(row, c) || pq().PQgetlength(r_, row, c) != 8) return 0;
    const auto* p = reinterpret_cast<const std::uint8_t*>(pq().PQgetvalue(r_, row, c));
    std::uint64_t v = 0;
    for (int k = 0; k < 8; ++k) v = (v << 8) | p[k];
    return static_cast<std::int64_t>(v);
  }
  std::string text(int row, int c) const {
    return std::string(pq().PQgetvalue(r_, row, c), static_cast<std::size_t>(pq().PQgetlength(r_, row, c)));
  }
  std::span<const std::uint8_t> view(int row, int c) const {
    return {reinterpret_cast<const std::uint8_t*>(pq().PQgetvalue(r_, row, c)), static_cast<std::size_t>(pq().PQgetlength(r_, row, c))};
  }
  std::string error() const { return pq().PQresultErrorMessage(r_); }
  // The SQLSTATE of a failure ("40001"...).
  std::string state() const {
    const char* s = pq().PQresultErrorField(r_, PG_DIAG_SQLSTATE);
    return s ? s : "";
  }

 private:
  PGresult* r_;
};

std::string firstLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (const auto end = text.find('\n'); end != std::string::npos) text.resize(end);
  return text;
}

}  // namespace

struct PostgresStore::Connection {
  PGconn* conn = nullptr;
  ~Connection() { pq().PQfinish(conn); }

  // Parameters as libpq takes them; they point into `params`, kept here.
  struct Bound {
    explicit Bound(const std::vector<Param>& params) {
      for (const Param& p : params) {
        if (p.binary) {
          values.push_back(p.bytes.empty() ? "" : reinterpret_cast<const char*>(p.bytes.data()));
          lengths.push_back(static_cast<int>(p.bytes.size()));
          formats.push_back(1);
        } else {
          values.push_back(p.text ? p.text->c_str() : nullptr);
          lengths.push_back(0);
          formats.push_back(0);
        }
      }
    }
    int count() const { return static_cast<int>(values.size()); }
    std::vector<const char*> values;
    std::vector<int> lengths, formats;
  };

  Rows run(const char* sql, const std::vector<Param>& params = {}) const {
    const Bound b(params);
    return Rows(pq().PQexecParams(conn, sql, b.count(), nullptr, b.values.data(), b.lengths.data(), b.formats.data(), 1));
  }
  // Several statements without parameters.
  Rows script(const char* sql) const { return Rows(pq().PQexec(conn, sql)); }

  // The statement once for each of `count` lists of parameters, sent without
  // waiting for each answer; the answers are read every few hundred, so that
  // they never fill the connection while statements are still being sent.
  // Nothing, or the first failure.
  std::optional<Rows> runEach(const char* sql, std::size_t count,
                              const std::function<std::vector<Param>(std::size_t)>& paramsOf) const {
#ifdef LIBPQ_HAS_PIPELINING
    if (count > 1 && pq().PQenterPipelineMode && pq().PQenterPipelineMode(conn) == 1) {
      constexpr std::size_t kAtOnce = 256;
      std::optional<Rows> failed;
      for (std::size_t first = 0; first < count && !failed; first += kAtOnce) {
        const std::size_t end = std::min(count, first + kAtOnce);
        for (std::size_t i = first; i < end && !failed; ++i) {
          const std::vector<Param> params = paramsOf(i);
          const Bound b(params);
          if (!pq().PQsendQueryParams(conn, sql, b.count(), nullptr, b.values.data(), b.lengths.data(), b.formats.data(), 1))
            failed.emplace(pq().PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR));
        }
        if (!pq().PQpipelineSync(conn)) {
          failed.emplace(pq().PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR));
          break;
        }
        // Every answer up to the point of synchronisation: each statement's
        // result then nothing, then the synchronisation's own.
        for (;;) {
          PGresult* r = pq().PQgetResult(conn);
          if (!r) {
            if (pq().PQstatus(conn) != CONNECTION_OK) break;
            continue;
          }
          const auto status = pq().PQresultStatus(r);
          if (status == PGRES_PIPELINE_SYNC) {
            pq().PQclear(r);
            break;
          }
          if (status == PGRES_FATAL_ERROR && !failed) failed.emplace(r);
          else pq().PQclear(r);
        }
      }
      pq().PQexitPipelineMode(conn);
      if (!failed && pq().PQstatus(conn) != CONNECTION_OK) failed.emplace(pq().PQmakeEmptyPGresult(conn, PGRES_FATAL_ERROR));
      return failed;
    }
#endif
    for (std::size_t i = 0; i < count; ++i)
      if (Rows r = run(sql, paramsOf(i)); !r.ok()) return r;
    return std::nullopt;
  }
  // Why the last statement failed, in words: a lost connection told as such.
  std::string why(const Rows& r) const {
    if (pq().PQstatus(conn) != CONNECTION_OK)
      return "the connection to the shared evidence store was lost (" + firstLine(pq().PQerrorMessage(conn)) + ")";
    return "the shared evidence store answered: " + firstLine(r.error());
  }
};

namespace {

using Connection = PostgresStore::Connection;

// A transaction that rolls back unless committed.
class Transaction {
 public:
  explicit Transaction(const Connection& db) : db_(db) { open_ = db.run("BEGIN").ok(); }
  ~Transaction() {
    if (open_) db_.run("ROLLBACK");
  }
  bool open() const { return open_; }
  Rows commit() {
    Rows r = db_.run("COMMIT");
    open_ = false;
    return r;
  }

 private:
  const Connection& db_;
  bool open_ = false;
};

Status writeFailure(const Connection& db, const Rows& r, const std::string& what) {
  return failure(Failure::Kind::kCannotWrite, what + ": " + db.why(r));
}
Failure readFailure(const Connection& db, const Rows& r) {
  return Failure{Failure::Kind::kCannotRead, "the shared evidence store cannot be read: " + db.why(r)};
}

// The earlier projects of the shared store, as an archive.
class SharedArchive : public ArchiveSource {
 public:
  SharedArchive(const Connection& db, std::vector<std::int64_t> ids, std::unordered_map<std::string, std::int64_t> named)
      : db_(db), ids_(std::move(ids)), idsText_(arrayText(std::span<const std::int64_t>(ids_))), named_(std::move(named)) {}

  std::size_t size() override {
    const Rows r = ask("SELECT COALESCE(SUM(drawings), 0)::bigint FROM projects WHERE id = ANY($1::bigint[])",
                           {idsText_});
    return r.ok() && r.count() == 1 ? static_cast<std::size_t>(r.integer(0, 0)) : 0;
  }

  std::vector<std::pair<std::int64_t, int>> similar(std::span<const std::uint64_t> sketch, int minShared) override {
    const std::span<const std::uint64_t> one[] = {sketch};
    return std::move(similarEach(one, minShared).front());
  }

  // One round trip for the whole class: each value looked up once, in the
  // order of the index, through the narrow table of sketches, and counted
  // per drawing of the class on the server. A value held by more drawings of
  // the whole store than a posting may be long is passed over, as the
  // workspace's store does, and remembered as such.
  std::vector<std::vector<std::pair<std::int64_t, int>>> similarEach(
      std::span<const std::span<const std::uint64_t>> sketches, int minShared) override {
    std::vector<std::vector<std::pair<std::int64_t, int>>> out(sketches.size());
    std::string owners = "{", values = "{";
    for (std::size_t k = 0; k < sketches.size(); ++k)
      for (const std::uint64_t v : sketches[k]) {
        const bool first = owners.size() == 1;
        owners += (first ? "" : ",") + std::to_string(k);
        values += (first ? "" : ",") + std::to_string(static_cast<std::int64_t>(v));
      }
    if (owners.size() == 1) return out;
    const Rows r = ask(
        "WITH q AS (SELECT k, value FROM unnest($1::bigint[], $2::bigint[]) AS q(k, value)), "
        "v AS (SELECT DISTINCT q.value FROM q WHERE NOT EXISTS "
        "      (SELECT 1 FROM common_values c WHERE c.value = q.value) ORDER BY q.value), "
        "hit AS (SELECT v.value, h.drawing, h.project, COUNT(*) OVER (PARTITION BY v.value) AS holders "
        "        FROM v CROSS JOIN LATERAL (SELECT s.drawing, s.project FROM sketches s "
        "        WHERE s.sketch && ARRAY[v.value] LIMIT $3::bigint + 1) h), "
        "marked AS (INSERT INTO common_values SELECT DISTINCT value FROM hit WHERE holders > $3::bigint "
        "           ORDER BY value ON CONFLICT DO NOTHING) "
        "SELECT q.k, hit.drawing, COUNT(*)::bigint FROM q JOIN hit ON hit.value = q.value "
        "WHERE hit.holders <= $3::bigint AND hit.project = ANY($4::bigint[]) "
        "GROUP BY q.k, hit.drawing HAVING COUNT(*) >= $5::bigint",
        {owners + "}", values + "}", kLongestPosting, idsText_, minShared});
    for (int row = 0; r.ok() && row < r.count(); ++row) {
      const auto k = static_cast<std::size_t>(r.integer(row, 0));
      if (k < out.size()) out[k].emplace_back(r.integer(row, 1), static_cast<int>(r.integer(row, 2)));
    }
    for (auto& found : out) std::sort(found.begin(), found.end());
    return out;
  }

  std::vector<std::int64_t> withIdentity(const std::string& guid) override {
    const std::string one[] = {guid};
    return std::move(withIdentityEach(one).front());
  }

  std::vector<std::vector<std::int64_t>> withIdentityEach(std::span<const std::string> guids) override {
    std::vector<std::vector<std::int64_t>> out(guids.size());
    // A text holding a NUL is no PostgreSQL text (and was kept cut short at
    // it): such a drawing's identity is not looked up, rather than the
    // whole class's refused.
    std::vector<std::string> asked(guids.begin(), guids.end());
    for (auto& g : asked)
      if (g.find('\0') != std::string::npos) g.clear();
    if (std::all_of(asked.begin(), asked.end(), [](const std::string& g) { return g.empty(); })) return out;
    const Rows r = ask(
        "SELECT g.k - 1, d.id FROM unnest($1::text[]) WITH ORDINALITY AS g(guid, k) CROSS JOIN LATERAL "
        "(SELECT id FROM drawings WHERE fingerprint_guid = g.guid AND fingerprint_guid <> '' "
        " AND project = ANY($2::bigint[])) d WHERE g.guid <> '' ORDER BY 1, 2",
        {arrayText(asked), idsText_});
    for (int row = 0; r.ok() && row < r.count(); ++row) {
      const auto k = static_cast<std::size_t>(r.integer(row, 0));
      if (k < out.size()) out[k].push_back(r.integer(row, 1));
    }
    return out;
  }

  std::optional<ArchivedDrawing> load(std::int64_t id) override {
    const Rows r = ask("SELECT d.facts, d.features, d.project FROM drawings d WHERE d.id = $1", {id});
    if (!r.ok() || r.count() != 1 || r.isNull(0, 1)) return std::nullopt;
    auto facts = decodeDrawingFacts(r.view(0, 0));
    auto features = decodeFeatures(r.view(0, 1));
    if (!facts || !features) return std::nullopt;
    ArchivedDrawing a;
    a.id = id;
    a.facts = std::move(*facts);
    a.facts.project.clear();
    for (const auto& [name, project] : named_)
      if (project == r.integer(0, 2)) a.facts.project = name;
    a.features = std::move(*features);
    return a;
  }

  std::vector<std::uint64_t> commonKeys(const std::string& project) override {
    const auto it = named_.find(project);
    if (it == named_.end()) return {};
    const Rows r = ask("SELECT common FROM projects WHERE id = $1", {it->second});
    if (!r.ok() || r.count() != 1) return {};
    auto keys = decodeKeys(r.view(0, 0));
    return keys ? std::move(*keys) : std::vector<std::uint64_t>{};
  }

  std::string failure() const override { return failure_; }

 private:
  // A statement's answer; the first that failed is the archive's failure.
  Rows ask(const char* sql, const std::vector<Param>& params) {
    Rows r = db_.run(sql, params);
    if (!r.ok() && failure_.empty()) failure_ = db_.why(r);
    return r;
  }

  const Connection& db_;
  std::vector<std::int64_t> ids_;
  std::string idsText_;
  std::unordered_map<std::string, std::int64_t> named_;  // as the words name each project
  std::string failure_;
};

}  // namespace

PostgresStore::PostgresStore(std::unique_ptr<Connection> connection, std::string teacher)
    : db_(std::move(connection)), teacher_(std::move(teacher)) {}

PostgresStore::~PostgresStore() = default;

Result<std::unique_ptr<PostgresStore>> PostgresStore::open(const std::string& uri) {
  if (!pq().missing.empty())
    return failure(Failure::Kind::kCannotRead,
                   "cannot reach the shared evidence store " + uri + ": libpq could not be loaded (" + pq().missing + ")");
  auto db = std::make_unique<Connection>();
  db->conn = pq().PQconnectdb(uri.c_str());
  if (!db->conn || pq().PQstatus(db->conn) != CONNECTION_OK)
    return failure(Failure::Kind::kCannotRead, "cannot reach the shared evidence store " + uri + ": " +
                                                   firstLine(db->conn ? pq().PQerrorMessage(db->conn) : "out of memory"));
  db->run("SET client_min_messages = warning");
  // Each query here reads a few rows through an index; a large archive's
  // figures would have the server compile it to machine code first, which
  // takes longer than the query.
  db->run("SET jit = off");
  const Rows who = db->run("SELECT current_user::text");
  if (!who.ok() || who.count() != 1) return readFailure(*db, who);
  const std::string teacher = who.text(0, 0);
  {
    // Two programs setting up a new database at once: one waits for the other.
    Transaction t(*db);
    if (!t.open()) return failure(Failure::Kind::kCannotRead, "cannot use the shared evidence store " + uri);
    db->run("SELECT pg_advisory_xact_lock(7240518)");
    const Rows has = db->run("SELECT to_regclass('veldra_schema') IS NOT NULL, "
                             "(SELECT COUNT(*) FROM pg_tables WHERE schemaname = current_schema())::bigint");
    if (!has.ok()) return readFailure(*db, has);
    if (has.text(0, 0) != std::string(1, '\1')) {
      if (has.integer(0, 1) != 0)
        return failure(Failure::Kind::kCannotRead, "the database " + uri +
                                                       " holds tables of another program; it was left as it is");
      const Rows made = db->script(kSchema);
      if (!made.ok()) return failure(Failure::Kind::kCannotWrite, "cannot set up the shared evidence store " + uri + ": " + firstLine(made.error()));
    } else {
      const Rows version = db->run("SELECT MAX(version)::bigint FROM veldra_schema");
      if (!version.ok() || version.count() != 1) return readFailure(*db, version);
      const std::int64_t found = version.integer(0, 0);
      if (found > kSchemaVersion)
        return failure(Failure::Kind::kCannotRead,
                       "the shared evidence store " + uri + " was set up by a newer version of this program");
      if (found < 1)
        return failure(Failure::Kind::kCannotRead, "the shared evidence store " + uri + " has tables of a form (" +
                                                       std::to_string(found) +
                                                       ") this program cannot bring up to date; it was left as it is");
      if (found == 1)
        if (const Rows upgraded = db->script(kUpgradeFrom1); !upgraded.ok())
          return failure(Failure::Kind::kCannotWrite,
                         "cannot bring the shared evidence store " + uri + " up to date (it was left as it is): " +
                             db->why(upgraded) +
                             (upgraded.state() == "42501" ? "; the role that owns its tables brings it up to date" : ""));
    }
    const Rows done = t.commit();
    if (!done.ok()) return failure(Failure::Kind::kCannotWrite, "cannot set up the shared evidence store " + uri + ": " + firstLine(done.error()));
  }
  return std::unique_ptr<PostgresStore>(new PostgresStore(std::move(db), teacher));
}

Status PostgresStore::saveProject(const std::string& project, const std::string& term, std::int64_t judgedAtUnixMs,
                                  std::span<const DrawingFacts> drawings, const std::vector<JudgedDrawing>& judged,
                                  const std::vector<std::uint64_t>& commonKeys,
                                  const std::vector<std::optional<FileStamp>>& stamps,
                                  const std::string& featureScheme) {
  Transaction t(*db_);
  if (!t.open()) return failure(Failure::Kind::kCannotWrite, "cannot save the evidence: " + db_->why(db_->run("SELECT 1")));
  const Rows upsert = db_->run(
      "INSERT INTO projects (teacher, name, name_key, term, judged_at, common, drawings) "
      "VALUES ($1, $2, $3, $4, $5, $6, $7) "
      "ON CONFLICT (teacher, name_key) DO UPDATE SET name = excluded.name, term = excluded.term, "
      "judged_at = excluded.judged_at, common = excluded.common, drawings = excluded.drawings RETURNING id",
      {teacher_, project, nameKey(project), term, judgedAtUnixMs, encodeKeys(commonKeys),
       static_cast<std::int64_t>(drawings.size())});
  if (!upsert.ok() || upsert.count() != 1) return writeFailure(*db_, upsert, "cannot save the project");
  const std::int64_t id = upsert.integer(0, 0);
  // The project's row is now this transaction's until it ends: a second
  // run of the same project waits here instead of mixing its drawings in.
  // Its rows as they are: a drawing whose row would be written again as it
  // is keeps it, so that a run on an unchanged class writes next to nothing.
  const Rows before = db_->run("SELECT id, path, digest FROM drawings WHERE project = $1", {id});
  if (!before.ok()) return writeFailure(*db_, before, "cannot read the project's earlier evidence");
  std::unordered_map<std::string, std::vector<std::pair<std::int64_t, std::int64_t>>> rowsAt;  // path -> id, digest
  std::vector<std::int64_t> gone;  // rows to remove: those without a digest, and those not kept
  for (int k = 0; k < before.count(); ++k) {
    if (before.isNull(k, 2)) gone.push_back(before.integer(k, 0));
    else rowsAt[before.text(k, 1)].emplace_back(before.integer(k, 0), before.integer(k, 2));
  }
  // What each drawing's row holds; written again for those not kept.
  struct Row {
    std::vector<std::uint8_t> facts;
    std::optional<std::vector<std::uint8_t>> features;
    std::optional<FileStamp> stamp;
    std::span<const std::uint64_t> sketch;
  };
  auto rowOf = [&](std::size_t i) {
    const DrawingFacts& f = drawings[i];
    Row row;
    row.facts = encodeDrawingFacts(f);
    if (f.readable && i < judged.size()) row.features = encodeFeatures(judged[i].features);
    // Without its stamp a drawing is read again next time.
    if (i < stamps.size() && stamps[i] && !featureScheme.empty()) row.stamp = stamps[i];
    if (i < judged.size()) row.sketch = judged[i].sketch;
    return row;
  };
  auto digestOf = [&](const Row& row) {
    RowDigest d;
    d.add(row.facts).add(row.features.has_value());
    if (row.features) d.add(*row.features);
    d.add(row.stamp.has_value());
    if (row.stamp) d.add(row.stamp->size).add(static_cast<std::uint64_t>(row.stamp->modifiedNs)).add(row.stamp->identity).add(featureScheme);
    d.add(row.sketch.size());
    for (const std::uint64_t v : row.sketch) d.add(v);
    return d.value();
  };
  std::vector<std::size_t> written;
  for (std::size_t i = 0; i < drawings.size(); ++i) {
    const auto same = rowsAt.find(utf8Path(drawings[i].path));
    if (same != rowsAt.end()) {
      auto& rows = same->second;
      const std::int64_t digest = digestOf(rowOf(i));
      const auto row = std::find_if(rows.begin(), rows.end(), [&](const auto& r) { return r.second == digest; });
      if (row != rows.end()) {
        rows.erase(row);
        continue;
      }
    }
    written.push_back(i);
  }
  for (const auto& [path, rows] : rowsAt)
    for (const auto& row : rows) gone.push_back(row.first);
  if (!gone.empty()) {
    // A value the store took for too common may not be once these go.
    const std::string ids = arrayText(std::span<const std::int64_t>(gone));
    for (const char* sql : {"DELETE FROM common_values WHERE value IN "
                            "(SELECT unnest(sketch) FROM sketches WHERE drawing = ANY($1::bigint[]))",
                            "DELETE FROM drawings WHERE id = ANY($1::bigint[])"})
      if (const Rows r = db_->run(sql, {ids}); !r.ok())
        return writeFailure(*db_, r, "cannot replace the project's earlier evidence");
  }
  const auto failed = db_->runEach(
      "WITH d AS (INSERT INTO drawings (project, path, fingerprint_guid, facts, features, file_size, file_modified, "
      "file_identity, feature_scheme, digest) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9, $10) RETURNING id) "
      "INSERT INTO sketches (drawing, project, sketch) SELECT id, $1, $11::bigint[] FROM d "
      "WHERE cardinality($11::bigint[]) > 0",
      written.size(), [&](std::size_t w) {
        const std::size_t i = written[w];
        Row row = rowOf(i);
        const std::int64_t digest = digestOf(row);
        std::vector<Param> params;
        params.reserve(11);
        params.emplace_back(id);
        params.emplace_back(utf8Path(drawings[i].path));
        params.emplace_back(drawings[i].fingerprintGuid);
        params.emplace_back(std::move(row.facts));
        params.push_back(row.features ? Param(std::move(*row.features)) : Param::null());
        params.push_back(row.stamp ? Param(static_cast<std::int64_t>(row.stamp->size)) : Param::null());
        params.push_back(row.stamp ? Param(row.stamp->modifiedNs) : Param::null());
        params.push_back(row.stamp ? Param(row.stamp->identity) : Param::null());
        params.push_back(row.stamp ? Param(featureScheme) : Param::null());
        params.emplace_back(digest);
        params.emplace_back(arrayText(row.sketch));
        return params;
      });
  if (failed) return writeFailure(*db_, *failed, "cannot save a drawing's evidence");
  if (const Rows done = t.commit(); !done.ok()) return writeFailure(*db_, done, "cannot save the evidence");
  return {};
}

Result<std::map<std::string, KeptDrawing>> PostgresStore::keptDrawings(const std::string& project,
                                                                        const std::string& featureScheme) {
  std::map<std::string, KeptDrawing> out;
  if (featureScheme.empty()) return out;
  const Rows r = db_->run(
      "SELECT d.path, d.facts, d.features, d.file_size, d.file_modified, d.file_identity FROM drawings d "
      "JOIN projects p ON p.id = d.project WHERE p.teacher = $1 AND p.name_key = $2 AND d.feature_scheme = $3 "
      "AND d.file_identity IS NOT NULL",
      {teacher_, nameKey(project), featureScheme});
  if (!r.ok()) return readFailure(*db_, r);
  for (int k = 0; k < r.count(); ++k) {
    KeptDrawing kept;
    auto facts = decodeDrawingFacts(r.view(k, 1));
    if (!facts) continue;
    kept.facts = std::move(*facts);
    kept.facts.project.clear();
    if (kept.facts.readable) {
      if (r.isNull(k, 2)) continue;
      auto features = decodeFeatures(r.view(k, 2));
      if (!features) continue;
      kept.features = std::move(*features);
    }
    kept.stamp = FileStamp{static_cast<std::uint64_t>(r.integer(k, 3)), r.integer(k, 4), r.text(k, 5)};
    out.insert_or_assign(r.text(k, 0), std::move(kept));
  }
  return out;
}

Status PostgresStore::removeProject(const std::string& project) {
  Transaction t(*db_);
  const std::string key = nameKey(project);
  for (const char* sql : {"DELETE FROM common_values WHERE value IN (SELECT unnest(s.sketch) FROM sketches s "
                          "JOIN projects p ON p.id = s.project WHERE p.teacher = $1 AND p.name_key = $2)",
                          "DELETE FROM projects WHERE teacher = $1 AND name_key = $2",
                          "DELETE FROM last_runs WHERE teacher = $1 AND project_key = $2"})
    if (const Rows r = db_->run(sql, {teacher_, key}); !r.ok()) return writeFailure(*db_, r, "cannot remove the project");
  if (const Rows done = t.commit(); !done.ok()) return writeFailure(*db_, done, "cannot remove the project");
  return {};
}

Result<std::vector<StoredProject>> PostgresStore::projects() {
  // The teacher's own first, by name; then the others', by teacher.
  const Rows r = db_->run(
      "SELECT p.teacher, p.name, p.term, p.judged_at, p.drawings "
      "FROM projects p ORDER BY p.teacher <> $1, p.teacher, p.name_key",
      {teacher_});
  if (!r.ok()) return readFailure(*db_, r);
  std::vector<StoredProject> out;
  for (int k = 0; k < r.count(); ++k) {
    const std::string owner = r.text(k, 0);
    out.push_back({owner == teacher_ ? r.text(k, 1) : owner + "/" + r.text(k, 1), r.text(k, 2), r.integer(k, 3),
                   static_cast<std::size_t>(r.integer(k, 4))});
  }
  return out;
}

Result<std::unique_ptr<ArchiveSource>> PostgresStore::archive(const std::vector<std::string>& projects) {
  std::vector<std::int64_t> ids;
  std::unordered_map<std::string, std::int64_t> named;
  for (const auto& given : projects) {
    // "PROJECT" is the teacher's own, "TEACHER/PROJECT" another's.
    const auto slash = given.rfind('/');
    const std::string owner = slash == std::string::npos ? teacher_ : given.substr(0, slash);
    const std::string name = slash == std::string::npos ? given : given.substr(slash + 1);
    const Rows r = db_->run("SELECT id, name, term FROM projects WHERE teacher = $1 AND name_key = $2",
                            {owner, nameKey(name)});
    if (!r.ok()) return readFailure(*db_, r);
    if (r.count() != 1)
      return failure(Failure::Kind::kNotFound, "the shared evidence store holds no project " + given + " (judge it first)");
    const std::int64_t id = r.integer(0, 0);
    if (std::find(ids.begin(), ids.end(), id) != ids.end()) continue;
    ids.push_back(id);
    // In the words: whose it is and of which term.
    const std::string term = r.text(0, 2);
    named[r.text(0, 1) + " (" + owner + (term.empty() ? "" : ", " + term) + ")"] = id;
  }
  return std::unique_ptr<ArchiveSource>(std::make_unique<SharedArchive>(*db_, std::move(ids), std::move(named)));
}

Status PostgresStore::saveLastRun(const std::string& project, const Findings& findings) {
  const std::vector<std::uint8_t> bytes = encodeFindings(findings, WithPictures::kYes);
  const Rows r = db_->run(
      "INSERT INTO last_runs (teacher, project_key, run_at, findings) VALUES ($1, $2, $3, $4) "
      "ON CONFLICT (teacher, project_key) DO UPDATE SET run_at = excluded.run_at, findings = excluded.findings",
      {teacher_, nameKey(project), findings.runAtUnixMs, bytes});
  if (!r.ok()) return writeFailure(*db_, r, "cannot keep the result");
  return {};
}

std::optional<Findings> PostgresStore::loadLastRun(const std::string& project, bool withPictures) {
  (void)withPictures;  // kept within the findings here
  const Rows r = db_->run("SELECT findings FROM last_runs WHERE teacher = $1 AND project_key = $2",
                          {teacher_, nameKey(project)});
  if (!r.ok() || r.count() != 1) return std::nullopt;
  auto findings = decodeFindings(r.view(0, 0));
  if (!findings) return findings;
  if (auto kept = marks(project)) applyMarks(*findings, *kept);
  return findings;
}

Result<std::vector<StoredMark>> PostgresStore::marks(const std::string& project) {
  const Rows r = db_->run(
      "SELECT id, path_a, path_b, identity_a, identity_b, digest_a, digest_b, mark, note, verdict, score, marked_at "
      "FROM pair_marks WHERE teacher = $1 AND project_key = $2 ORDER BY path_a, path_b",
      {teacher_, nameKey(project)});
  if (!r.ok()) return readFailure(*db_, r);
  std::vector<StoredMark> out;
  for (int k = 0; k < r.count(); ++k) {
    StoredMark m;
    m.id = r.integer(k, 0);
    m.pathA = r.text(k, 1);
    m.pathB = r.text(k, 2);
    m.identityA = r.text(k, 3);
    m.identityB = r.text(k, 4);
    m.digestA = r.text(k, 5);
    m.digestB = r.text(k, 6);
    const auto mark = r.integer(k, 7), verdict = r.integer(k, 9);
    if (mark < 0 || mark > static_cast<std::int64_t>(ReviewMark::kNotCopy)) continue;
    m.mark = static_cast<ReviewMark>(mark);
    m.note = r.text(k, 8);
    m.verdict = verdict >= 0 && verdict <= static_cast<std::int64_t>(Verdict::kCopy) ? static_cast<Verdict>(verdict)
                                                                                     : Verdict::kNone;
    m.score = static_cast<int>(r.integer(k, 10));
    m.markedAtUnixMs = r.integer(k, 11);
    out.push_back(std::move(m));
  }
  return out;
}

Status PostgresStore::saveMark(const std::string& project, const StoredMark& m) {
  Transaction t(*db_);
  const std::string key = nameKey(project);
  // As in the workspace's store: the mark keeps its number where its
  // drawings lie now, and replaces what was marked there.
  const Rows there = db_->run(
      "DELETE FROM pair_marks WHERE teacher = $1 AND project_key = $2 AND path_a = $3 AND path_b = $4 AND id <> $5",
      {teacher_, key, m.pathA, m.pathB, m.id});
  if (!there.ok()) return writeFailure(*db_, there, "cannot keep the mark");
  const std::vector<Param> values{teacher_, key, m.pathA, m.pathB, m.identityA, m.identityB, m.digestA, m.digestB,
                                  static_cast<std::int64_t>(m.mark), m.note, static_cast<std::int64_t>(m.verdict),
                                  m.score, m.markedAtUnixMs};
  std::vector<Param> update = values;
  update.emplace_back(m.id);
  const Rows updated = db_->run(
      "UPDATE pair_marks SET path_a = $3, path_b = $4, identity_a = $5, identity_b = $6, digest_a = $7, "
      "digest_b = $8, mark = $9, note = $10, verdict = $11, score = $12, marked_at = $13 "
      "WHERE teacher = $1 AND project_key = $2 AND id = $14 RETURNING id",
      update);
  if (!updated.ok()) return writeFailure(*db_, updated, "cannot keep the mark");
  if (updated.count() == 0) {
    const Rows inserted = db_->run(
        "INSERT INTO pair_marks (teacher, project_key, path_a, path_b, identity_a, identity_b, digest_a, digest_b, "
        "mark, note, verdict, score, marked_at) VALUES ($1,$2,$3,$4,$5,$6,$7,$8,$9,$10,$11,$12,$13)",
        values);
    if (!inserted.ok()) return writeFailure(*db_, inserted, "cannot keep the mark");
  }
  if (const Rows done = t.commit(); !done.ok()) return writeFailure(*db_, done, "cannot keep the mark");
  return {};
}

Status PostgresStore::removeMark(const std::string& project, const StoredMark& m) {
  const Rows r = m.id != 0
                     ? db_->run("DELETE FROM pair_marks WHERE teacher = $1 AND project_key = $2 AND id = $3",
                                {teacher_, nameKey(project), m.id})
                     : db_->run("DELETE FROM pair_marks WHERE teacher = $1 AND project_key = $2 AND path_a = $3 "
                                "AND path_b = $4",
                                {teacher_, nameKey(project), m.pathA, m.pathB});
  if (!r.ok()) return writeFailure(*db_, r, "cannot remove the mark");
  return {};
}

Result<std::optional<EvidenceSettings>> PostgresStore::loadSettings(const std::string& project) {
  const Rows r = db_->run(
      "SELECT templates, against, ignored, term, copy, likely_copy FROM project_settings "
      "WHERE teacher = $1 AND project_key = $2",
      {teacher_, nameKey(project)});
  if (!r.ok()) return readFailure(*db_, r);
  if (r.count() == 0) return std::optional<EvidenceSettings>();
  SettingsRow row{r.text(0, 0), r.text(0, 1), r.text(0, 2), r.text(0, 3),
                  {static_cast<int>(r.integer(0, 4)), static_cast<int>(r.integer(0, 5))}};
  return std::optional<EvidenceSettings>(settingsOfRow(row));
}

Status PostgresStore::saveSettings(const std::string& project, const EvidenceSettings& settings) {
  const SettingsRow row = settingsRow(settings);
  const Rows r = db_->run(
      "INSERT INTO project_settings (teacher, project_key, templates, against, ignored, term, copy, likely_copy) "
      "VALUES ($1, $2, $3, $4, $5, $6, $7, $8) ON CONFLICT (teacher, project_key) DO UPDATE SET "
      "templates = excluded.templates, against = excluded.against, ignored = excluded.ignored, term = excluded.term, "
      "copy = excluded.copy, likely_copy = excluded.likely_copy",
      {teacher_, nameKey(project), row.templates, row.against, row.ignored, row.term, row.thresholds.copy,
       row.thresholds.likelyCopy});
  if (!r.ok()) return writeFailure(*db_, r, "cannot keep the settings");
  return {};
}

}  // namespace veldra::evidence
