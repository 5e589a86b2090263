// The collection pass and the recompare, started from the lower panel.
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QPushButton>

#include "app/messages.h"
#include "app/textfile.h"
#include "platform/platform.h"
#include "run/collected_type.h"
#include "run/collection_pass.h"
#include "run/driver.h"
#include "run/run_context.h"
#include "run/throttled_view.h"
#include "ui/locations_page.h"
#include "ui/main_window.h"
#include "ui/null_source.h"
#include "ui/qt_text.h"
#include "ui/window_run_view.h"

namespace veldra {
namespace {

// Stands in for a missing message box implementation: nothing is shown.
class NoMessages : public MessageBoxes {
 public:
  void show(const std::string&, const std::string&, MessageIcon) override {}
  bool ask(const std::string&, const std::string&) override { return false; }
};

// What the window was given, or a stand-in when it was given nothing.
template <typename StandIn, typename Interface>
Interface& givenOr(Interface* given) {
  static StandIn standIn;
  return given ? *given : standIn;
}

// At most this many problem drawings are named in one message; the rest are counted.
constexpr std::size_t kProblemsNamed = 20;

std::string problemsText(const std::vector<ProblemDrawing>& problems) {
  std::string text = problems.size() == 1 ? "This drawing could not be read, or its facts cannot be trusted:"
                                          : "These drawings could not be read, or their facts cannot be trusted:";
  text += "\r\n";
  for (std::size_t i = 0; i < problems.size() && i < kProblemsNamed; ++i)
    text += "\r\n" + utf8FromPath(problems[i].path) + " (" + problemReason(problems[i]) + ")";
  if (problems.size() > kProblemsNamed)
    text += "\r\n... and " + std::to_string(problems.size() - kProblemsNamed) +
            " more (\"veldra-cli collect\" lists every one).";
  text += "\r\n\r\nThe checks cannot judge them: look at these submissions yourself.";
  return text;
}

// What went wrong in a run, one paragraph each.
std::string errorsText(const std::vector<std::string>& errors) {
  std::string text;
  for (const auto& error : errors) text += (text.empty() ? "" : "\r\n\r\n") + error;
  return text;
}

std::string absentTypeText(const std::string& entity) {
  return "No drawing holds an entity of type " + entity +
         ", so the handle check had nothing to compare. Choose another entity type and collect again.";
}

// The window's labels behind a throttle: a long run repaints them at most
// about 30 times a second, and every run flushes its last texts.
struct WindowRun {
  explicit WindowRun(MainWindow& window) : labels(window), view(labels) {}
  WindowRunView labels;
  ThrottledRunView view;
};

}  // namespace

FileDevice& MainWindow::files() const { return deps_.files ? *deps_.files : diskDevice(); }

RunOptions MainWindow::runOptions() const {
  RunOptions options;
  options.project = utf8Text(selectedProject());
  options.locations = locationsPage_->entries();
  options.entity = utf8Text(cmbEntity->currentText());
  options.timeCheck = chkOpt[0]->checkState() == Qt::Checked;
  options.handleCheck = chkOpt[1]->checkState() == Qt::Checked;
  options.ageCheck = chkOpt[2]->checkState() == Qt::Checked;
  options.percent = utf8Text(cmbPercent->currentText());
  options.age = utf8Text(cmbdate->currentText());
  return options;
}

void MainWindow::on_cmdCollect_clicked() {
  // Without a project there is no record file to write.
  if (selectedProject().isEmpty()) return;
  MessageBoxes& messages = givenOr<NoMessages>(deps_.messages);
  const RunOptions options = runOptions();
  WindowRun shown(*this);
  RunContext run{ws_, options, runState_, shown.view, givenOr<SystemRunClock>(deps_.runClock), givenOr<SilentAlarm>(deps_.sound),
                 files()};
  const PassResult result = runCollectionPass(run, givenOr<NullDrawingSource>(deps_.source), messages);
  shown.view.flush();
  if (result.fatal) {
    messages.show(result.fatalText, kFatalTitle, MessageIcon::Critical);
    // The program ends at once, without saving the entity choice.
    ended_ = true;
    if (deps_.endProgram) {
      deps_.endProgram();
    } else {
      QCoreApplication::quit();
    }
    return;
  }
  cmdCompare->setEnabled(true);
  if (!result.stopped.empty()) {
    messages.show(result.stopped, kErrorTitle, MessageIcon::Critical);
    return;
  }
  if (!result.comparison.errors.empty())
    messages.show(errorsText(result.comparison.errors), kErrorTitle, MessageIcon::Critical);
  if (!result.problems.empty()) messages.show(problemsText(result.problems), kWarningTitle, MessageIcon::Exclamation);
  if (result.comparison.entityTypeAbsent)
    messages.show(absentTypeText(result.comparison.entity), kWarningTitle, MessageIcon::Exclamation);
}

void MainWindow::on_cmdCompare_clicked() {
  if (selectedProject().isEmpty()) return;
  const RunOptions options = runOptions();
  WindowRun shown(*this);
  RunContext run{ws_, options, runState_, shown.view, givenOr<SystemRunClock>(deps_.runClock), givenOr<SilentAlarm>(deps_.sound),
                 files()};
  MessageBoxes& messages = givenOr<NoMessages>(deps_.messages);
  RecompareReport report;
  const RecompareOutcome outcome = recompare(run, messages, &report);
  shown.view.flush();
  if (outcome == RecompareOutcome::Ran) {
    if (!report.comparison.errors.empty())
      messages.show(errorsText(report.comparison.errors), kErrorTitle, MessageIcon::Critical);
    if (report.typeDiffers(options.entity))
      messages.show(collectedTypeNotice(*report.collectedWith, options.entity), kAppTitle, MessageIcon::Information);
    if (report.comparison.entityTypeAbsent)
      messages.show(absentTypeText(report.comparison.entity), kWarningTitle, MessageIcon::Exclamation);
  }
  if (outcome == RecompareOutcome::EmptyRecordRefused) {
    // As if the user had cleared "Time Matches": the run buttons follow the
    // switches, then "Recompare..." stays off until there are records again.
    chkOpt[0]->setChecked(false);
    chkOpt_Click(0);
    cmdCompare->setEnabled(false);
  }
}

}  // namespace veldra
