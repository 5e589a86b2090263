#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

#include "app/textfile.h"
#include "app/workspace.h"
#include "compare/run_options.h"
#include "record/record_format.h"

namespace veldra {

// What a check judges: the drawing table and the options of the run.
struct CheckInput {
  const DrawingTable& table;
  const RunOptions& options;
  RunClock& clock;
};

class Check;

// What a check tells while it judges; the run shows it.
class CheckProgress {
 public:
  virtual ~CheckProgress() = default;
  // One more conflict found by the check, or its count set to a number.
  virtual void conflict(const Check& check) = 0;
  virtual void conflicts(const Check& check, int count) = 0;
  // The pair at hand (shown, not kept).
  virtual void comparing(int first, int second) = 0;
  // The elapsed time marked and shown.
  virtual void mark() = 0;
};

// What a check found, as data: each check has its own kind. Writers turn
// findings into the classic report, and into other forms beside it.
class Findings {
 public:
  virtual ~Findings() = default;
  // The number of conflicts: any conflict gives the run's alarm.
  virtual int conflicts() const = 0;
};

// What the faces show of a check beside its findings: the window, the
// command line and the Reports page take them from here, so that a check is
// one entry of comparisonChecks() to each of them.
struct CheckFace {
  // Its switch among the run options and its option on the command line
  // ("--time"); the window finds its controls by it. "time", "handles", "age".
  std::string_view name;
  bool onByDefault = true;
  // Where the window and the command line count its conflicts.
  std::string_view counter;
  // Shown while it runs.
  std::string_view status;
  // Its report: where it lies in the workspace, the title printed above its
  // lines, the one line it holds when the check was switched off, and the
  // text shown (the project's name after it) where it cannot be loaded.
  ReportPlace report;
  std::string_view reportTitle;
  std::string_view switchedOff;
  std::string_view unavailable;
};

// One check of a comparison. A check judges the table and speaks to the
// run's progress while it works; it neither writes files nor gives the
// alarm: the driver does both from its findings.
class Check {
 public:
  virtual ~Check() = default;
  virtual const CheckFace& face() const = 0;
  std::string_view name() const { return face().name; }
  bool switchedOn(const RunOptions& options) const {
    const auto set = options.switches.find(name());
    return set == options.switches.end() ? face().onByDefault : set->second;
  }
  void setSwitchedOn(RunOptions& options, bool on) const { options.switches[std::string(name())] = on; }
  // The setting its command-line switch takes instead of "on" ("--age 1
  // year"); null for a switch that takes "on" or "off".
  virtual std::string* settingInSwitch(RunOptions&) const { return nullptr; }
  // The check's report in the workspace, and its classic content, written
  // line by line as it is formed.
  std::filesystem::path reportFile(const Workspace& ws, std::string_view project) const {
    return ws.report(face().report, project);
  }
  std::string switchedOffReport() const { return quotedLine(face().switchedOff); }
  std::string unavailableReport(std::string_view project) const {
    return std::string(face().unavailable) + std::string(project);
  }
  virtual void writeReport(std::ostream& out, const Findings& findings, const DrawingTable& table) const = 0;
  virtual std::unique_ptr<Findings> judge(const CheckInput& input, CheckProgress& progress) const = 0;
};

}  // namespace veldra
