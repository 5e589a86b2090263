// What collecting and judging a class costs as the class grows, as a ratio
// to merely reading its files ("x_floor", processor time of all threads in
// the same run): listing its folders, the collection pass, the evidence
// check with an empty store and again with nothing changed. The class is
// written once per size with the test writer, 30 students to a folder,
// and removed at the end.
//
//   bench_class_scale --benchmark_filter='/2000'     one size per process,
//                                                   for its "peak MB"
//   VELDRA_SCALE_LIMIT=1 bench_class_scale --benchmark_filter='/32767'
//       the largest class a collection holds (about 400 MB of drawings
//       written to the temporary folder, and some minutes): only when asked
//   VELDRA_SCALE_WRITE=FOLDER bench_class_scale 2000 [nested]
//       writes such a class into FOLDER (with "nested", one folder per
//       student), for scripts/against-cat.sh

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>
#include <fstream>
#include <map>
#include <memory>
#include <random>

#include "app/textfile.h"
#include "app/workspace.h"
#include "classes/class_model.h"
#include "classes/drawing_plan.h"
#include "collect/native_source.h"
#include "evidence/run/evidence_run.h"
#include "platform/file_facts.h"
#include "platform/platform.h"
#include "projects/folder_walk.h"
#include "run/collection_pass.h"
#include "run/throttled_view.h"
#include "silent_run.h"

