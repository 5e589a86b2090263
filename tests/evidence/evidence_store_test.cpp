#include <gtest/gtest.h>
#include <sqlite3.h>

#include <algorithm>

#include "classes/class_model.h"
#include "evidence/store/evidence_store.h"
#include "evidence/store/findings_codec.h"
#include "platform/platform.h"
#include "support/postgres_server.h"
#include "judged_class.h"
#include "support/temp_dir.h"
#ifdef VELDRA_POSTGRESQL
#include "evidence/store/postgres_store.h"
#endif

namespace veldra::evidence {
namespace {

using veldra::testing::ClassModel;
using veldra::testing::ClassPlan;

bool save(EvidenceStore& store, const std::string& project, const Judgement& j) {
  const Status saved =
      store.saveProject(project, "autumn", j.findings.runAtUnixMs, j.findings.drawings, j.judged, j.commonKeys);
  EXPECT_TRUE(saved) << saved.message();
  return saved.ok();
}

// The store opened, or none when it could not be.
template <class Store, class Opened>
std::unique_ptr<Store> opened(Opened store) {
  EXPECT_TRUE(store) << store.message();
  return store ? std::unique_ptr<Store>(std::move(store.value())) : nullptr;
}

class EvidenceStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<SqliteStore> open() { return opened<SqliteStore>(SqliteStore::open(file)); }
  veldra::testing::TempDir dir;
  std::filesystem::path file = dir.path() / "evidence.sqlite";
};

#ifdef VELDRA_POSTGRESQL
// One server for every test of the shared store; a database per test.
veldra::testing::PostgresServer& server() {
  static veldra::testing::PostgresServer running;
  return running;
}
#endif

// The tests every engine of the store passes alike: the workspace's SQLite
// file and a shared PostgreSQL database.
class StoreEngines : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    if (GetParam() == "postgresql") {
#ifdef VELDRA_POSTGRESQL
      if (!server().running()) GTEST_SKIP() << server().skipReason();
      static int made = 0;
      database = "store_test_" + std::to_string(++made);
      ASSERT_TRUE(server().sql("CREATE DATABASE " + database));
#else
      GTEST_SKIP() << "built without libpq";
#endif
    }
  }
  std::unique_ptr<EvidenceStore> open() {
#ifdef VELDRA_POSTGRESQL
    if (GetParam() == "postgresql") return opened<EvidenceStore>(PostgresStore::open(server().uri(database)));
#endif
    return opened<EvidenceStore>(SqliteStore::open(file));
  }
  veldra::testing::TempDir dir;
  std::filesystem::path file = dir.path() / "evidence.sqlite";
  std::string database;
};

INSTANTIATE_TEST_SUITE_P(Engines, StoreEngines, ::testing::Values("sqlite", "postgresql"));

