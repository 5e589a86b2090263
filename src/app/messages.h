#pragma once

#include <string>

namespace veldra {

// The caption of message boxes that name no title of their own.
inline constexpr const char* kAppTitle = "VELDRA";
// The caption of the messages that say what went wrong.
inline constexpr const char* kErrorTitle = "VELDRA Error";

enum class MessageIcon { Information, Exclamation, Critical };

// Message boxes. The window shows real ones; tests and the command line
// record or print them.
class MessageBoxes {
 public:
  virtual ~MessageBoxes() = default;
  // A message with a single OK button.
  virtual void show(const std::string& text, const std::string& title, MessageIcon icon) = 0;
  // A question with Yes and No buttons, No the default: true for Yes.
  virtual bool ask(const std::string& question, const std::string& title) = 0;
};

// Message boxes that show nothing and answer No: the stand-in for a window
// or a run given none.
class NoMessages : public MessageBoxes {
 public:
  void show(const std::string&, const std::string&, MessageIcon) override {}
  bool ask(const std::string&, const std::string&) override { return false; }
};

}  // namespace veldra