namespace veldra {
namespace {

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

enum class Layout { kFlat, kGroupsOf30, kFolderEach };

// Writes `students` drawings of one class into `folder`, in the releases a
// class hands in.
std::vector<std::filesystem::path> writeClass(const std::filesystem::path& folder, int students, Layout layout) {
  std::vector<std::filesystem::path> files;
  const auto model = veldra::testing::makeLargeClass(students, 40, 11);
  const char* versions[] = {"AC1015", "AC1018", "AC1024", "AC1032"};
  for (std::size_t k = 0; k < model.drawings.size(); ++k) {
    const auto name = "student" + std::to_string(k) + ".dwg";
    const auto file = layout == Layout::kFlat         ? folder / name
                      : layout == Layout::kGroupsOf30 ? folder / ("group" + std::to_string(k / 30)) / name
                                                      : folder / ("student" + std::to_string(k)) / "drawing.dwg";
    std::filesystem::create_directories(file.parent_path());
    veldra::dwgwrite::writeDrawingFile(file, veldra::testing::planOf(model.drawings[k], versions[k % 4]));
    files.push_back(file);
  }
  return files;
}

// A workspace with project CLASS: `students` drawings under one location
// (in folders of 30 unless said otherwise), in the releases a class hands in.
struct WrittenClass {
  explicit WrittenClass(int students, Layout layout = Layout::kGroupsOf30) {
    base = std::filesystem::temp_directory_path() / ("veldra-scale-" + std::to_string(std::random_device{}()));
    for (const char* f : {"projects", "compares", "time conflicts", "handle conflicts", "date conflicts", "resources"})
      std::filesystem::create_directories(base / f);
    const auto folder = base / "class";
    files = writeClass(folder, students, layout);
    bench::layDown(base / "projects" / "projects.fil", quotedLine("CLASS"));
    locations = {"+" + utf8FromPath(folder)};
    bench::layDown(base / "projects" / "CLASS.prj", quotedLine(locations.front()));
  }
  ~WrittenClass() {
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
  }
  // Processor seconds to read every file into memory: the best of five.
  double floor() const {
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
  std::filesystem::path base;
  std::vector<std::filesystem::path> files;
  std::vector<std::string> locations;
};

WrittenClass& writtenClass(int students, Layout layout = Layout::kGroupsOf30) {
  static std::map<std::pair<int, Layout>, std::unique_ptr<WrittenClass>> made;
  auto& slot = made[{students, layout}];
  if (!slot) slot = std::make_unique<WrittenClass>(students, layout);
  return *slot;
}

void report(benchmark::State& s, const WrittenClass& c, double spent, long long rounds) {
  const double floor = c.floor();
  if (rounds > 0 && floor > 0) s.counters["x_floor"] = spent / static_cast<double>(rounds) / floor;
  if (const auto peak = peakResidentBytes()) s.counters["peak MB"] = static_cast<double>(*peak) / 1e6;
  s.counters["drawings"] = static_cast<double>(c.files.size());
}

// Argument 2 as for the collection pass below.
void BM_ListClassFolders(benchmark::State& s) {
  const WrittenClass& c = writtenClass(static_cast<int>(s.range(0)), static_cast<Layout>(s.range(1)));
  WalkRules rules;
  rules.isDrawing = isDwgName;
  rules.stopAtUnlisted = true;
  long long rounds = 0;
  const double start = cpuSeconds();
  for (auto _ : s) {
    benchmark::DoNotOptimize(walkFolders(c.locations, rules).drawings);
    ++rounds;
  }
  report(s, c, cpuSeconds() - start, rounds);
}

// Argument 2: the class all in one folder (0), in folders of 30 (1) or one
// folder per student (2), which should cost about as much.
void BM_CollectionPass(benchmark::State& s) {
  const WrittenClass& c = writtenClass(static_cast<int>(s.range(0)), static_cast<Layout>(s.range(1)));
  const Workspace ws(c.base);
  RunOptions options;
  options.project = "CLASS";
  options.entity = "LINE";
  options.locations = c.locations;
  bench::SilentView shown;
  ThrottledRunView view(shown);
  SystemRunClock clock;
  SilentAlarm sound;
  bench::SilentMessages messages;
  NativeDrawingSource source;
  long long rounds = 0;
  const double start = cpuSeconds();
  for (auto _ : s) {
    RunState state;
    RunContext run{ws, options, state, view, clock, sound};
    benchmark::DoNotOptimize(runCollectionPass(run, source, messages).visited);
    ++rounds;
  }
  report(s, c, cpuSeconds() - start, rounds);
}

// Argument 1: 0 with an empty store, 1 again with nothing changed.
void BM_EvidenceCheck(benchmark::State& s) {
  const WrittenClass& c = writtenClass(static_cast<int>(s.range(0)));
  const Workspace ws(c.base);
  const bool again = s.range(1) != 0;
  if (again) evidence::runEvidenceCheck(ws, "CLASS", {}, {});
  long long rounds = 0;
  double spent = 0;
  for (auto _ : s) {
    if (!again) {
      s.PauseTiming();
      std::filesystem::remove(evidence::storeFile(ws));
      s.ResumeTiming();
    }
    const double start = cpuSeconds();
    const auto result = evidence::runEvidenceCheck(ws, "CLASS", {}, {});
    spent += cpuSeconds() - start;
    if (result.outcome != evidence::RunOutcome::kDone) s.SkipWithError(result.error.c_str());
    ++rounds;
  }
  report(s, c, spent, rounds);
}

BENCHMARK(BM_ListClassFolders)
    ->Args({30, 1})->Args({300, 1})->Args({2000, 1})->Args({2000, 0})->Args({2000, 2})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CollectionPass)
    ->Args({30, 1})->Args({300, 1})->Args({2000, 1})->Args({2000, 0})->Args({2000, 2})
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EvidenceCheck)
    ->Args({30, 0})->Args({30, 1})->Args({300, 0})->Args({300, 1})->Args({2000, 0})->Args({2000, 1})
    ->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace veldra

int main(int argc, char** argv) {
  // VELDRA_SCALE_WRITE=FOLDER bench_class_scale N [nested] writes a class
  // of N drawings into FOLDER, all in one or one folder per student, for
  // timing whole programs on it (scripts/against-cat.sh), and does nothing
  // else.
  if (const char* folder = std::getenv("VELDRA_SCALE_WRITE"); folder && (argc == 2 || argc == 3)) {
    const bool nested = argc == 3 && std::string(argv[2]) == "nested";
    veldra::writeClass(folder, std::atoi(argv[1]), nested ? veldra::Layout::kFolderEach : veldra::Layout::kFlat);
    return 0;
  }
  // As the programs that read drawings do.
  veldra::keepFreedMemoryForReuse();
  if (const char* limit = std::getenv("VELDRA_SCALE_LIMIT"); limit && std::string(limit) == "1") {
    constexpr int kLimit = 32767;
    benchmark::RegisterBenchmark("BM_ListClassFolders", veldra::BM_ListClassFolders)
        ->Args({kLimit, 1})->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark("BM_CollectionPass", veldra::BM_CollectionPass)
        ->Args({kLimit, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
    benchmark::RegisterBenchmark("BM_EvidenceCheck", veldra::BM_EvidenceCheck)
        ->Args({kLimit, 0})->Args({kLimit, 1})->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
