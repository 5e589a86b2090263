#include "sample/sample_class.h"

#include <chrono>

#include "app/settings.h"
#include "app/textfile.h"
#include "dwgwrite/dwg_writer.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"

namespace veldra::sample {

namespace {

using veldra::dwgwrite::DrawingSpec;
using veldra::dwgwrite::EntitySpec;

constexpr int kCircles = 20;
constexpr int kLines = 12;
constexpr std::int32_t kNoon = 12 * 3600 * 1000;

// A student's drawing: circles and lines with handles from `first` upwards,
// except the circles listed in `ownFrom`.. which get handles of their own.
DrawingSpec drawing(std::int32_t days, std::int32_t ms, std::uint64_t first, int sharedCircles = kCircles,
                    std::uint64_t ownFirst = 0) {
  DrawingSpec plan;
  plan.days = days;
  plan.milliseconds = ms;
  for (int k = 0; k < kCircles; ++k) {
    const std::uint64_t handle = k < sharedCircles ? first + static_cast<std::uint64_t>(k)
                                                   : ownFirst + static_cast<std::uint64_t>(k);
    plan.entities.push_back({"CIRCLE", handle, false});
  }
  for (int k = 0; k < kLines; ++k)
    plan.entities.push_back({"LINE", first + 0x100 + static_cast<std::uint64_t>(k), false});
  plan.entities.push_back({"TEXT", first + 0x200, true});
  return plan;
}

bool listed(const std::vector<std::string>& entries, std::string_view name) {
  for (const auto& entry : entries)
    if (!lessIgnoringCase(entry, name) && !lessIgnoringCase(name, entry)) return true;
  return false;
}

}  // namespace

std::int32_t julianDayToday() {
  const auto seconds =
      std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count();
  return static_cast<std::int32_t>(2440588 + seconds / 86400);
}

std::string makeSampleClass(const Workspace& workspace, std::int32_t todayDays) {
  const auto projectsFile = workspace.projectsFile();
  std::vector<std::string> projects;
  if (const auto content = readTextFile(projectsFile)) {
    for (const auto& line : splitLines(*content))
      if (line.size() >= 2) projects.push_back(line.substr(1, line.size() - 2));
  }
  if (listed(projects, kProjectName)) return "";

  const auto folder = workspace.path({kClassFolder});
  std::error_code ec;
  std::filesystem::create_directories(folder / "week1", ec);
  std::filesystem::create_directories(folder / "week2", ec);
  if (ec) return "cannot create " + utf8FromPath(folder) + ": " + ec.message();

  // Honest work is dated today around noon (universal time), so it stays in
  // the current month in every time zone; the old drawing is three years old.
  const struct {
    const char* file;
    DrawingSpec plan;
  } drawings[] = {
      {"week1/anna.dwg", drawing(todayDays, kNoon + 1000, 0x1000)},
      {"week1/ben.dwg", drawing(todayDays, kNoon + 1000, 0x1000)},            // a copy of anna's
      {"week1/carl.dwg", drawing(todayDays, kNoon + 95000, 0x1000, 17, 0x5000)},  // near-copy: 17 of 20 circles
      {"week1/dora.dwg", drawing(todayDays, kNoon + 250000, 0x2000)},
      {"week2/emil.dwg", drawing(todayDays, kNoon + 410000, 0x3000)},
      {"week2/fay.dwg", drawing(todayDays - 3 * 365 - 20, kNoon, 0x4000)},     // an old drawing handed in again
      {"week2/gus.dwg", drawing(todayDays, kNoon + 730000, 0x6000)},
  };
  for (const auto& d : drawings) {
    const std::string error = veldra::dwgwrite::writeDrawingFile(folder / d.file, d.plan);
    if (!error.empty()) return std::string(d.file) + ": " + error;
  }

  if (!appendToFile(workspace.locationFile(kProjectName), quotedLine("+" + utf8FromPath(folder))))
    return "cannot write " + utf8FromPath(workspace.locationFile(kProjectName));
  if (!appendToFile(projectsFile, quotedLine(kProjectName))) return "cannot write " + utf8FromPath(projectsFile);
  if (!std::filesystem::exists(workspace.settingsFile(kEntitySettingFile)))
    writeSetting(workspace, kEntitySettingFile, 4);  // CIRCLE
  return "";
}

}  // namespace veldra::sample
