// veldra-setup DIR: creates the workspace folder DIR with its six
// sub-folders, copies the installed resources into DIR/resources (and the
// help start document into DIR itself), and records DIR as the base folder
// in the per-user settings store.
#include <QCoreApplication>
#include <QDir>

#include <cstdio>

#include "app/settings_store.h"
#include "app/workspace_setup.h"
#include "platform/platform.h"

namespace {

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
  QCoreApplication app(argc, argv);
  const QStringList args = QCoreApplication::arguments();
  if (args.size() != 2) {
    std::fprintf(stderr, "usage: veldra-setup DIR\n");
    return 2;
  }
  const QString base = QDir::cleanPath(QDir(args[1]).absolutePath());
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
