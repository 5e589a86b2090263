// Speed of the evidence check: a large class judged through the index of
// features, beside a plain comparison of every pair's fingerprint sets in
// the same run; and a class judged against an archive of 100,000 drawings of
// earlier projects kept in the evidence store.
//
// The archive is built on the first run (several minutes) and kept beside
// the benchmark as bench-archive.sqlite, until the rules that make features
// change.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <map>
#include <memory>

#include "classes/class_model.h"
#include "evidence/store/evidence_store.h"
#include "evidence/judging/judge.h"
#include "evidence/judging/parallel.h"

namespace veldra::evidence {
namespace {

using veldra::testing::ClassModel;

const ClassModel& largeClass(int drawings, int entities) {
  static std::map<std::pair<int, int>, std::unique_ptr<ClassModel>> made;
  auto& slot = made[{drawings, entities}];
  if (!slot) slot = std::make_unique<ClassModel>(veldra::testing::makeLargeClass(drawings, entities, 3));
  return *slot;
}

// Moves an entity's points, as a paste that was moved does.
void moveEntity(EntityFacts& e, double dx, double dy) {
  std::size_t i = 0;
  for (const char part : numberLayout(e.kind)) {
    if (part == 'P' && i + 3 <= e.numbers.size()) {
      e.numbers[i] += dx;
      e.numbers[i + 1] += dy;
    }
    i += (part == 'P' || part == 'V') ? 3 : 1;
  }
}

int copiesFound(const Findings& f) { return f.counts().copy + f.counts().likelyCopy; }

// Everything from the drawings' evidence to the findings. Argument 3: 1
// names no template, so that the check finds what the drawings started from.
void BM_JudgeClassThroughIndex(benchmark::State& state) {
  const ClassModel& model = largeClass(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  int found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClassInput input;
    input.project = "BENCH";
    input.drawings = model.drawings;
    if (state.range(2) == 0) input.templates = {model.templateDrawing};
    state.ResumeTiming();
    const Judgement j = judgeClass(std::move(input), {}, nullptr, RunControl{});
    found = copiesFound(j.findings);
    benchmark::DoNotOptimize(found);
  }
  state.counters["drawings"] = static_cast<double>(state.range(0));
  state.counters["copy_pairs"] = found;
}
BENCHMARK(BM_JudgeClassThroughIndex)->Args({500, 1000, 0})->Args({2000, 1000, 0})->Args({2000, 1000, 1})->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The plain way: every pair's fingerprint multisets merged and compared, on
// all cores, the fingerprints made beforehand (not timed).
void BM_AllPairsFingerprintSets(benchmark::State& state) {
  const ClassModel& model = largeClass(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)));
  std::vector<DrawingFeatures> features;
  for (const auto& d : model.drawings) features.push_back(featuresOf(d.entities, Tolerance{}));
  const std::size_t n = features.size();
  std::vector<int> alike(n);
  for (auto _ : state) {
    parallelFor(n, RunControl{}, "", [&](std::size_t i) {
      int count = 0;
      for (std::size_t j = i + 1; j < n; ++j) {
        const auto& a = features[i].geometry;
        const auto& b = features[j].geometry;
        double shared = 0, all = 0;
        std::size_t x = 0, y = 0;
        while (x < a.size() && y < b.size()) {
          if (a[x].key < b[y].key) {
            all += a[x++].count;
          } else if (b[y].key < a[x].key) {
            all += b[y++].count;
          } else {
            shared += std::min(a[x].count, b[y].count);
            all += std::max(a[x].count, b[y].count);
            ++x;
            ++y;
          }
        }
        for (; x < a.size(); ++x) all += a[x].count;
        for (; y < b.size(); ++y) all += b[y].count;
        count += all > 0 && shared / all > 0.9;
      }
      alike[i] = count;
    });
    benchmark::DoNotOptimize(alike.data());
  }
  state.counters["drawings"] = static_cast<double>(n);
}
BENCHMARK(BM_AllPairsFingerprintSets)->Args({500, 1000})->Args({2000, 1000})->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The archive: 50 earlier classes of 2,000 drawings of 100 entities each.
constexpr int kArchiveClasses = 50;
constexpr int kArchiveClassSize = 2000;
constexpr int kArchiveEntities = 100;

std::filesystem::path archiveFile() { return std::filesystem::path(VELDRA_BENCH_DIR) / "bench-archive.sqlite"; }

// A stamp of the rules that make features, sketches and what weighs
// nothing: those of a small class, mixed.
std::string rulesStamp() {
  const ClassModel model = veldra::testing::makeLargeClass(60, kArchiveEntities, 1000u);
  ClassInput input;
  input.project = "STAMP";
  input.drawings = model.drawings;
  input.templates = {model.templateDrawing};
  const Judgement j = judgeClass(std::move(input), {}, nullptr, RunControl{});
  std::uint64_t h = 1469598103934665603ull;
  auto mix = [&](std::uint64_t v) { h = (h ^ v) * 1099511628211ull; };
  for (const auto& d : j.judged) {
    for (const auto& f : d.features.geometry) mix(f.key ^ (std::uint64_t{f.count} << 32));
    for (const auto& f : d.features.handles) mix(f.key ^ (std::uint64_t{f.count} << 32));
    for (const auto v : d.sketch) mix(v);
  }
  for (const auto k : j.commonKeys) mix(k);
  return "rules " + std::to_string(h);
}

