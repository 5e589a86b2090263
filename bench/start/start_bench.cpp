// Starting `veldra-cli --help` as a process, against starting /bin/true, in
// turns: "cpu/start" is the processor time of the started process itself
// (not of starting it from here), "x_true" that against /bin/true's.
// VELDRA_START=PROGRAM times another build's veldra-cli instead.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>

#include "platform/file_facts.h"
#include "platform/platform.h"

namespace veldra {
namespace {

// The processor seconds one run of the program took.
double runOnce(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  const double before = childProcessorSeconds().value_or(0);
  const ProgramRun run = runProgram(program, arguments);
  benchmark::DoNotOptimize(run.exitCode);
  return childProcessorSeconds().value_or(0) - before;
}

void BM_StartHelp(benchmark::State& s) {
  const std::filesystem::path nothing = "/bin/true";
  if (!std::filesystem::exists(nothing) || !childProcessorSeconds()) {
    s.SkipWithError("no /bin/true, or no processor time of child processes here");
    return;
  }
  const char* other = std::getenv("VELDRA_START");
  const std::filesystem::path program = other ? std::filesystem::path(other) : std::filesystem::path(VELDRA_CLI);
  double cli = 0, floor = 0;
  long long starts = 0;
  for (auto _ : s) {
    cli += runOnce(program, {"--help"});
    s.PauseTiming();
    floor += runOnce(nothing, {});
    s.ResumeTiming();
    ++starts;
  }
  if (starts > 0) s.counters["cpu/start ms"] = cli / static_cast<double>(starts) * 1000;
  if (floor > 0) s.counters["x_true"] = cli / floor;
}
BENCHMARK(BM_StartHelp)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);

}  // namespace
}  // namespace veldra

BENCHMARK_MAIN();
