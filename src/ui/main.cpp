// The program: parses "--workspace DIR" and "--evidence PROJECT", then lets the
// main window, or the evidence window alone, start up. With no workspace
// recorded (and none given) it first offers to lay one down.
#include <QApplication>
#include <QDir>

#include <cstdio>

#include "app/settings_store.h"
#include "app/workspace_setup.h"
#include "collect/native_host.h"
#include "platform/platform.h"
#include "sample/sample_class.h"
#include "ui/evidence_window.h"
#include "ui/first_start_dialog.h"
#include "ui/main_window.h"
#include "ui/program_arguments.h"
#include "ui/qt_alarm_sound.h"
#include "ui/qt_message_boxes.h"
#include "ui/qt_text.h"
#include "ui/volumes.h"

int main(int argc, char** argv) {
  veldra::keepFreedMemoryForReuse();
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELDRA"));

  veldra::MainWindowDeps deps;
  const veldra::ProgramArguments args = veldra::parseProgramArguments(QApplication::arguments());
  if (!args.error.isEmpty()) {
    std::fprintf(stderr, "%s\n", qPrintable(args.error));
    return 2;
  }
  deps.installLoc = args.workspace;

  // No workspace recorded and none given: offer to lay one down.
  if (!args.workspace && !args.evidenceProject && veldra::readInstallLocation().empty()) {
    veldra::FirstStartSteps steps;
    steps.suggested = veldra::fsPath(QDir::homePath());
    std::filesystem::path sourceResources;
#ifdef VELDRA_RESOURCE_DIR
    sourceResources = veldra::pathFromUtf8(VELDRA_RESOURCE_DIR);
#endif
    steps.resources = veldra::shippedResources(veldra::fsPath(QApplication::applicationDirPath()), sourceResources);
    steps.record = [](const std::filesystem::path& base) { return veldra::writeInstallLocation(base); };
    steps.addSample = [](const veldra::Workspace& workspace) {
      return veldra::sample::makeSampleClass(workspace, veldra::sample::julianDayToday());
    };
    veldra::DialogFirstStartPrompts prompts(true);
    const auto created = veldra::runFirstStart(prompts, steps);
    if (!created) return 0;
    deps.installLoc = *created;
  }

  veldra::QtMessageBoxes messages;
  if (args.evidenceProject) {
    // The evidence window alone, on the workspace given or recorded.
    const std::filesystem::path base = args.workspace ? *args.workspace : veldra::readInstallLocation();
    if (base.empty()) {
      std::fprintf(stderr, "veldra: no workspace: give --workspace DIR\n");
      return 2;
    }
    const veldra::Workspace workspace(base);
    const std::string project = veldra::listedProject(workspace, *args.evidenceProject);
    if (project.empty()) {
      std::fprintf(stderr, "veldra: no project %s in %s\n", qPrintable(*args.evidenceProject),
                   veldra::utf8FromPath(workspace.projectsFile()).c_str());
      return 2;
    }
    veldra::EvidenceWindowDeps evidenceDeps;
    evidenceDeps.messages = &messages;
    veldra::EvidenceWindow window(workspace, project, evidenceDeps);
    messages.setParent(&window);
    window.show();
    window.startRun();
    return QApplication::exec();
  }

  veldra::NativeDrawingHost host;
  veldra::SystemVolumes volumes;
  deps.messages = &messages;
  deps.host = &host;
  deps.volumes = &volumes;
  veldra::QtAlarmSound sound;
  deps.sound = &sound;

  veldra::MainWindow window(deps);
  messages.setParent(&window);
  window.startUp();
  sound.prepare(window.workspace().resource("conflict.wav"));
  return QApplication::exec();
}
