#pragma once

#include "run/run_view.h"

class QLabel;

namespace veldra {

class RunPanel;

// Shows a run in the labels of the main window's lower panel. Every change
// is painted at once with QWidget::repaint(), which paints without handling
// events: the run holds the thread, so the window takes no input meanwhile
// yet still shows where the run is.
class WindowRunView : public RunView {
 public:
  explicit WindowRunView(RunPanel& panel);

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
  void flush() override {}

 private:
  static void show(QLabel* label, const std::string& text);
  static void showCount(QLabel* label, int count);

  RunPanel& panel_;
};

}  // namespace veldra
