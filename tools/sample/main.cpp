// veldra-make-sample WORKSPACE_DIR: adds the sample class of drawings and its
// project to a workspace.

#include <iostream>

#include "sample/sample_class.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: veldra-make-sample WORKSPACE_DIR\n";
    return 2;
  }
  std::error_code ec;
  if (!std::filesystem::is_directory(std::filesystem::path(argv[1]) / "projects", ec)) {
    std::cerr << "veldra-make-sample: " << argv[1] << " is not a workspace (no projects folder)\n";
    return 2;
  }
  const std::string error = veldra::sample::makeSampleClass(veldra::Workspace(argv[1]), veldra::sample::julianDayToday());
  if (!error.empty()) {
    std::cerr << "veldra-make-sample: " << error << '\n';
    return 1;
  }
  std::cout << "Project " << veldra::sample::kProjectName << " is ready in " << argv[1] << '\n';
  return 0;
}