// A student hands in last year's drawing of the same exercise, pasted and
// moved; last year's drawings are gone from the disk, only the store has them.
TEST_P(StoreEngines, FindsACopyOfAnEarlierTermWithoutItsDrawings) {
  ClassPlan lastYear = veldra::testing::typicalClass(7);
  const ClassModel earlier = veldra::testing::makeClass(lastYear);
  {
    auto store = open();
    ASSERT_TRUE(store);
    ASSERT_TRUE(save(*store, "CAD1 2023", veldra::testing::judgeModel(earlier, true, {}, nullptr, "CAD1 2023")));
  }
  ClassPlan thisYear = lastYear;
  thisYear.studentSeed = 99;
  thisYear.daysLater = 365;
  thisYear.copies = {{veldra::testing::CopyKind::kPastedMoved, 2, 3}};
  ClassModel current = veldra::testing::makeClass(thisYear);
  // Student 5 pastes in what olga handed in last year.
  ClassPlan archived = lastYear;
  archived.copies = {{veldra::testing::CopyKind::kPastedRenamed, 14, 5}};
  current.drawings[5] = veldra::testing::makeClass(archived).drawings[5];
  current.drawings[5].facts.created->unixMs += 365LL * 86400000;
  current.drawings[5].facts.fingerprintGuid = "{0C0FFEE0-0000-4000-8000-000000000005}";
  current.drawings[5].facts.versionGuid = "{0C0FFEE0-0000-4000-8000-000000000006}";

  auto store = open();
  ASSERT_TRUE(store);
  auto archive = store->archive({"cad1 2023"});  // names are matched as the project list matches them
  ASSERT_TRUE(archive) << archive.message();
  EXPECT_EQ((*archive)->size(), earlier.drawings.size());
  const Findings f = veldra::testing::judgeModel(current, true, {}, archive->get(), "CAD1 2024").findings;
  EXPECT_EQ(f.earlierDrawings, earlier.drawings.size());

  std::vector<const PairFinding*> acrossTerms;
  for (const auto& p : f.pairs)
    if (p.b >= f.projectDrawings && isCopy(p.verdict)) acrossTerms.push_back(&p);
  ASSERT_EQ(acrossTerms.size(), 1u);
  const PairFinding& p = *acrossTerms.front();
  EXPECT_EQ(p.a, 5u);
  // Named with the earlier project (and in a shared store its teacher and term).
  const std::string earlierName = displayName(f.drawings[p.b]);
  EXPECT_TRUE(earlierName.starts_with("CAD1 2023") && earlierName.ends_with(": olga/drawing.dwg")) << earlierName;
  ASSERT_TRUE(p.likelySource);
  EXPECT_EQ(*p.likelySource, p.b);
  EXPECT_NE(p.group, 0);
  // This term's own copy is still found, and honest students of both terms,
  // drawing the same exercise, are not copies of each other.
  EXPECT_TRUE(std::any_of(f.pairs.begin(), f.pairs.end(),
                          [](const PairFinding& q) { return q.a == 2 && q.b == 3 && q.verdict == Verdict::kCopy; }));
}

TEST_P(StoreEngines, ReplacesAProjectWholeAndKeepsTheTeachersChoices) {
  const ClassModel model = veldra::testing::makeClass(veldra::testing::typicalClass(2));
  const Judgement j = veldra::testing::judgeModel(model, true, {}, nullptr, "CAD1");
  {
    auto store = open();
    ASSERT_TRUE(store);
    ASSERT_TRUE(save(*store, "CAD1", j));
    ASSERT_TRUE(save(*store, "CAD1", j));
    EvidenceSettings s;
    s.templates = {"/templates/cad1.dwg", std::filesystem::path(u8"/templates/ä b.dwg")};
    s.against = {"CAD1 2023"};
    s.ignoredAuthors = {"lab3", "student"};
    s.term = "spring";
    const Status saved = store->saveSettings("CAD1", s);
    ASSERT_TRUE(saved) << saved.message();
  }
  auto store = open();
  ASSERT_TRUE(store);
  const auto projects = store->projects().value();
  ASSERT_EQ(projects.size(), 1u);
  EXPECT_EQ(projects[0].name, "CAD1");
  EXPECT_EQ(projects[0].term, "autumn");
  EXPECT_EQ(projects[0].drawings, model.drawings.size());
  auto loaded = store->loadSettings("CAD1");
  ASSERT_TRUE(loaded) << loaded.message();
  std::optional<EvidenceSettings> settings = loaded.value();
  ASSERT_TRUE(settings);
  EXPECT_EQ(settings->templates.back(), std::filesystem::path(u8"/templates/ä b.dwg"));
  EXPECT_EQ(settings->ignoredAuthors, (std::vector<std::string>{"lab3", "student"}));
  EXPECT_EQ(settings->term, "spring");
  loaded = store->loadSettings("OTHER");
  ASSERT_TRUE(loaded);
  EXPECT_FALSE(loaded.value());

  const auto missing = store->archive({"CAD1", "NOSUCH"});
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.kind(), Failure::Kind::kNotFound);
  EXPECT_NE(missing.message().find("evidence store holds no project NOSUCH (judge it first)"), std::string::npos);
  const Status removed = store->removeProject("CAD1");
  ASSERT_TRUE(removed) << removed.message();
  EXPECT_TRUE(store->projects().value().empty());
}

