// A class of 300 judged against a department's shared archive on a
// PostgreSQL server started for the benchmark: 100,000 earlier drawings
// against 1,000,000. Only the drawings the class's rare features point to
// are fetched (through the index of sketches), so the larger archive should
// cost little more than the smaller. Counters: the drawings fetched and the
// archive's size on disk per drawing.
//
// Filling the archives takes minutes; VELDRA_ARCHIVE_SCALE=10 divides both
// by ten for a quick look.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "classes/class_model.h"
#include "evidence/judging/judge.h"
#include "evidence/store/postgres_store.h"
#include "support/postgres_server.h"

namespace veldra::evidence {
namespace {

constexpr int kClassSize = 300;
constexpr int kProjectSize = 2000;  // earlier drawings per project of the archive

veldra::testing::PostgresServer& server() {
  static veldra::testing::PostgresServer running;
  return running;
}

const veldra::testing::ClassModel& theClass() {
  static const auto made = veldra::testing::makeLargeClass(kClassSize, 200, 11);
  return made;
}

Judgement judge(const std::string& project, ArchiveSource* archive) {
  ClassInput input;
  input.project = project;
  input.drawings = theClass().drawings;
  input.templates = {theClass().templateDrawing};
  return judgeClass(std::move(input), {}, archive, RunControl{});
}

// Counts what the judgement fetches of the archive.
class Counted : public ArchiveSource {
 public:
  explicit Counted(ArchiveSource& inner) : inner_(inner) {}
  std::size_t size() override { return inner_.size(); }
  std::vector<std::pair<std::int64_t, int>> similar(std::span<const std::uint64_t> s, int m) override {
    return inner_.similar(s, m);
  }
  std::vector<std::vector<std::pair<std::int64_t, int>>> similarEach(std::span<const std::span<const std::uint64_t>> s,
                                                                    int m) override {
    return inner_.similarEach(s, m);
  }
  std::vector<std::int64_t> withIdentity(const std::string& g) override { return inner_.withIdentity(g); }
  std::vector<std::vector<std::int64_t>> withIdentityEach(std::span<const std::string> g) override {
    return inner_.withIdentityEach(g);
  }
  std::optional<ArchivedDrawing> load(std::int64_t id) override {
    ++loaded;
    return inner_.load(id);
  }
  std::vector<std::uint64_t> commonKeys(const std::string& p) override { return inner_.commonKeys(p); }
  std::size_t loaded = 0;

 private:
  ArchiveSource& inner_;
};

// An archive of `drawings` earlier drawings: each a drawing of the class's
// kind with features of its own (sketch values drawn at random, as other
// exercises' are), and five the same as drawings of this class.
std::unique_ptr<PostgresStore> archiveOf(int drawings, std::vector<std::string>& projects) {
  const std::string database = "archive_" + std::to_string(drawings);
  if (!server().sql("CREATE DATABASE " + database)) return nullptr;
  auto opened = PostgresStore::open(server().uri(database));
  if (!opened) return nullptr;
  auto store = std::move(opened.value());
  const Judgement model = judge("MODEL", nullptr);
  std::mt19937_64 random(static_cast<std::uint64_t>(drawings));
  for (int first = 0, p = 0; first < drawings; first += kProjectSize, ++p) {
    const int n = std::min(kProjectSize, drawings - first);
    std::vector<DrawingFacts> facts;
    std::vector<JudgedDrawing> judged;
    for (int k = 0; k < n; ++k) {
      const std::size_t like = static_cast<std::size_t>(k % kClassSize);
      DrawingFacts f = model.findings.drawings[like];
      f.path = "/archive/" + std::to_string(p) + "/" + std::to_string(k) + ".dwg";
      f.fingerprintGuid = "{" + std::to_string(first + k) + "}";
      JudgedDrawing j = model.judged[like];
      const bool planted = p == 0 && k < 5;
      if (!planted)
        for (auto& v : j.sketch) v = random();
      facts.push_back(std::move(f));
      judged.push_back(std::move(j));
    }
    projects.push_back("TERM " + std::to_string(p));
    if (!store->saveProject(projects.back(), "earlier", 0, facts, judged, model.commonKeys)) return nullptr;
  }
  // As the server's own upkeep leaves a filled archive: the index's pending
  // entries merged, the planner's figures taken.
  if (!server().sql("VACUUM ANALYZE", database)) return nullptr;
  return store;
}

void BM_ClassAgainstSharedArchive(benchmark::State& state) {
  if (!server().running()) {
    state.SkipWithError(server().skipReason().c_str());
    return;
  }
  const char* scale = std::getenv("VELDRA_ARCHIVE_SCALE");
  const int drawings = static_cast<int>(state.range(0)) / std::max(1, scale ? std::atoi(scale) : 1);
  static std::map<int, std::pair<std::unique_ptr<PostgresStore>, std::vector<std::string>>> archives;
  auto& [store, projects] = archives[drawings];
  if (!store) store = archiveOf(drawings, projects);
  if (!store) {
    state.SkipWithError("the archive could not be filled");
    return;
  }
  auto archive = store->archive(projects);
  if (!archive) {
    state.SkipWithError(archive.message().c_str());
    return;
  }
  Counted counted(**archive);
  std::size_t copiesFound = 0;
  for (auto _ : state) {
    const Findings f = judge("CAD1", &counted).findings;
    copiesFound = 0;
    for (const auto& p : f.pairs) copiesFound += p.b >= f.projectDrawings && isCopy(p.verdict);
  }
  state.counters["archive"] = drawings;
  state.counters["fetched"] = static_cast<double>(counted.loaded) / static_cast<double>(state.iterations());
  state.counters["copies_across"] = static_cast<double>(copiesFound);
  // The database's size on disk over its drawings, and its index of sketches'.
  const std::string sizeFile = (server().folder() / "size.txt").string();
  if (server().sql("\\t on\n\\a\n\\f ' '\n\\o " + sizeFile +
                       "\nSELECT pg_database_size(current_database()), pg_relation_size('sketches_by_value');",
                   "archive_" + std::to_string(drawings))) {
    std::ifstream in(sizeFile);
    double bytes = 0, index = 0;
    in >> bytes >> index;
    state.counters["bytes_per_drawing"] = bytes / drawings;
    state.counters["index_bytes_per_drawing"] = index / drawings;
  }
}
BENCHMARK(BM_ClassAgainstSharedArchive)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace
}  // namespace veldra::evidence

BENCHMARK_MAIN();
