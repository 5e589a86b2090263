// Speed of the checks and of the collection pass, on the sample drawings of
// tests/data/drawings.

#include <benchmark/benchmark.h>

#include <ctime>
#include <fstream>
#include <random>

#include "app/textfile.h"
#include "collect/native_source.h"
#include "compare/checks.h"
#include "compare/handle_match.h"
#include "platform/platform.h"
#include "run/collection_pass.h"
#include "run/throttled_view.h"
#include "silent_run.h"

namespace veldra {
namespace {


// A workspace under the temporary folder, removed at the end.
struct BenchWorkspace {
  BenchWorkspace() {
    base = std::filesystem::temp_directory_path() / ("veldra-bench-" + std::to_string(std::random_device{}()));
    for (const char* f : {"projects", "compares", "time conflicts", "handle conflicts", "date conflicts", "resources"})
      std::filesystem::create_directories(base / f);
  }
  ~BenchWorkspace() {
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
  }
  std::filesystem::path base;
};

// Drawings of one course started from one template: every student's lines
// get handles from the same seed upwards, with gaps where other objects took
// a handle, so most handles recur in most drawings. Every 50th drawing is a
// copy of the one before.
DrawingTable courseTable(int drawings, int handlesEach, unsigned seed) {
  std::mt19937 random(seed);
  DrawingTable table(static_cast<std::size_t>(drawings));
  for (int i = 0; i < drawings; ++i) {
    const auto u = static_cast<std::size_t>(i);
    table.names[u] = "STUDENT" + std::to_string(i);
    table.times[u] = 2453585 + static_cast<double>(random() % 100000) / 86400.0;
    if (i % 50 == 49) {
      table.handles[u] = table.handles[u - 1];
      table.times[u] = table.times[u - 1];
      continue;
    }
    std::uint64_t handle = 0x2A0 + random() % 64;
    std::string& list = table.handles[u];
    for (int k = 0; k < handlesEach; ++k) {
      handle += 1 + (random() % 10 < 3 ? random() % 4 : 0);
      list += veldra::dwg::handleText(handle);
      list += '$';
    }
  }
  return table;
}

struct Bench {
  BenchWorkspace workspace;
  Workspace ws{workspace.base};
  RunOptions options;
  RunState state;
  bench::SilentView shown;
  ThrottledRunView view{shown};
  SystemRunClock clock;
  SilentAlarm sound;
  RunContext context() {
    state = RunState{};
    return RunContext{ws, options, state, view, clock, sound};
  }
  // One check as the driver runs it: judged, then its report written.
  int runCheck(const Check& check, const DrawingTable& table) {
    auto run = context();
    const auto findings = check.judge(CheckInput{table, options, clock}, run.progress);
    FileReplacement report(check.reportFile(ws, options.project));
    check.writeReport(report.stream(), *findings, table);
    bench::orStop(report.commit());
    return findings->conflicts();
  }
};

// Arguments: drawings, handles each, the percentage asked for.
void BM_HandleCheckLargeCourse(benchmark::State& s) {
  const DrawingTable table = courseTable(static_cast<int>(s.range(0)), static_cast<int>(s.range(1)), 3);
  Bench bench;
  bench.options.project = "BENCH";
  bench.options.entity = "LINE";
  bench.options.percent = std::to_string(s.range(2));
  int conflicts = 0;
  for (auto _ : s) conflicts = bench.runCheck(handleCheck(), table);
  s.counters["conflicts"] = conflicts;
}
BENCHMARK(BM_HandleCheckLargeCourse)
    ->Args({2000, 1000, 100})->Args({2000, 1000, 90})->Args({2000, 100, 100})->Args({32767, 100, 100})
    ->Unit(benchmark::kMillisecond)->Iterations(3);

// The same 200 x 500 course counted pair by pair, fast and by list search.
void BM_MatchCountsFast(benchmark::State& s) {
  const DrawingTable table = courseTable(200, 500, 5);
  long long total = 0;
  for (auto _ : s) {
    const HandleMatcher matcher(table.handles);
    std::vector<int> counts;
    for (int i = 0; i + 1 < matcher.size(); ++i) {
      matcher.matchesFrom(i, counts);
      for (int j = i + 1; j < matcher.size(); ++j) total += counts[static_cast<std::size_t>(j)];
    }
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_MatchCountsFast)->Unit(benchmark::kMillisecond);

void BM_MatchCountsListSearch(benchmark::State& s) {
  const DrawingTable table = courseTable(200, 500, 5);
  long long total = 0;
  for (auto _ : s) {
    for (std::size_t i = 0; i + 1 < table.size(); ++i) {
      const auto list1 = handleTokens(table.handles[i]);
      for (std::size_t j = i + 1; j < table.size(); ++j)
        total += listMatchCount(list1, handleTokens(table.handles[j]));
    }
  }
  benchmark::DoNotOptimize(total);
}
BENCHMARK(BM_MatchCountsListSearch)->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_TimeCheckFullTable(benchmark::State& s) {
  const int n = static_cast<int>(s.range(0));
  std::mt19937 random(9);
  DrawingTable table(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    table.names[u] = "DRAWING" + std::to_string(i);
    // Mostly distinct moments; every 100th drawing repeats an earlier one.
    table.times[u] = i % 100 == 99 ? table.times[u - 7]
                                   : 2453000 + static_cast<double>(random() % 100000000) / 86400000.0 * 400;
  }
  Bench bench;
  bench.options.project = "BENCH";
  int conflicts = 0;
  for (auto _ : s) conflicts = bench.runCheck(timeCheck(), table);
  s.counters["conflicts"] = conflicts;
}
BENCHMARK(BM_TimeCheckFullTable)->Arg(32767)->Unit(benchmark::kMillisecond);

// 20,000 drawings handed in as 40 groups of 500 identical copies: about five
// million time conflicts, a report of some 450 MB written as it is formed.
void BM_TimeReportManyCopies(benchmark::State& s) {
  const int n = 20000;
  const int groupSize = static_cast<int>(s.range(0));
  DrawingTable table(static_cast<std::size_t>(n));
  for (int i = 0; i < n; ++i) {
    const auto u = static_cast<std::size_t>(i);
    table.names[u] = "STUDENT" + std::to_string(i);
    table.times[u] = 2453585.5 + (i / groupSize) / 24.0;
  }
  Bench bench;
  bench.options.project = "BENCH";
  int conflicts = 0;
  for (auto _ : s) conflicts = bench.runCheck(timeCheck(), table);
  s.counters["conflicts"] = conflicts;
  s.counters["report MB"] =
      static_cast<double>(std::filesystem::file_size(bench.ws.timeReport("BENCH"))) / (1 << 20);
}
BENCHMARK(BM_TimeReportManyCopies)->Arg(500)->Unit(benchmark::kMillisecond)->Iterations(1);

// The native source without reading ahead, for comparison.
class SequentialSource : public NativeDrawingSource {
 public:
  void readAhead(const std::vector<std::filesystem::path>&) override {}
};

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Processor seconds to read every drawing of `folder` into memory one after
// another, and nothing else: the best of five rounds.
double readingFloor(const std::filesystem::path& folder, long long& count) {
  std::vector<std::filesystem::path> files;
  for (const auto& item : std::filesystem::directory_iterator(folder))
    if (item.path().extension() == ".dwg") files.push_back(item.path());
  count = static_cast<long long>(files.size());
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const double start = cpuSeconds();
    for (const auto& file : files) {
      std::ifstream in(file, std::ios::binary | std::ios::ate);
      std::vector<char> bytes(static_cast<std::size_t>(in.tellg()));
      in.seekg(0);
      in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
      benchmark::DoNotOptimize(bytes.data());
    }
    best = std::min(best, cpuSeconds() - start);
  }
  return best;
}

// Argument 1: drawings are read ahead on worker threads; 0: one by one.
// Beside drawings/s, "floor drawings/s" is how many drawings a second could
// merely be read into memory, and "x_floor" how many times that the pass
// takes, both in processor time of all threads (measured in the same run:
// a busy machine disturbs processor time far less than the clock).
void BM_CollectionPassSampleDrawings(benchmark::State& s) {
  const auto drawings = std::filesystem::path(VELDRA_SOURCE_DIR) / "tests" / "data" / "drawings";
  if (!std::filesystem::is_directory(drawings)) {
    s.SkipWithError("no sample drawings");
    return;
  }
  Bench bench;
  bench.options.project = "BENCH";
  bench.options.entity = "POINT";
  bench.options.locations = {"-" + drawings.string()};
  NativeDrawingSource aheadSource;
  SequentialSource sequentialSource;
  DrawingSource& source = s.range(0) ? static_cast<DrawingSource&>(aheadSource) : sequentialSource;
  bench::SilentMessages messages;
  long long visited = 0;
  const double start = cpuSeconds();
  for (auto _ : s) {
    auto run = bench.context();
    visited += runCollectionPass(run, source, messages).visited;
  }
  const double spent = cpuSeconds() - start;
  s.counters["drawings/s"] = benchmark::Counter(static_cast<double>(visited), benchmark::Counter::kIsRate);
  long long count = 0;
  const double floor = readingFloor(drawings, count);
  if (visited > 0 && floor > 0) {
    s.counters["floor drawings/s"] = static_cast<double>(count) / floor;
    s.counters["x_floor"] = (spent / static_cast<double>(visited)) / (floor / static_cast<double>(count));
  }
}
BENCHMARK(BM_CollectionPassSampleDrawings)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veldra

int main(int argc, char** argv) {
  // As the programs that read drawings do.
  veldra::keepFreedMemoryForReuse();
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
