// A recompare of a large class through the real window, beside the same run
// with a view that shows nothing: the difference is what the window's labels
// and repainting cost.

#include <QApplication>
#include <QListWidget>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>

#include "app/textfile.h"
#include "run/driver.h"
#include "run/run_context.h"
#include "silent_run.h"
#include "ui/main_window.h"
#include "ui/run_panel.h"
#include "ui/null_source.h"
#include "ui/volumes.h"

namespace veldra {
namespace {

constexpr int kDrawings = 2000;
constexpr int kHandles = 200;

class RootOnly : public Volumes {
 public:
  QStringList roots() const override { return {QStringLiteral("/")}; }
  QString rootVolume() const override { return QStringLiteral("/"); }
  bool isReady(const QString&) const override { return true; }
};

// A workspace with one project whose folder holds kDrawings drawings and a
// record file for them: drawings of one template share most handles, every
// 100th is a copy of the one before.
struct ClassWorkspace {
  ClassWorkspace() {
    base = std::filesystem::temp_directory_path() / ("veldra-bench-window-" + std::to_string(std::random_device{}()));
    for (const char* f : {"projects", "compares", "time conflicts", "handle conflicts", "date conflicts", "resources"})
      std::filesystem::create_directories(base / f);
    const auto drawings = base / "class";
    std::filesystem::create_directories(drawings);
    std::mt19937 random(7);
    std::string records;
    for (int i = 0; i < kDrawings; ++i) {
      const std::string name = "D" + std::to_string(10000 + i);
      std::ofstream(drawings / (name + ".dwg")).put('\0');
      const bool copy = i % 100 == 99;
      std::string handles;
      for (int h = 0; h < kHandles; ++h) {
        const unsigned handle = 0x100 + static_cast<unsigned>(h) * 2 + (copy ? 0 : random() % 2);
        handles += std::to_string(handle) + "$";
      }
      const std::string date = "2461000." + std::to_string(100000 + (copy ? i - 1 : i));
      records += quotedLine(name + "," + date + "," + handles + ",END");
    }
    bench::layDown(base / "compares" / "CLASS.cmp", records);
    bench::layDown(base / "projects" / "projects.fil", quotedLine("CLASS"));
    location = "-" + drawings.string();
    bench::layDown(base / "projects" / "CLASS.prj", quotedLine(location));
  }
  ~ClassWorkspace() {
    std::error_code ec;
    std::filesystem::remove_all(base, ec);
  }
  std::filesystem::path base;
  std::string location;
};

ClassWorkspace& workspace() {
  static ClassWorkspace ws;
  return ws;
}

void BM_RecompareThroughWindow(benchmark::State& state) {
  bench::SilentMessages messages;
  NullDrawingSource source;
  RootOnly volumes;
  MainWindowDeps deps;
  deps.messages = &messages;
  deps.source = &source;
  deps.volumes = &volumes;
  deps.splashDuration = std::chrono::milliseconds(0);
  deps.installLoc = workspace().base;
  MainWindow window(deps);
  window.show();
  window.startUp();
  window.findChild<QListWidget*>(QStringLiteral("lstProjects"))->setCurrentRow(0);
  auto* runs = window.findChild<RunPanel*>(QStringLiteral("frmMainHolder"));
  for (auto _ : state) runs->recompare();
  state.SetItemsProcessed(state.iterations() * kDrawings);
}
BENCHMARK(BM_RecompareThroughWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_RecompareWithoutWindow(benchmark::State& state) {
  const Workspace ws(workspace().base);
  RunOptions options;
  options.project = "CLASS";
  options.locations = {workspace().location};
  RunState runState;
  bench::SilentView view;
  SystemRunClock clock;
  SilentAlarm sound;
  bench::SilentMessages messages;
  for (auto _ : state) {
    RunContext run{ws, options, runState, view, clock, sound};
    recompare(run, messages);
  }
  state.SetItemsProcessed(state.iterations() * kDrawings);
}
BENCHMARK(BM_RecompareWithoutWindow)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
}  // namespace veldra

int main(int argc, char** argv) {
  if (std::getenv("QT_QPA_PLATFORM") == nullptr) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
