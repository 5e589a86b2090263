#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "run/run_view.h"

namespace veldra {

// Passes a run's label changes on to another view at most once per interval
// (about 30 times a second by default), so that a long comparison is not
// dominated by repainting. Between forwards only the latest value of each
// label is kept; flush() forwards whatever is still pending. The verdict and
// the picture are passed on at once, since a run changes them rarely.
class ThrottledRunView : public RunView {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit ThrottledRunView(RunView& target, Clock clock = &std::chrono::steady_clock::now,
                            std::chrono::milliseconds interval = std::chrono::milliseconds(33));

  void setStatus(const std::string& text) override;
  void setComparing(int first, int second) override;
  void setElapsed(long long seconds) override;
  void clearElapsed() override;
  void setConflicts(const Check& check, int count) override;
  void setTotalFiles(int count) override;
  void setVerdict(Verdict verdict) override;
  bool loadPicture(const std::filesystem::path& file) override;
  void clearPicture() override;
  void setLocation(const std::string& text) override;
  void setSubfolders(const std::string& text) override;
  void setFile(const std::string& text) override;
  void setProgress(int value) override;
  void flush() override;

 private:
  struct Pending {
    std::optional<std::string> status;
    std::optional<std::pair<int, int>> comparing;  // replaces status when newer
    std::optional<long long> elapsed;
    bool elapsedCleared = false;
    std::vector<std::pair<const Check*, int>> conflicts;  // the latest count of each check, in the order first set
    std::optional<int> totalFiles, progress;
    std::optional<std::string> location, subfolders, file;
  };
  void changed();
  void forward();

  RunView& target_;
  Clock clock_;
  std::chrono::steady_clock::duration interval_;
  std::chrono::steady_clock::time_point last_{};
  bool forwardedOnce_ = false;
  bool dirty_ = false;
  Pending pending_;
};

}  // namespace veldra
