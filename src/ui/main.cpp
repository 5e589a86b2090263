// The program: parses "--workspace DIR" and "--evidence PROJECT", then lets the
// main window, or the evidence window alone, start up. With no workspace
// recorded (and none given) it first offers to lay one down.
#include <QApplication>
#include <QDir>

#include <cstdio>

#include "app/messages.h"
#include "app/settings_store.h"
#include "app/workspace_setup.h"
#include "collect/native_source.h"
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
  {
    // Help and the version are answered before a window system is asked for:
    // they work where none is, and nothing is opened or read.
    veldra::useUtf8Console();
    QStringList given{QStringLiteral("veldra")};
    for (const std::string& arg : veldra::utf8Arguments(argc, argv))
      given << QString::fromUtf8(arg.data(), static_cast<qsizetype>(arg.size()));
    const veldra::ProgramArguments asked = veldra::parseProgramArguments(given);
    if (asked.help) {
      std::fputs(veldra::kProgramUsage, stdout);
      return 0;
    }
    if (asked.version) {
      std::printf("veldra %s\n", VELDRA_VERSION);
      return 0;
    }
    // A command line it cannot take is answered with the usage, as every
    // tool answers one: nothing is opened, and no window is asked for.
    if (!asked.error.isEmpty()) {
      std::fprintf(stderr, "%s\n", qPrintable(asked.error));
      return 2;
    }
  }
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("VELDRA"));

  veldra::MainWindowDeps deps;
  const veldra::ProgramArguments args = veldra::parseProgramArguments(QApplication::arguments());
  veldra::QtMessageBoxes messages;
  // Started from a shortcut, the program has no console: what stops it is
  // also said in a message box.
  auto refuse = [&messages](const std::string& text) {
    std::fprintf(stderr, "veldra: %s\n", text.c_str());
    messages.show(text, veldra::kErrorTitle, veldra::MessageIcon::Exclamation);
    return 2;
  };
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
  if (args.evidenceProject) {
    // The evidence window alone, on the workspace given or recorded.
    const std::filesystem::path base = args.workspace ? *args.workspace : veldra::readInstallLocation();
    if (base.empty()) return refuse("no workspace is recorded: start the program with --workspace DIR");
    const veldra::Workspace workspace(base);
    const std::string project = veldra::listedProject(workspace, *args.evidenceProject);
    if (project.empty())
      return refuse("there is no project " + args.evidenceProject->toStdString() + " in " +
                    veldra::utf8FromPath(workspace.projectsFile()));
    veldra::EvidenceWindowDeps evidenceDeps;
    evidenceDeps.messages = &messages;
    veldra::EvidenceWindow window(workspace, project, evidenceDeps);
    messages.setParent(&window);
    window.show();
    // The last result kept is shown at once; a project never judged is judged.
    if (!window.findings()) window.startRun();
    return QApplication::exec();
  }

  veldra::NativeDrawingSource source;
  veldra::SystemVolumes volumes;
  deps.messages = &messages;
  deps.source = &source;
  deps.volumes = &volumes;
  veldra::QtAlarmSound sound;
  deps.sound = &sound;

  veldra::MainWindow window(deps);
  messages.setParent(&window);
  window.startUp();
  sound.prepare(window.workspace().resource("conflict.wav"));
  return QApplication::exec();
}
