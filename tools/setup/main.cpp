// veldra-setup [--] DIR: creates the workspace folder DIR with its six
// sub-folders, copies the installed resources into DIR/resources (and the
// help start document into DIR itself), and records DIR as the base folder
// in the per-user settings store.
#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "app/settings_store.h"
#include "app/tool_options.h"
#include "app/workspace_setup.h"
#include "platform/platform.h"

namespace {

constexpr veldra::ToolUsage kUsage{
    "veldra-setup", VELDRA_VERSION, "veldra-setup DIR\n       veldra-setup --help | --version\n",
    "Creates the workspace folder DIR with its sub-folders and resources, and records it as the\n"
    "base folder in the user's settings.\n"};

void say(const QString& text) { std::fprintf(stderr, "veldra-setup: %s\n", text.toLocal8Bit().constData()); }

// The resources shipped with the program: next to it after installation, or
// the source tree's folder when run from a build folder.
std::filesystem::path resourceFolder() {
  std::filesystem::path source;
#ifdef VELDRA_RESOURCE_DIR
  source = veldra::pathFromUtf8(VELDRA_RESOURCE_DIR);
#endif
  return veldra::shippedResources(std::filesystem::path(QCoreApplication::applicationDirPath().toStdU16String()),
                                  source);
}

}  // namespace

int main(int argc, char** argv) {
  // Asked for help or the version, or given what it cannot take, the program
  // ends before it creates a folder or records one.
  veldra::useUtf8Console();
  const std::vector<std::string> args = veldra::utf8Arguments(argc, argv);
  if (const auto answered = veldra::answerHelpOrVersion(kUsage, args, {}, std::cout)) return *answered;
  std::vector<std::string> folders;
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "--") {
      folders.insert(folders.end(), args.begin() + static_cast<std::ptrdiff_t>(k) + 1, args.end());
      break;
    }
    if (veldra::isOption(args[k])) return veldra::printUsageError(kUsage, "unknown option " + args[k], std::cerr);
    folders.push_back(args[k]);
  }
  if (folders.size() != 1) return veldra::printUsageError(kUsage, "give one folder", std::cerr);

  QCoreApplication app(argc, argv);
  const QString given = QString::fromUtf8(folders[0].data(), static_cast<qsizetype>(folders[0].size()));
  const QString base = QDir::cleanPath(QDir(given).absolutePath());
  const veldra::WorkspaceSetup setup =
      veldra::layDownWorkspace(std::filesystem::path(base.toStdU16String()), resourceFolder());
  for (const std::string& problem : setup.problems) say(QString::fromStdString(problem));
  if (!setup.folders) return 1;

  if (!veldra::writeInstallLocation(std::filesystem::path(QDir::toNativeSeparators(base).toStdU16String()))) {
    say(QStringLiteral("cannot record the base folder in the settings store"));
    return 1;
  }
  std::printf("%s\n", QDir::toNativeSeparators(base).toLocal8Bit().constData());
  return setup.ok() ? 0 : 1;
}
