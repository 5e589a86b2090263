#pragma once

// The program's command line: "veldra [--workspace DIR] [--evidence PROJECT]",
// or "veldra --help | --version".

#include <QStringList>

#include <optional>
#include <string>

#include <filesystem>

#include "app/workspace.h"

namespace veldra {

struct ProgramArguments {
  std::optional<std::filesystem::path> workspace;  // as given, made absolute, no trailing separator
  std::optional<QString> evidenceProject;
  QString error;                         // not empty when the line cannot be used
  bool help = false;                     // --help: the usage, and nothing else is done
  bool version = false;                  // --version: the name and version, and nothing else
};

inline constexpr const char* kProgramUsage =
    "usage: veldra [--workspace DIR] [--evidence PROJECT]\n       veldra --help | --version\n";

// `arguments` as QApplication::arguments() gives them, the program first.
ProgramArguments parseProgramArguments(const QStringList& arguments);

// The project listed in the workspace under that name, compared ignoring
// case; empty when none is.
std::string listedProject(const Workspace& workspace, const QString& name);

}  // namespace veldra