std::unique_ptr<SqliteStore> openArchive(std::vector<std::string>& projects) {
  for (int c = 0; c < kArchiveClasses; ++c) projects.push_back("TERM " + std::to_string(c));
  // An archive kept from an earlier build may hold features and sketches
  // made by other rules: each project carries a stamp of the rules it was
  // judged by, and the archive is built again when they changed.
  const std::string stamp = rulesStamp();
  const bool existed = std::filesystem::exists(archiveFile());
  auto opened = SqliteStore::open(archiveFile());
  if (!opened) return nullptr;
  auto store = std::move(opened.value());
  if (existed) {
    const auto kept = store->projects();
    if (kept && kept->size() == static_cast<std::size_t>(kArchiveClasses) &&
        std::all_of(kept->begin(), kept->end(), [&](const StoredProject& p) { return p.term == stamp; }))
      return store;
    store.reset();
    std::filesystem::remove(archiveFile());
    auto again = SqliteStore::open(archiveFile());
    if (!again) return nullptr;
    store = std::move(again.value());
  }
  for (int c = 0; c < kArchiveClasses; ++c) {
    ClassInput input;
    input.project = projects[static_cast<std::size_t>(c)];
    ClassModel model = veldra::testing::makeLargeClass(kArchiveClassSize, kArchiveEntities, 1000u + static_cast<unsigned>(c));
    input.drawings = std::move(model.drawings);
    input.templates = {model.templateDrawing};
    const Judgement j = judgeClass(std::move(input), {}, nullptr, RunControl{});
    if (!store->saveProject(projects[static_cast<std::size_t>(c)], stamp, j.findings.runAtUnixMs, j.findings.drawings,
                            j.judged, j.commonKeys))
      return nullptr;
  }
  return store;
}

// 200 drawings of 1,000 entities, five of them pastes of earlier drawings.
void BM_JudgeAgainstArchive(benchmark::State& state) {
  std::vector<std::string> projects;
  const auto setup = openArchive(projects);
  if (!setup) {
    state.SkipWithError("the archive could not be built");
    return;
  }
  ClassModel current = veldra::testing::makeLargeClass(200, 1000, 77);
  const ClassModel earlier = veldra::testing::makeLargeClass(kArchiveClassSize, kArchiveEntities, 1000u);
  for (int k = 0; k < 5; ++k) {
    auto pasted = earlier.drawings[static_cast<std::size_t>(100 + 37 * k)];
    pasted.facts.name = "pasted" + std::to_string(k) + "/drawing.dwg";
    pasted.facts.fingerprintGuid = "{PASTED-" + std::to_string(k) + "}";
    std::uint64_t handle = 0x200;
    for (auto& e : pasted.entities) {
      if (e.paperSpace) continue;
      e.handle = handle++;
      moveEntity(e, 250.5, -80.25);
    }
    current.drawings[static_cast<std::size_t>(20 * k + 3)] = pasted;
  }
  int found = 0;
  for (auto _ : state) {
    state.PauseTiming();
    ClassInput input;
    input.project = "NOW";
    input.drawings = current.drawings;
    input.templates = {current.templateDrawing};
    state.ResumeTiming();
    auto store = SqliteStore::open(archiveFile());
    auto archive = (*store)->archive(projects);
    const Judgement j = judgeClass(std::move(input), {}, archive->get(), RunControl{});
    found = 0;
    for (const auto& p : j.findings.pairs) found += p.b >= j.findings.projectDrawings && isCopy(p.verdict);
    state.counters["archive_drawings"] = static_cast<double>(j.findings.earlierDrawings);
  }
  state.counters["copies_of_earlier"] = found;
}
BENCHMARK(BM_JudgeAgainstArchive)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

// The plain way against the archive would compare 200 x 100,000 pairs of
// fingerprint sets; timed here on 200 x 2,000 drawings of the archive's
// size and to be multiplied by 50.
void BM_AllPairsAgainstArchiveClass(benchmark::State& state) {
  const ClassModel& current = largeClass(200, 1000);
  const ClassModel earlier = veldra::testing::makeLargeClass(kArchiveClassSize, kArchiveEntities, 1000u);
  std::vector<DrawingFeatures> a, b;
  for (const auto& d : current.drawings) a.push_back(featuresOf(d.entities, Tolerance{}));
  for (const auto& d : earlier.drawings) b.push_back(featuresOf(d.entities, Tolerance{}));
  std::vector<double> best(a.size());
  for (auto _ : state) {
    parallelFor(a.size(), RunControl{}, "", [&](std::size_t i) {
      double top = 0;
      for (const auto& other : b) {
        std::size_t x = 0, y = 0;
        double shared = 0;
        const auto& p = a[i].geometry;
        const auto& q = other.geometry;
        while (x < p.size() && y < q.size()) {
          if (p[x].key < q[y].key) ++x;
          else if (q[y].key < p[x].key) ++y;
          else shared += std::min(p[x++].count, q[y++].count);
        }
        top = std::max(top, shared);
      }
      best[i] = top;
    });
    benchmark::DoNotOptimize(best.data());
  }
}
BENCHMARK(BM_AllPairsAgainstArchiveClass)->Iterations(1)->Unit(benchmark::kMillisecond)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace
}  // namespace veldra::evidence

BENCHMARK_MAIN();
