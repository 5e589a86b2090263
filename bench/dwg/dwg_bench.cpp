// Reading the summary of each sample drawing, from bytes in memory and from
// the file on disk, and reading the summary with the evidence and the
// geometry from memory and from disk. Files/s and bytes/s come out as the
// counters items_per_second and bytes_per_second. The reads from disk also
// time, in the same run, reading the file's bytes into memory and nothing
// else (the floor no reader can beat): "floor_us" is that time and
// "x_floor" how many times it the read takes. Both count processor time
// (user and system), which a busy machine disturbs far less than the clock.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::uint8_t> load(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void readFromMemory(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  for (auto _ : state) {
    veldra::dwg::Summary summary;
    const auto status = veldra::dwg::readSummary(bytes, summary);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      break;
    }
    benchmark::DoNotOptimize(summary.entities.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

void readAllFromMemory(benchmark::State& state, const std::vector<std::uint8_t>& bytes) {
  const veldra::dwg::ReadRequest request{.evidence = true, .geometry = true};
  for (auto _ : state) {
    veldra::dwg::Drawing drawing;
    const auto status = veldra::dwg::readDrawing(bytes, request, drawing);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      break;
    }
    benchmark::DoNotOptimize(drawing.geometry.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(bytes.size()));
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// Processor seconds to read the file into memory, opened and sized as the
// reader does it: the best of several rounds of at least 20 ms each.
double floorSeconds(const fs::path& file) {
  double best = 1e9;
  for (int round = 0; round < 5; ++round) {
    const double start = cpuSeconds();
    std::int64_t reads = 0;
    double elapsed = 0;
    do {
      std::ifstream in(file, std::ios::binary | std::ios::ate);
      std::vector<std::uint8_t> bytes(static_cast<std::size_t>(in.tellg()));
      in.seekg(0);
      in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
      benchmark::DoNotOptimize(bytes.data());
      ++reads;
      elapsed = cpuSeconds() - start;
    } while (elapsed < 0.02);
    best = std::min(best, elapsed / static_cast<double>(reads));
  }
  return best;
}

// The read's mean processor time against the floor of the same file.
void reportFloor(benchmark::State& state, double spent, const fs::path& file) {
  if (state.iterations() == 0) return;
  const double floor = floorSeconds(file);
  const double each = spent / static_cast<double>(state.iterations());
  state.counters["floor_us"] = floor * 1e6;
  state.counters["x_floor"] = each / floor;
}

void readFromDisk(benchmark::State& state, const fs::path& file, std::int64_t size) {
  const double start = cpuSeconds();
  for (auto _ : state) {
    veldra::dwg::Summary summary;
    const auto status = veldra::dwg::readSummaryFile(file, summary);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      return;
    }
    benchmark::DoNotOptimize(summary.entities.data());
  }
  reportFloor(state, cpuSeconds() - start, file);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * size);
}

void readAllFromDisk(benchmark::State& state, const fs::path& file, std::int64_t size) {
  const veldra::dwg::ReadRequest request{.evidence = true, .geometry = true};
  const double start = cpuSeconds();
  for (auto _ : state) {
    veldra::dwg::Drawing drawing;
    const auto status = veldra::dwg::readDrawingFile(file, request, drawing);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      return;
    }
    benchmark::DoNotOptimize(drawing.geometry.data());
  }
  reportFloor(state, cpuSeconds() - start, file);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

int main(int argc, char** argv) {
  // As the programs that read drawings do.
  veldra::keepFreedMemoryForReuse();
  const fs::path dir = fs::path(VELDRA_SOURCE_DIR) / "tests" / "data" / "drawings";
  std::vector<fs::path> files;
  std::error_code ec;
  for (const auto& item : fs::directory_iterator(dir, ec))
    if (item.path().extension() == ".dwg") files.push_back(item.path());
  std::sort(files.begin(), files.end());
  // The byte buffers must outlive the benchmarks that refer to them.
  static std::vector<std::vector<std::uint8_t>> contents;
  contents.reserve(files.size());
  for (const fs::path& file : files) {
    contents.push_back(load(file));
    const std::string name = file.stem().string();
    const auto& bytes = contents.back();
    benchmark::RegisterBenchmark(("ReadFromMemory/" + name).c_str(), readFromMemory, std::cref(bytes))
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("ReadAllFromMemory/" + name).c_str(), readAllFromMemory, std::cref(bytes))
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("ReadFromDisk/" + name).c_str(), readFromDisk, file,
                                 static_cast<std::int64_t>(bytes.size()))
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark(("ReadAllFromDisk/" + name).c_str(), readAllFromDisk, file,
                                 static_cast<std::int64_t>(bytes.size()))
        ->Unit(benchmark::kMicrosecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