#ifdef VELDRA_POSTGRESQL
// A shared database in the first form of its tables (each drawing's sketch
// on its row) is brought up to date by the first program that may alter it,
// and answers as before; judged again, each drawing is kept once.
TEST(SharedStoreForm, TheFirstFormIsBroughtUpToDate) {
  if (!server().running()) GTEST_SKIP() << server().skipReason();
  ASSERT_TRUE(server().sql("CREATE DATABASE first_form"));
  ASSERT_TRUE(server().addTeacher("dora", "first_form"));
  const ClassModel model = veldra::testing::makeClass(veldra::testing::typicalClass(3));
  const Judgement j = veldra::testing::judgeModel(model, true, {}, nullptr, "CAD1");
  std::vector<std::span<const std::uint64_t>> sketches;
  for (const auto& d : j.judged) sketches.emplace_back(d.sketch);
  auto answers = [&](EvidenceStore& store) {
    auto archive = store.archive({"CAD1"});
    EXPECT_TRUE(archive) << archive.message();
    std::vector<std::vector<int>> shared;
    if (!archive) return shared;
    EXPECT_EQ((*archive)->size(), model.drawings.size());
    for (const auto& found : (*archive)->similarEach(sketches, 2)) {
      shared.emplace_back();
      for (const auto& [id, count] : found) shared.back().push_back(count);
      std::sort(shared.back().begin(), shared.back().end());
    }
    EXPECT_TRUE((*archive)->withIdentity(std::string("{0\0}", 4)).empty());
    EXPECT_EQ((*archive)->failure(), "");
    return shared;
  };
  std::vector<std::vector<int>> before;
  {
    auto store = PostgresStore::open(server().uri("first_form"));
    ASSERT_TRUE(store) << store.message();
    ASSERT_TRUE(save(**store, "CAD1", j));
    before = answers(**store);
    ASSERT_FALSE(before.at(0).empty());
  }
  ASSERT_TRUE(server().sql("ALTER TABLE drawings ADD COLUMN sketch BIGINT[] NOT NULL DEFAULT '{}';"
                           "UPDATE drawings d SET sketch = s.sketch FROM sketches s WHERE s.drawing = d.id;"
                           "CREATE INDEX drawings_by_sketch ON drawings USING gin (sketch);"
                           "ALTER TABLE drawings DROP COLUMN digest; ALTER TABLE projects DROP COLUMN drawings;"
                           "DROP TABLE sketches, common_values; UPDATE veldra_schema SET version = 1;",
                           "first_form"));
  const auto refused = PostgresStore::open(server().uri("first_form", "dora"));
  ASSERT_FALSE(refused);
  EXPECT_NE(refused.message().find("the role that owns its tables brings it up to date"), std::string::npos)
      << refused.message();
  for (int run = 0; run < 2; ++run) {
    auto store = PostgresStore::open(server().uri("first_form"));
    ASSERT_TRUE(store) << store.message();
    EXPECT_EQ((*store)->projects().value().at(0).drawings, model.drawings.size());
    EXPECT_EQ(answers(**store), before);
    ASSERT_TRUE(save(**store, "CAD1", j));
    EXPECT_EQ(answers(**store), before);
  }
}
#endif

std::map<std::string, std::int64_t> rowsOf(sqlite3* db) {
  std::map<std::string, std::int64_t> rows;
  sqlite3_stmt* q = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, "SELECT path, id FROM drawings", -1, &q, nullptr), SQLITE_OK);
  while (sqlite3_step(q) == SQLITE_ROW)
    rows[reinterpret_cast<const char*>(sqlite3_column_text(q, 0))] = sqlite3_column_int64(q, 1);
  sqlite3_finalize(q);
  return rows;
}

std::int64_t countOf(sqlite3* db, const char* sql) {
  sqlite3_stmt* q = nullptr;
  EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &q, nullptr), SQLITE_OK);
  const std::int64_t n = sqlite3_step(q) == SQLITE_ROW ? sqlite3_column_int64(q, 0) : -1;
  sqlite3_finalize(q);
  return n;
}

