#pragma once

// A run that shows nothing and asks nothing, so that a benchmark measures
// the work alone.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "app/messages.h"
#include "app/textfile.h"
#include "run/run_view.h"

namespace veldra::bench {

class SilentView : public RunView {
 public:
  void setStatus(const std::string&) override {}
  void setComparing(int, int) override {}
  void setElapsed(long long) override {}
  void clearElapsed() override {}
  void setConflicts(const Check&, int) override {}
  void setTotalFiles(int) override {}
  void setVerdict(Verdict) override {}
  bool loadPicture(const std::filesystem::path&) override { return false; }
  void clearPicture() override {}
  void setLocation(const std::string&) override {}
  void setSubfolders(const std::string&) override {}
  void setFile(const std::string&) override {}
  void setProgress(int) override {}
  void flush() override {}
};

class SilentMessages : public MessageBoxes {
 public:
  void show(const std::string&, const std::string&, MessageIcon) override {}
  bool ask(const std::string&, const std::string&) override { return false; }
};

// A benchmark whose files cannot be laid down or written measures nothing,
// so it stops with the reason.
inline void orStop(const Status& done) {
  if (done) return;
  std::fprintf(stderr, "%s\n", done.message().c_str());
  std::exit(2);
}

inline void layDown(const std::filesystem::path& file, const std::string& text) { orStop(replaceFile(file, text)); }

}  // namespace veldra::bench
