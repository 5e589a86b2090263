#include "ui/first_start.h"

#include "app/workspace_setup.h"
#include "platform/platform.h"

namespace veldra {

namespace fs = std::filesystem;

std::optional<fs::path> runFirstStart(FirstStartPrompts& prompts, const FirstStartSteps& steps) {
  const FirstStartPrompts::Answer answer = prompts.offer();
  if (!answer.create) return std::nullopt;

  fs::path suggested = steps.suggested;
  for (;;) {
    const std::optional<fs::path> chosen = prompts.chooseFolder(suggested);
    if (!chosen || chosen->empty()) return std::nullopt;
    const fs::path base = workspaceFolderFor(chosen->lexically_normal());
    const WorkspaceSetup setup = layDownWorkspace(base, steps.resources);
    if (!setup.folders) {
      std::string text = "The workspace could not be created in " + utf8FromPath(base) + ".";
      for (const std::string& problem : setup.problems) text += "\n" + problem;
      prompts.tell(text + "\nChoose another folder.", true);
      suggested = *chosen;
      continue;
    }

    std::string problems;
    for (const std::string& problem : setup.problems) problems += "\n" + problem;
    if (!steps.record || !steps.record(base))
      problems += "\nThe workspace could not be recorded in the settings: it opens this time only "
                  "(run veldra-setup on it, or start veldra --workspace " + utf8FromPath(base) + ").";
    if (answer.addSample && steps.addSample) {
      const std::string error = steps.addSample(Workspace(base));
      if (!error.empty()) problems += "\nThe sample class could not be added: " + error;
    }
    if (!problems.empty())
      prompts.tell("The workspace is in " + utf8FromPath(base) + ", with these problems:" + problems, true);
    return base;
  }
}

}  // namespace veldra
