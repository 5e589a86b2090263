// Reading the summary of each sample drawing, from bytes in memory and from
// the file on disk, and reading the summary with the evidence and the
// geometry from memory. Files/s and bytes/s come out as the counters
// items_per_second and bytes_per_second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

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

void readFromDisk(benchmark::State& state, const fs::path& file, std::int64_t size) {
  for (auto _ : state) {
    veldra::dwg::Summary summary;
    const auto status = veldra::dwg::readSummaryFile(file, summary);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      break;
    }
    benchmark::DoNotOptimize(summary.entities.data());
  }
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * size);
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path dir = fs::path(VELDRA_SOURCE_DIR) / ".." / "shared" / "drawings";
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
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
