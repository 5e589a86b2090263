#pragma once

// The teacher's choices for one evidence check, and the check's own limits.

#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

// Scores at or above which a pair is called a copy or a likely copy.
struct Thresholds {
  int copy = 75;
  int likelyCopy = 45;
  bool operator==(const Thresholds&) const = default;
};

// Thresholds within 1..100, a likely copy below a copy; others are mended
// to the nearest such.
Thresholds checkedThresholds(Thresholds thresholds);

struct EvidenceSettings {
  std::vector<std::filesystem::path> templates;  // the teacher's template drawings
  std::vector<std::string> against;              // earlier projects kept in the evidence store
  std::vector<std::string> ignoredAuthors;       // shared logins, not evidence
  std::string term;                              // a label for the project's term, kept with it
  Tolerance tolerance;
  Thresholds thresholds;
};

struct Progress {
  std::string stage;   // "Reading drawings", "Comparing"...
  std::size_t done = 0;
  std::size_t total = 0;
};

// How a caller follows and stops a check. The callback may be called from
// the thread that runs the check only; `cancel` may be set from any thread.
struct RunControl {
  std::function<void(const Progress&)> progress;
  const std::atomic<bool>* cancel = nullptr;
  // Whether the caller shows the drawings' drawn pictures (the window, an
  // HTML report): a run that takes its findings as kept reads them then.
  bool drawnPictures = true;

  bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }
  void report(std::string stage, std::size_t done, std::size_t total) const {
    if (progress) progress(Progress{std::move(stage), done, total});
  }
};

}  // namespace veldra::evidence
