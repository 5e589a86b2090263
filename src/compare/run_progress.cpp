#include "compare/run_progress.h"

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

void RunProgress::showCounter(Counter counter) {
  const int count = state_.conflictCount(counter);
  switch (counter) {
    case Counter::kTime: view_.setTimeConflicts(count); break;
    case Counter::kEntity: view_.setEntityConflicts(count); break;
    case Counter::kAge: view_.setAgeConflicts(count); break;
  }
}

void RunProgress::conflict(Counter counter) {
  ++state_.conflicts[static_cast<std::size_t>(counter)];
  showCounter(counter);
}

void RunProgress::conflicts(Counter counter, int count) {
  state_.conflicts[static_cast<std::size_t>(counter)] = count;
  showCounter(counter);
}

void RunProgress::clearConflicts() {
  for (const Counter counter : {Counter::kTime, Counter::kEntity, Counter::kAge}) conflicts(counter, 0);
}

void RunProgress::verdict(Verdict verdict) {
  state_.verdict = verdict;
  view_.setVerdict(verdict);
}

void RunProgress::alarmGiven() { state_.alarmGiven = true; }
void RunProgress::clearAlarm() { state_.alarmGiven = false; }

}  // namespace veldra
