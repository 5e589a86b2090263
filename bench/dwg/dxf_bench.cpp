// Reading large DXF files, text and binary, of some hundred thousand
// entities: the summary alone and the summary with the evidence and the
// geometry, from the file on disk. As for DWG, "x_floor" tells how many times
// reading the file's bytes into memory and nothing else the read takes, in
// processor time. The files are written afresh into the temporary folder.

#include <benchmark/benchmark.h>

#include <cctype>
#include <charconv>
#include <cstdint>
#include <ctime>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "veldra/dwg/evidence.h"
#include "veldra/dwg/reader.h"

namespace {

namespace fs = std::filesystem;

// Groups written as text lines or as binary values with two-byte codes.
class Writer {
 public:
  explicit Writer(bool binary) : binary_(binary) {
    if (binary_) out_.append("AutoCAD Binary DXF\r\n\x1a", 22);
  }
  void text(int code, std::string_view value) {
    if (binary_) {
      putCode(code);
      out_.append(value);
      out_ += '\0';
    } else {
      line(code);
      out_.append(value);
      out_ += '\n';
    }
  }
  void real(int code, double value) {
    if (binary_) {
      putCode(code);
      char bytes[8];
      std::memcpy(bytes, &value, 8);
      out_.append(bytes, 8);
    } else {
      line(code);
      char digits[32];
      out_.append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + 32, value).ptr - digits));
      out_ += '\n';
    }
  }
  void int32(int code, std::int32_t value) {
    if (binary_) {
      putCode(code);
      char bytes[4];
      std::memcpy(bytes, &value, 4);
      out_.append(bytes, 4);
    } else {
      text(code, std::to_string(value));
    }
  }
  void handle(std::uint64_t h) {
    char digits[20];
    const auto end = std::to_chars(digits, digits + 20, h, 16).ptr;
    for (char* c = digits; c != end; ++c) *c = static_cast<char>(std::toupper(*c));
    text(5, std::string_view(digits, static_cast<std::size_t>(end - digits)));
  }
  const std::string& bytes() const { return out_; }

 private:
  void putCode(int code) {
    out_ += static_cast<char>(code & 0xFF);
    out_ += static_cast<char>(code >> 8);
  }
  void line(int code) {
    char digits[8];
    out_.append(digits, static_cast<std::size_t>(std::to_chars(digits, digits + 8, code).ptr - digits));
    out_ += '\n';
  }
  bool binary_;
  std::string out_;
};

fs::path writeLarge(bool binary, int entities) {
  Writer w(binary);
  std::mt19937_64 rng(7);
  std::uniform_real_distribution<double> coord(-1000, 1000);
  w.text(0, "SECTION"), w.text(2, "HEADER");
  w.text(9, "$ACADVER"), w.text(1, "AC1032");
  w.text(9, "$TDUCREATE"), w.real(40, 2460000.25);
  w.text(9, "$HANDSEED"), w.text(5, "FFFFFF");
  w.text(0, "ENDSEC"), w.text(0, "SECTION"), w.text(2, "ENTITIES");
  std::uint64_t handle = 0x100;
  const char* layers[] = {"0", "Kontur", "Mittellinien", "Bemaßung"};
  for (int i = 0; i < entities; ++i) {
    const int kind = static_cast<int>(rng() % 5);
    static const char* kTypes[] = {"LINE", "CIRCLE", "ARC", "LWPOLYLINE", "TEXT"};
    static const char* kClasses[] = {"AcDbLine", "AcDbCircle", "AcDbCircle", "AcDbPolyline", "AcDbText"};
    w.text(0, kTypes[kind]);
    w.handle(handle++);
    w.text(330, "1F"), w.text(100, "AcDbEntity"), w.text(8, layers[rng() % 4]), w.text(100, kClasses[kind]);
    if (kind == 3) {
      w.int32(90, 5);
      for (int v = 0; v < 5; ++v) w.real(10, coord(rng)), w.real(20, coord(rng));
      continue;
    }
    w.real(10, coord(rng)), w.real(20, coord(rng)), w.real(30, 0.0);
    if (kind == 0) w.real(11, coord(rng)), w.real(21, coord(rng)), w.real(31, 0.0);
    if (kind == 1 || kind == 2) w.real(40, coord(rng) + 1001);
    if (kind == 2) w.text(100, "AcDbArc"), w.real(50, coord(rng) / 3), w.real(51, coord(rng) / 3);
    if (kind == 4) w.real(40, 2.5), w.text(1, "Schnitt A-A");
  }
  w.text(0, "ENDSEC"), w.text(0, "EOF");
  const fs::path file = fs::temp_directory_path() / (binary ? "veldra_bench_large_bin.dxf" : "veldra_bench_large.dxf");
  std::ofstream(file, std::ios::binary).write(w.bytes().data(), static_cast<std::streamsize>(w.bytes().size()));
  return file;
}

double cpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

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
    } while (elapsed < 0.05);
    best = std::min(best, elapsed / static_cast<double>(reads));
  }
  return best;
}

void readDxf(benchmark::State& state, const fs::path& file, bool all) {
  const veldra::dwg::ReadRequest request{.evidence = all, .geometry = all};
  const double start = cpuSeconds();
  for (auto _ : state) {
    veldra::dwg::Drawing drawing;
    const auto status = veldra::dwg::readDrawingFile(file, request, drawing);
    if (!status.ok()) {
      state.SkipWithError(status.message.c_str());
      return;
    }
    benchmark::DoNotOptimize(drawing.summary.entities.data());
  }
  const double spent = cpuSeconds() - start;
  const double floor = floorSeconds(file);
  state.counters["floor_us"] = floor * 1e6;
  state.counters["x_floor"] = spent / static_cast<double>(state.iterations()) / floor;
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(fs::file_size(file)));
}

}  // namespace

int main(int argc, char** argv) {
  veldra::keepFreedMemoryForReuse();
  for (const bool binary : {false, true}) {
    const fs::path file = writeLarge(binary, 300000);
    const std::string form = binary ? "binary" : "text";
    benchmark::RegisterBenchmark(("DxfFromDisk/" + form).c_str(), readDxf, file, false)->Unit(benchmark::kMillisecond);
    benchmark::RegisterBenchmark(("DxfAllFromDisk/" + form).c_str(), readDxf, file, true)->Unit(benchmark::kMillisecond);
  }
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
