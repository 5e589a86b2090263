#include "ui/program_arguments.h"

#include <QDir>
#include <QFile>

#include "projects/folder_listing.h"
#include "projects/project_store.h"
#include "ui/qt_text.h"

namespace veldra {

ProgramArguments parseProgramArguments(const QStringList& arguments) {
  ProgramArguments out;
  bool operands = false;  // after "--": the program takes none
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& arg = arguments[i];
    if (!operands && arg == QStringLiteral("--")) {
      operands = true;
    } else if (operands) {
      if (out.error.isEmpty()) out.error = QString::fromUtf8(kProgramUsage).trimmed();
    } else if (arg == QStringLiteral("--workspace") && i + 1 < arguments.size()) {
      // A given base folder is used as written, without a trailing separator.
      QString folder = QDir::toNativeSeparators(QDir(arguments[++i]).absolutePath());
      while (folder.size() > 1 && (folder.endsWith('/') || folder.endsWith('\\'))) folder.chop(1);
      out.workspace = fsPath(folder);
    } else if (arg == QStringLiteral("--evidence") && i + 1 < arguments.size() && !arguments[i + 1].isEmpty()) {
      out.evidenceProject = arguments[++i];
    } else if (arg == QStringLiteral("--help") || arg == QStringLiteral("-h")) {
      out.help = true;
    } else if (arg == QStringLiteral("--version")) {
      out.version = true;
    } else if (out.error.isEmpty()) {
      // Read on: a --help further on is still answered.
      out.error = QString::fromUtf8(kProgramUsage).trimmed();
      if (arg.startsWith(QLatin1Char('-'))) out.error.prepend(QStringLiteral("veldra: unknown option %1\n").arg(arg));
    }
  }
  return out;
}

std::string listedProject(const Workspace& workspace, const QString& name) {
  const std::string wanted = name.toStdString();  // project names are kept as UTF-8
  for (const auto& listed : readProjects(workspace).value_or(std::vector<std::string>{}))
    if (!lessIgnoringCase(listed, wanted) && !lessIgnoringCase(wanted, listed) && checkProjectName(listed))
      return listed;
  return {};
}

}  // namespace veldra
