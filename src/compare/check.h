#pragma once

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

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

// One check of a comparison. A check judges the table and speaks to the
// run's progress while it works; it neither writes files nor gives the
// alarm: the driver does both from its findings.
class Check {
 public:
  virtual ~Check() = default;
  // A short name for outputs that list checks ("time", "handles", "age").
  virtual std::string_view name() const = 0;
  virtual bool switchedOn(const RunOptions& options) const = 0;
  // The check's report in the workspace, and its classic content, written
  // line by line as it is formed.
  virtual std::filesystem::path reportFile(const Workspace& ws, std::string_view project) const = 0;
  virtual std::string switchedOffReport() const = 0;
  virtual void writeReport(std::ostream& out, const Findings& findings, const DrawingTable& table) const = 0;
  // The status shown while the check runs.
  virtual std::string statusText() const = 0;
  virtual std::unique_ptr<Findings> judge(const CheckInput& input, CheckProgress& progress) const = 0;
};

}  // namespace veldra