// Judged again, an unchanged class leaves its rows as they are; a drawing
// that changed is written anew and one that went is removed, its sketch
// with it, and the class is found by later terms as before.
TEST_F(EvidenceStoreTest, SavedAgainOnlyWhatChangedIsWritten) {
  const ClassModel model = veldra::testing::makeClass(veldra::testing::typicalClass(4));
  Judgement j = veldra::testing::judgeModel(model, true, {}, nullptr, "CAD1");
  auto store = open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(save(*store, "CAD1", j));
  const auto first = rowsOf(store->handle());
  ASSERT_EQ(first.size(), model.drawings.size());
  ASSERT_GT(countOf(store->handle(), "SELECT COUNT(*) FROM sketch"), 0);
  const int changesBefore = sqlite3_total_changes(store->handle());
  ASSERT_TRUE(save(*store, "CAD1", j));
  EXPECT_EQ(rowsOf(store->handle()), first);
  EXPECT_EQ(sqlite3_total_changes(store->handle()) - changesBefore, 1) << "only the project's time is written";

  const std::string changed = utf8Path(j.findings.drawings[3].path);
  const std::string removed = utf8Path(j.findings.drawings.back().path);
  j.findings.drawings[3].author = "someone else";
  j.findings.drawings.pop_back();
  j.judged.pop_back();
  ASSERT_TRUE(save(*store, "CAD1", j));
  const auto second = rowsOf(store->handle());
  ASSERT_EQ(second.size(), first.size() - 1);
  EXPECT_FALSE(second.count(removed));
  for (const auto& [path, id] : second) {
    if (path == changed) {
      EXPECT_NE(id, first.at(path));
    } else {
      EXPECT_EQ(id, first.at(path)) << path;
    }
  }
  EXPECT_EQ(countOf(store->handle(), "SELECT COUNT(*) FROM sketch WHERE drawing NOT IN (SELECT id FROM drawings)"), 0);
  EXPECT_EQ(countOf(store->handle(),
                    ("SELECT COUNT(*) FROM sketch WHERE drawing = " + std::to_string(second.at(changed))).c_str()),
            static_cast<std::int64_t>(j.judged[3].sketch.size()));
  auto archive = store->archive({"CAD1"});
  ASSERT_TRUE(archive) << archive.message();
  EXPECT_EQ((*archive)->size(), model.drawings.size() - 1);
  const auto loaded = (*archive)->load(second.at(changed));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->facts.author, "someone else");
}

// A run that found what the last one did is kept with its new time; one
// that found something else replaces it whole.
TEST_P(StoreEngines, TheLastRunKeepsItsTimeAndWhatItFound) {
  const ClassModel model = veldra::testing::makeClass(veldra::testing::typicalClass(5));
  Findings f = veldra::testing::judgeModel(model, true, {}, nullptr, "CAD1").findings;
  ASSERT_FALSE(f.pairs.empty());
  auto store = open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(store->saveLastRun("CAD1", f).ok());
  f.runAtUnixMs += 86400000;
  ASSERT_TRUE(store->saveLastRun("CAD1", f).ok());
  auto kept = store->loadLastRun("cad1");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->runAtUnixMs, f.runAtUnixMs);
  EXPECT_EQ(encodeFindings(*kept), encodeFindings(f));
  f.pairs.front().score -= 1;
  f.term = "spring";
  ASSERT_TRUE(store->saveLastRun("CAD1", f).ok());
  kept = store->loadLastRun("CAD1");
  ASSERT_TRUE(kept);
  EXPECT_EQ(kept->pairs.front().score, f.pairs.front().score);
  EXPECT_EQ(kept->term, "spring");
}

