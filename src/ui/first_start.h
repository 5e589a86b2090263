#pragma once

// The program's first start: with no workspace recorded it offers to lay one
// down (as veldra-setup does) in a folder the user chooses, records it, and
// can add the sample class to it.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "app/workspace.h"

namespace veldra {

// The questions of the first start; the program shows dialogs, tests answer.
class FirstStartPrompts {
 public:
  struct Answer {
    bool create = false;     // false: the user would rather not (the program ends)
    bool addSample = false;  // add the sample class to the new workspace
  };
  virtual ~FirstStartPrompts() = default;
  // Offers to create a workspace, with the sample class as a choice.
  virtual Answer offer() = 0;
  // The folder chooser, opened on `suggested`; nothing when cancelled.
  virtual std::optional<std::filesystem::path> chooseFolder(const std::filesystem::path& suggested) = 0;
  // Tells the user something that went wrong (`problem`) or is worth knowing.
  virtual void tell(const std::string& text, bool problem) = 0;
};

struct FirstStartSteps {
  // Where the folder chooser opens (the user's home folder).
  std::filesystem::path suggested;
  // The resources a new workspace gets (shippedResources).
  std::filesystem::path resources;
  // Records the workspace in the per-user settings; false when it cannot.
  std::function<bool(const std::filesystem::path&)> record;
  // Adds the sample class to a workspace; "" or the reason it failed. Left
  // empty, the sample class is not offered.
  std::function<std::string(const Workspace&)> addSample;
};

// Runs the first start. Returns the workspace to open, laid down and (when
// the settings could be written) recorded; nothing when the user declined or
// cancelled the folder chooser. A folder that cannot be laid down is told and
// the chooser opens again.
std::optional<std::filesystem::path> runFirstStart(FirstStartPrompts& prompts, const FirstStartSteps& steps);

}  // namespace veldra
