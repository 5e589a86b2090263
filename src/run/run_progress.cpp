#include "run/run_progress.h"

#include "compare/checks.h"

namespace veldra {

void RunProgress::start() { state_.startime = state_.endtime = clock_.now(); }

long long RunProgress::elapsedSeconds() const {
  return std::chrono::duration_cast<std::chrono::seconds>(state_.endtime - state_.startime).count();
}

void RunProgress::mark() {
  state_.endtime = clock_.now();
  view_.setElapsed(elapsedSeconds());
}

void RunProgress::showElapsed() { view_.setElapsed(elapsedSeconds()); }
void RunProgress::clearElapsed() { view_.clearElapsed(); }

void RunProgress::status(const std::string& text) {
  state_.status = text;
  view_.setStatus(text);
}

// Called for every pair of a long check: shown, not kept as text.
void RunProgress::comparing(int first, int second) { view_.setComparing(first, second); }

void RunProgress::totalFiles(int count) {
  state_.totfiles = count;
  view_.setTotalFiles(count);
}

void RunProgress::conflict(const Check& check) {
  const int count = ++state_.conflicts[&check];
  view_.setConflicts(check, count);
}

void RunProgress::conflicts(const Check& check, int count) {
  state_.conflicts[&check] = count;
  view_.setConflicts(check, count);
}

void RunProgress::clearConflicts() {
  for (const Check* check : comparisonChecks()) conflicts(*check, 0);
}

void RunProgress::verdict(Verdict verdict) {
  state_.verdict = verdict;
  view_.setVerdict(verdict);
}

void RunProgress::alarmGiven() { state_.alarmGiven = true; }
void RunProgress::clearAlarm() { state_.alarmGiven = false; }

}  // namespace veldra