// A save that fails half-way (a full disk, a lock) leaves the project as it
// was kept before: the earlier judgement, whole, still found by later terms.
TEST_F(EvidenceStoreTest, AFailedSaveLeavesTheKeptEvidenceWhole) {
  const ClassModel first = veldra::testing::makeClass(veldra::testing::typicalClass(8));
  ClassPlan otherPlan = veldra::testing::typicalClass(8);
  otherPlan.studentSeed = 5;
  otherPlan.students = 12;
  const ClassModel second = veldra::testing::makeClass(otherPlan);
  auto store = open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(save(*store, "CAD1", veldra::testing::judgeModel(first, true, {}, nullptr, "CAD1")));
  const auto count = [&](const char* sql) { return countOf(store->handle(), sql); };
  const std::int64_t sketches = count("SELECT COUNT(*) FROM sketch");
  ASSERT_GT(sketches, 0);
  // The disk fills after a few drawings of the new judgement were written.
  ASSERT_EQ(sqlite3_exec(store->handle(),
                         "CREATE TEMP TRIGGER full BEFORE INSERT ON drawings WHEN "
                         "(SELECT COUNT(*) FROM drawings WHERE project = NEW.project) >= 5 BEGIN SELECT RAISE(ABORT, 'database or disk is full'); END",
                         nullptr, nullptr, nullptr),
            SQLITE_OK);
  const Judgement j = veldra::testing::judgeModel(second, true, {}, nullptr, "CAD1");
  for (const std::string project : {"CAD1", "CAD2"}) {
    const Status full =
        store->saveProject(project, "spring", j.findings.runAtUnixMs, j.findings.drawings, j.judged, j.commonKeys);
    ASSERT_FALSE(full) << project;
    EXPECT_EQ(full.kind(), Failure::Kind::kCannotWrite) << project;
    EXPECT_EQ(full.message(), "cannot save a drawing's evidence: database or disk is full") << project;
  }
  ASSERT_EQ(sqlite3_exec(store->handle(), "DROP TRIGGER full", nullptr, nullptr, nullptr), SQLITE_OK);

  const auto projects = store->projects().value();
  ASSERT_EQ(projects.size(), 1u);
  EXPECT_EQ(projects[0].term, "autumn");
  EXPECT_EQ(projects[0].drawings, first.drawings.size());
  EXPECT_EQ(count("SELECT COUNT(*) FROM sketch"), sketches);
  // And the store still works: the same drawings again are found in it.
  auto archive = store->archive({"CAD1"});
  ASSERT_TRUE(archive) << archive.message();
  const Findings f = veldra::testing::judgeModel(first, true, {}, archive->get(), "CAD9").findings;
  std::size_t matched = 0;
  for (const auto& p : f.pairs) matched += p.b >= f.projectDrawings && p.verdict == Verdict::kCopy;
  EXPECT_GE(matched, first.drawings.size());
  ASSERT_TRUE(save(*store, "CAD1", j));
  EXPECT_EQ(store->projects().value()[0].drawings, second.drawings.size());
}

TEST_F(EvidenceStoreTest, LeavesAFileThatIsNoStoreAsItIs) {
  veldra::testing::TempDir other;
  const auto text = other.write("notes.sqlite", "these are a teacher's notes");
  // None of them can be opened, and each says which file it was.
  auto unopened = [](const std::filesystem::path& notAStore) {
    const auto store = SqliteStore::open(notAStore);
    EXPECT_FALSE(store) << notAStore;
    if (store) return;
    EXPECT_EQ(store.kind(), Failure::Kind::kCannotRead) << notAStore;
    EXPECT_NE(store.message().find(utf8FromPath(notAStore)), std::string::npos) << store.message();
  };
  unopened(text);
  EXPECT_EQ(veldra::testing::slurp(text), "these are a teacher's notes");
  // Another program's database is not taken over either.
  {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(utf8FromPath(other.path() / "other.sqlite").c_str(), &db), SQLITE_OK);
    sqlite3_exec(db, "CREATE TABLE marks (student TEXT, mark INTEGER)", nullptr, nullptr, nullptr);
    sqlite3_close(db);
  }
  unopened(other.path() / "other.sqlite");
  unopened(other.path() / "no folder" / "evidence.sqlite");
}

TEST_F(EvidenceStoreTest, PassesOverEarlierDrawingsWhoseFeaturesAreDamaged) {
  const ClassModel model = veldra::testing::makeClass(veldra::testing::typicalClass(5));
  auto store = open();
  ASSERT_TRUE(store);
  ASSERT_TRUE(save(*store, "OLD", veldra::testing::judgeModel(model, true, {}, nullptr, "OLD")));
  ASSERT_EQ(sqlite3_exec(store->handle(), "UPDATE drawings SET features = x'0102'", nullptr, nullptr, nullptr),
            SQLITE_OK);
  auto archive = store->archive({"OLD"});
  ASSERT_TRUE(archive);
  // The same drawings again: everything would match, nothing can be read.
  const Findings f = veldra::testing::judgeModel(model, true, {}, archive->get(), "NEW").findings;
  for (const auto& p : f.pairs) EXPECT_LT(p.b, f.projectDrawings);
  ASSERT_FALSE(f.notes.empty());
  EXPECT_NE(f.notes.back().find("could not be read back from the evidence store"), std::string::npos);
}

}  // namespace
}  // namespace veldra::evidence
