// veldra-make-sample WORKSPACE_DIR: adds the sample class of drawings and its
// project to a workspace.

#include <iostream>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "sample/sample_class.h"

int main(int argc, char** argv) {
  veldra::useUtf8Console();
  const std::vector<std::string> args = veldra::utf8Arguments(argc, argv);
  if (args.size() != 1) {
    std::cerr << "usage: veldra-make-sample WORKSPACE_DIR\n";
    return 2;
  }
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
