#pragma once

#include <string>

namespace veldra {

// The caption of message boxes that name no title of their own.
inline constexpr const char* kAppTitle = "VELDRA";

enum class MessageIcon { Information, Exclamation, Critical };

// Message boxes with a single OK button. The window shows real ones; tests
// and the command line record or print them.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  virtual void show(const std::string& text, const std::string& title, MessageIcon icon) = 0;
};

}  // namespace veldra
