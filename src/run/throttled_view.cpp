#include "run/throttled_view.h"

#include <algorithm>

namespace veldra {

ThrottledRunView::ThrottledRunView(RunView& target, Clock clock, std::chrono::milliseconds interval)
    : target_(target), clock_(std::move(clock)), interval_(interval) {}

void ThrottledRunView::changed() {
  dirty_ = true;
  const auto now = clock_();
  if (!forwardedOnce_ || now - last_ >= interval_) {
    forwardedOnce_ = true;
    last_ = now;
    forward();
  }
}

void ThrottledRunView::forward() {
  if (!dirty_) return;
  Pending p = std::move(pending_);
  pending_ = Pending{};
  dirty_ = false;
  if (p.comparing) {
    target_.setComparing(p.comparing->first, p.comparing->second);
  } else if (p.status) {
    target_.setStatus(*p.status);
  }
  if (p.elapsed) {
    target_.setElapsed(*p.elapsed);
  } else if (p.elapsedCleared) {
    target_.clearElapsed();
  }
  for (const auto& [check, count] : p.conflicts) target_.setConflicts(*check, count);
  if (p.totalFiles) target_.setTotalFiles(*p.totalFiles);
  if (p.location) target_.setLocation(*p.location);
  if (p.subfolders) target_.setSubfolders(*p.subfolders);
  if (p.file) target_.setFile(*p.file);
  if (p.progress) target_.setProgress(*p.progress);
}

void ThrottledRunView::setStatus(const std::string& text) {
  pending_.status = text;
  pending_.comparing.reset();
  changed();
}
void ThrottledRunView::setComparing(int first, int second) {
  pending_.comparing = std::make_pair(first, second);
  pending_.status.reset();
  changed();
}
void ThrottledRunView::setElapsed(long long seconds) {
  pending_.elapsed = seconds;
  pending_.elapsedCleared = false;
  changed();
}
void ThrottledRunView::clearElapsed() {
  pending_.elapsed.reset();
  pending_.elapsedCleared = true;
  changed();
}
void ThrottledRunView::setConflicts(const Check& check, int count) {
  auto& pending = pending_.conflicts;
  const auto same = std::find_if(pending.begin(), pending.end(), [&](const auto& p) { return p.first == &check; });
  if (same == pending.end()) {
    pending.emplace_back(&check, count);
  } else {
    same->second = count;
  }
  changed();
}
void ThrottledRunView::setTotalFiles(int count) { pending_.totalFiles = count; changed(); }
void ThrottledRunView::setLocation(const std::string& text) { pending_.location = text; changed(); }
void ThrottledRunView::setSubfolders(const std::string& text) { pending_.subfolders = text; changed(); }
void ThrottledRunView::setFile(const std::string& text) { pending_.file = text; changed(); }
void ThrottledRunView::setProgress(int value) { pending_.progress = value; changed(); }

void ThrottledRunView::setVerdict(Verdict verdict) { target_.setVerdict(verdict); }
bool ThrottledRunView::loadPicture(const std::filesystem::path& file) { return target_.loadPicture(file); }
void ThrottledRunView::clearPicture() { target_.clearPicture(); }

void ThrottledRunView::flush() {
  forward();
  target_.flush();
}

}  // namespace veldra
