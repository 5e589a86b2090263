// veldra-make-sample WORKSPACE_DIR: adds the sample class of drawings and its
// project to a workspace.

#include <iostream>
#include <string>
#include <vector>

#include "app/tool_options.h"
#include "platform/platform.h"
#include "sample/sample_class.h"

namespace {

constexpr veldra::ToolUsage kUsage{
    "veldra-make-sample", VELDRA_VERSION,
    "veldra-make-sample [--] WORKSPACE_DIR\n       veldra-make-sample --help | --version\n",
    "Adds the sample class of drawings and its project to a workspace.\n"};

}  // namespace

int main(int argc, char** argv) {
  veldra::useUtf8Console();
  std::vector<std::string> args = veldra::utf8Arguments(argc, argv);
  if (const auto answered = veldra::answerHelpOrVersion(kUsage, args, {}, std::cout)) return *answered;
  if (!args.empty() && args[0] == "--") args.erase(args.begin());
  else if (!args.empty() && veldra::isOption(args[0]))
    return veldra::printUsageError(kUsage, "unknown option " + args[0], std::cerr);
  if (args.size() != 1) return veldra::printUsageError(kUsage, "give one workspace folder", std::cerr);
  const std::filesystem::path folder = veldra::pathFromUtf8(args[0]);
  std::error_code ec;
  if (!std::filesystem::is_directory(folder / "projects", ec)) {
    std::cerr << "veldra-make-sample: " << args[0] << " is not a workspace (no projects folder)\n";
    return 2;
  }
  const std::string error = veldra::sample::makeSampleClass(veldra::Workspace(folder), veldra::sample::julianDayToday());
  if (!error.empty()) {
    std::cerr << "veldra-make-sample: " << error << '\n';
    return 1;
  }
  std::cout << "Project " << veldra::sample::kProjectName << " is ready in " << args[0] << '\n';
  return 0;
}
