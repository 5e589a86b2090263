#pragma once

// Recorders and fakes for runs: a view that keeps the captions, a fixed
// clock, an alarm that counts, and a workspace with a project.

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "compare/checks.h"
#include "projects/folder_listing.h"
#include "run/run_context.h"

namespace veldra::testing {

struct Colour {
  int red = 0, green = 0, blue = 0;
  friend bool operator==(const Colour&, const Colour&) = default;
};
inline constexpr Colour kPurple{128, 0, 128};
inline constexpr Colour kRed{255, 0, 0};
inline constexpr Colour kGrey{96, 96, 96};

// Keeps what the window's labels would show, the verdict in the window's words.
class RecordingView : public RunView {
 public:
  void setStatus(const std::string& text) override { status = text; statuses.push_back(text); }
  void setComparing(int a, int b) override { status = comparingText(a, b); ++comparingCalls; }
  void setElapsed(long long s) override { time = elapsedText(s); }
  void clearElapsed() override { time.clear(); }
  void setConflicts(const Check& check, int c) override {
    if (&check == &timeCheck()) timeConflicts = fourDigits(c);
    if (&check == &handleCheck()) entityConflicts = fourDigits(c);
    if (&check == &ageCheck()) ageConflicts = fourDigits(c);
  }
  void setTotalFiles(int c) override { totalFiles = fourDigits(c); }
  void setVerdict(Verdict v) override {
    if (v == Verdict::kNone) return;
    if (v == Verdict::kNotChecked) {
      verdict = "UNCHECKED";
      colour = kGrey;
      return;
    }
    verdict = v == Verdict::kAlarm ? "VELDRA!!!" : "NO VELDRA's";
    colour = v == Verdict::kAlarm ? kRed : kPurple;
  }
  bool loadPicture(const std::filesystem::path& shown) override {
    if (!std::filesystem::exists(shown)) return false;
    picture = shown.filename().string();
    return true;
  }
  void clearPicture() override { picture = "(empty)"; }
  void setLocation(const std::string& t) override { location = t; }
  void setSubfolders(const std::string& t) override { subfolders = t; }
  void setFile(const std::string& t) override { file = t; files.push_back(t); }
  void setProgress(int v) override { progress = v; progressValues.push_back(v); }
  void flush() override { ++flushes; }

  std::string status, time, timeConflicts, entityConflicts, ageConflicts, totalFiles, verdict;
  std::string picture, location, subfolders, file;
  Colour colour{};
  int progress = -1, comparingCalls = 0, flushes = 0;
  std::vector<std::string> statuses, files;
  std::vector<int> progressValues;
};

class FixedClock : public RunClock {
 public:
  TimePoint now() override { return moment += std::chrono::seconds(1); }
  YearMonth today() override { return todayIs; }
  TimePoint moment{};
  YearMonth todayIs{2006, 3};
};

class CountingAlarm : public AlarmSound {
 public:
  bool start(const std::filesystem::path& file) override {
    ++starts;
    return std::filesystem::exists(file);
  }
  int starts = 0;
};

// A run over a workspace with resources in place, for project "P".
struct RunFixture {
  explicit RunFixture(const std::filesystem::path& base) : workspace(base) {
    options.project = "P";
    for (const char* picture : {"veldralogo.jpg", "veldracheck.jpg", "veldrawrong.jpg", "conflict.wav"})
      std::ofstream(workspace.resource(picture)) << "x";
  }
  RunContext context() { return RunContext{workspace, options, state, view, clock, alarm}; }

  Workspace workspace;
  RunOptions options;
  RunState state;
  RecordingView view;
  FixedClock clock;
  CountingAlarm alarm;
};

}  // namespace veldra::testing
