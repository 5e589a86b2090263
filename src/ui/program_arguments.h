#pragma once

// The program's command line: "veldra [--workspace DIR] [--evidence PROJECT]".

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
};

// `arguments` as QApplication::arguments() gives them, the program first.
ProgramArguments parseProgramArguments(const QStringList& arguments);

// The project listed in the workspace under that name, compared ignoring
// case; empty when none is.
std::string listedProject(const Workspace& workspace, const QString& name);

}  // namespace veldra
