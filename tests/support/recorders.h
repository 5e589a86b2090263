#pragma once

#include <string>
#include <vector>

#include "app/messages.h"

namespace veldra::testing {

// Records message boxes instead of showing them; questions get `answer`.
class RecordingMessages : public MessageBoxes {
 public:
  struct Shown {
    std::string text;
    std::string title;
    MessageIcon icon;
  };
  void show(const std::string& text, const std::string& title, MessageIcon icon) override {
    shown.push_back({text, title, icon});
  }
  bool ask(const std::string& question, const std::string& title) override {
    asked.push_back({question, title, MessageIcon::Information});
    return answer;
  }
  std::vector<std::string> texts() const {
    std::vector<std::string> out;
    for (const auto& s : shown) out.push_back(s.text);
    return out;
  }
  std::vector<Shown> shown;
  std::vector<Shown> asked;
  bool answer = false;
};

}  // namespace veldra::testing
