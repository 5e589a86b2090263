#pragma once

#include <filesystem>
#include <string>

#include "run/run_state.h"

namespace veldra {

// What a collection or comparison run shows. The window implements it with
// its labels, the command line on standard error, tests with a recorder.
// Counter values are given as numbers; the view writes them in four-digit
// form. The verdict is given as a value; each view words and colours it.
class RunView {
 public:
  virtual ~RunView() = default;
  virtual void setStatus(const std::string& text) = 0;
  virtual void setComparing(int first, int second) = 0;          // the status "Comparing i vs. j"
  virtual void setElapsed(long long seconds) = 0;                // "Elapsed Time: hh:mm:ss"
  virtual void clearElapsed() = 0;
  // The conflicts a check has found so far; each view shows them its own
  // way (the window in the counter it keeps for the check).
  virtual void setConflicts(const Check& check, int count) = 0;
  virtual void setTotalFiles(int count) = 0;
  virtual void setVerdict(Verdict verdict) = 0;
  // The run's picture: false when the file cannot be loaded; the view then
  // keeps the picture it shows.
  virtual bool loadPicture(const std::filesystem::path& file) = 0;
  virtual void clearPicture() = 0;
  virtual void setLocation(const std::string& text) = 0;         // the location being collected
  virtual void setSubfolders(const std::string& text) = 0;       // whether its sub-folders are
  virtual void setFile(const std::string& text) = 0;             // the drawing being collected
  virtual void setProgress(int value) = 0;                       // 0 to 100
  // End of a run, or before a message box: everything shown must be current.
  virtual void flush() = 0;
};

// The texts of the labels, for views that write them.
std::string comparingText(int first, int second);
std::string elapsedText(long long seconds);

}  // namespace veldra
