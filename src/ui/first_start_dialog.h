#pragma once

#include "ui/first_start.h"

namespace veldra {

// The first start's questions as dialogs: an offer with the sample class as
// a check box, the system's folder chooser and message boxes.
class DialogFirstStartPrompts : public FirstStartPrompts {
 public:
  explicit DialogFirstStartPrompts(bool sampleOffered) : sampleOffered_(sampleOffered) {}
  Answer offer() override;
  std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& suggested) override;
  void tell(const std::string& text, bool problem) override;

 private:
  bool sampleOffered_;
};

}  // namespace veldra
