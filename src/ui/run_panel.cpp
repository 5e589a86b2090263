#include "ui/run_panel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

#include <algorithm>

#include "app/messages.h"
#include "app/settings.h"
#include "app/textfile.h"
#include "compare/checks.h"
#include "platform/platform.h"
#include "projects/folder_listing.h"
#include "projects/project_store.h"
#include "reports/report_options.h"
#include "run/collected_type.h"
#include "run/collection_pass.h"
#include "run/driver.h"
#include "run/run_context.h"
#include "run/throttled_view.h"
#include "ui/check_controls.h"
#include "ui/classic_controls.h"
#include "ui/null_source.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"
#include "ui/twips.h"
#include "ui/window_run_view.h"

namespace veldra {

namespace {

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

// The panel's labels behind a throttle: a long run repaints them at most
// about 30 times a second, and every run flushes its last texts.
struct WindowRun {
  explicit WindowRun(RunPanel& panel) : labels(panel), view(labels) {}
  WindowRunView labels;
  ThrottledRunView view;
};

}  // namespace

RunPanel::RunPanel(Deps deps, QWidget* parent) : QWidget(parent), deps_(std::move(deps)) {
  setAutoFillBackground(true);
  QWidget* p = this;
  // The statistics column's white rectangle and the two dividing lines.
  auto* shape = place(new QFrame(p), "Shape1", twipsRect(5280, 0, 2055, 3735));
  shape->setAutoFillBackground(true);
  QPalette white = shape->palette();
  white.setColor(QPalette::Window, Qt::white);
  shape->setPalette(white);
  auto* line1 = place(new QFrame(p), "Line1", QRect(0, 0, twips(7320), 1));
  line1->setFrameShape(QFrame::HLine);
  line1->setFrameShadow(QFrame::Plain);
  auto* line2 = place(new QFrame(p), "Line2", QRect(twips(5280), 0, 1, twips(3720)));
  line2->setFrameShape(QFrame::VLine);
  line2->setFrameShadow(QFrame::Plain);

  boldLabel(p, "lblEntity", QStringLiteral("Entity"), twipsRect(0, 120, 1215, 255));
  entity_ = editableList(p, "cmbEntity", twipsRect(0, 360, 2295, 315));
  for (std::string_view item : kEntityItems) entity_->addItem(QString::fromLatin1(item.data(), item.size()));
  entity_->setCurrentIndex(-1);
  lineWarnings_ = place(new QCheckBox(QStringLiteral("LINE entity warnings"), p), "chkLine_0",
                        twipsRect(0, 720, 2175, 255));
  lineWarnings_->setChecked(true);

  options_ = place(new QGroupBox(QStringLiteral("Report Options"), p), "frmOpt", twipsRect(2520, 120, 2655, 2055));
  options_->setFont(arial(8.25, true));
  const QFont regular = font();
  for (const Check* check : comparisonChecks()) {
    const CheckControls* controls = checkControls(check->name());
    if (!controls) continue;
    QCheckBox* box = place(new QCheckBox(QString::fromLatin1(controls->switchCaption), options_),
                           controls->switchName, controls->switchBox);
    box->setFont(regular);
    box->setChecked(check->face().onByDefault);
    switches_.push_back({check, box});
  }
  percent_ = editableList(options_, "cmbPercent", twipsRect(1080, 705, 735, 315));
  percent_->setFont(regular);
  for (std::string_view item : kPercentItems) percent_->addItem(QString::fromLatin1(item.data(), item.size()));
  auto* percentLabel = label(options_, "Label1", QStringLiteral("% match"), twipsRect(1800, 720, 615, 255));
  percentLabel->setFont(regular);
  // Free fonts run a little wider than the designed ones: let the label
  // reach into the frame's margin rather than cut its text.
  percentLabel->resize(std::max(percentLabel->width(), percentLabel->sizeHint().width()), percentLabel->height());
  age_ = editableList(options_, "cmbdate", twipsRect(1440, 1080, 1095, 315));
  age_->setFont(regular);
  for (std::string_view item : kAgeItems) age_->addItem(QString::fromLatin1(item.data(), item.size()));

  collectButton_ = button(p, "cmdCollect", QStringLiteral("Start COLLECTING..."), twipsRect(0, 1080, 2295, 375), false);
  compareButton_ = button(p, "cmdCompare", QStringLiteral("Recompare..."), twipsRect(3120, 1680, 1455, 375), false);

  boldLabel(p, "lblLocCheck", QStringLiteral("Location:"), twipsRect(0, 2280, 855, 255), Qt::AlignRight);
  location_ = boldLabel(p, "lblLocCur", QString(), twipsRect(960, 2280, 4215, 255));
  setTextColour(location_, qRgb(0x00, 0x00, 0xC0));
  auto* search = label(p, "Label4", QStringLiteral("search >>"), twipsRect(0, 2520, 855, 255), Qt::AlignRight);
  setTextColour(search, qRgb(0xC0, 0x40, 0x00));
  subfolders_ = label(p, "lblSubs", QString(), twipsRect(1080, 2520, 3975, 255));
  setTextColour(subfolders_, qRgb(0xC0, 0x40, 0x00));
  boldLabel(p, "lblFileCheck", QStringLiteral("Filename:"), twipsRect(0, 2760, 855, 255), Qt::AlignRight);
  file_ = boldLabel(p, "lblFileCur", QString(), twipsRect(960, 2760, 4215, 255));
  setTextColour(file_, qRgb(0xFF, 0x00, 0x00));
  boldLabel(p, "lblProgress", QStringLiteral("Progress"), twipsRect(0, 3120, 1215, 255));
  progress_ = place(new QProgressBar(p), "ProgressBar1", twipsRect(0, 3360, 5175, 345));
  progress_->setTextVisible(false);
  progress_->setValue(0);
  boldLabel(p, "lbl0", QStringLiteral("0%"), twipsRect(0, 3720, 255, 255));
  boldLabel(p, "lbl100", QStringLiteral("100%"), twipsRect(4680, 3720, 495, 255), Qt::AlignRight);

  boldLabel(p, "lblCompStats", QStringLiteral("Comparison Statistics"), twipsRect(5400, 240, 2055, 255));
  boldLabel(p, "lblFilesHead", QStringLiteral("Files:"), twipsRect(5640, 720, 1095, 255), Qt::AlignRight);
  totalFiles_ = boldLabel(p, "lblTotalFiles", QStringLiteral("0000"), twipsRect(6840, 720, 615, 255));
  setTextColour(totalFiles_, qRgb(0x00, 0x00, 0xC0));
  for (const Check* check : comparisonChecks()) {
    const CheckControls* controls = checkControls(check->name());
    if (!controls) continue;
    const std::string_view caption = check->face().counter;
    boldLabel(p, controls->headName, QString::fromLatin1(caption.data(), caption.size()) + ':', controls->headBox,
              Qt::AlignRight);
    QLabel* counter = boldLabel(p, controls->counterName, QStringLiteral("0000"), controls->counterBox);
    setTextColour(counter, qRgb(0xFF, 0x00, 0x00));
    counters_.push_back({check, counter});
  }
  picture_ = place(new QLabel(p), "Picture1", twipsRect(5655, 1920, 1350, 1125));
  picture_->setAlignment(Qt::AlignCenter);
  status_ = boldLabel(p, "lblStatus", QString(), twipsRect(5280, 3000, 2055, 255), Qt::AlignHCenter);
  verdict_ = label(p, "lblVELDRAd", QStringLiteral("NO VELDRA's"), twipsRect(5355, 3240, 1935, 375), Qt::AlignHCenter);
  // 18 point bold, made smaller only as far as the verdict needs to fit.
  QFont verdict = arial(18, true);
  while (verdict.pointSizeF() > 8 && QFontMetrics(verdict).horizontalAdvance(verdict_->text()) > verdict_->width())
    verdict.setPointSizeF(verdict.pointSizeF() - 0.5);
  verdict_->setFont(verdict);
  setTextColour(verdict_, qRgb(0x80, 0x00, 0x80));
  time_ = boldLabel(p, "lblTime", QString(), twipsRect(5280, 3720, 1935, 255), Qt::AlignRight);

  connect(entity_, &QComboBox::activated, this, &RunPanel::entityChosen);
  connect(lineWarnings_, &QCheckBox::stateChanged, this,
          [this] { writeCheckBox(ws_, lineWarnings_, kLineWarningSettingFile); });
  for (const auto& [check, box] : switches_) connect(box, &QCheckBox::clicked, this, &RunPanel::switchClicked);
  connect(percent_, &QComboBox::activated, this, &RunPanel::percentChosen);
  connect(collectButton_, &QPushButton::clicked, this, &RunPanel::collect);
  connect(compareButton_, &QPushButton::clicked, this, &RunPanel::recompare);
  // Keys for the two runs (F5, Shift+F5): the buttons keep their captions.
  for (const auto& [keys, target] : {std::pair{QKeySequence(Qt::Key_F5), collectButton_},
                                     std::pair{QKeySequence(Qt::SHIFT | Qt::Key_F5), compareButton_}}) {
    auto* shortcut = new QShortcut(keys, this);
    shortcut->setContext(Qt::WindowShortcut);
    QPushButton* button = target;
    connect(shortcut, &QShortcut::activated, button, [button] {
      if (button->isEnabled()) button->click();
    });
  }
  entity_->installEventFilter(this);
}

RunPanel::~RunPanel() { stopListeningToChildren(this); }

bool RunPanel::eventFilter(QObject* watched, QEvent* event) {
  // The entity type shown is a suggestion: typing replaces it whole rather
  // than adding to its end.
  if (watched == entity_ && event->type() == QEvent::FocusIn) {
    QTimer::singleShot(0, entity_->lineEdit(), &QLineEdit::selectAll);
  }
  return QWidget::eventFilter(watched, event);
}

void RunPanel::showLogo(const QPixmap& logo) {
  picture_->setPixmap(logo.scaled(picture_->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void RunPanel::chooseFirstEntity() {
  entity_->setCurrentIndex(0);
  entityChosen();
}

void RunPanel::restoreSettings() {
  const auto entity = readSetting(ws_, kEntitySettingFile, kEntitySettingDefault);
  if (entity && *entity >= -1 && *entity < entity_->count()) {
    entity_->setCurrentIndex(*entity);
    entityChosen();
  }
  restoreCheckBox(ws_, lineWarnings_, kLineWarningSettingFile, kLineWarningSettingDefault);
}

int RunPanel::entityPosition() const {
  const int index = entity_->currentIndex();
  if (index < 0 || entity_->currentText() != entity_->itemText(index)) return -1;
  return index;
}

void RunPanel::showProject(const std::string& project) {
  totalFiles_->setText(QStringLiteral("0000"));
  countDrawings();
  collectButton_->setEnabled(true);
  compareButton_->setEnabled(hasRecords(ws_, project));
}

void RunPanel::showNoProject() {
  totalFiles_->setText(QStringLiteral("0000"));
  for (QPushButton* b : {collectButton_, compareButton_}) b->setEnabled(false);
}

void RunPanel::forgetProject() {
  countDrawings();
  for (QPushButton* b : {collectButton_, compareButton_}) b->setEnabled(false);
}

void RunPanel::countDrawings() {
  collectButton_->setEnabled(true);
  // A folder that cannot be listed, or too many drawings, stops the count and
  // the label keeps what it showed.
  if (const auto total = countDrawingsOrStop(deps_.locations()))
    totalFiles_->setText(QString::fromStdString(fourDigits(*total)));
}

void RunPanel::entityChosen() {
  const int index = entity_->currentIndex();
  const QString item = index >= 0 ? entity_->itemText(index) : QString();
  // The window state judged is whether the main window is shown: start-up
  // shows it before it restores the entity, so restoring LINE with the
  // warning switch on warns at start-up as well.
  if (shouldWarnAboutLines(item.toStdString(), checkValue(lineWarnings_), window()->isVisible()) && deps_.messages) {
    deps_.messages->show(utf8Text(QString::fromLatin1(kLineWarningText.data(), kLineWarningText.size())),
                         utf8Text(QString::fromLatin1(kLineWarningTitle.data(), kLineWarningTitle.size())),
                         MessageIcon::Information);
  }
}

void RunPanel::switchClicked() {
  const bool anyOn = std::any_of(switches_.begin(), switches_.end(), [](const auto& s) { return s.second->isChecked(); });
  const auto change = runButtonsAfterSwitch(anyOn, !deps_.selectedProject().isEmpty());
  if (change == RunButtonChange::Leave) return;
  collectButton_->setEnabled(change == RunButtonChange::Enable);
  compareButton_->setEnabled(change == RunButtonChange::Enable);
}

void RunPanel::percentChosen() {
  const auto caption = handleSwitchCaption(percent_->currentText().toStdString());
  if (QCheckBox* box = switchOf(handleCheck())) box->setText(QString::fromLatin1(caption.data(), caption.size()));
}

// ---------------------------------------------------------------- runs

QCheckBox* RunPanel::switchOf(const Check& check) const {
  for (const auto& [shown, box] : switches_)
    if (shown == &check) return box;
  return nullptr;
}

QLabel* RunPanel::counterOf(const Check& check) const {
  for (const auto& [shown, counter] : counters_)
    if (shown == &check) return counter;
  return nullptr;
}

FileDevice& RunPanel::files() const { return deps_.files ? *deps_.files : diskDevice(); }

RunOptions RunPanel::runOptions() const {
  RunOptions options;
  options.project = utf8Text(deps_.selectedProject());
  options.locations = deps_.locations();
  options.entity = utf8Text(entity_->currentText());
  for (const auto& [check, box] : switches_) check->setSwitchedOn(options, box->checkState() == Qt::Checked);
  options.percent = utf8Text(percent_->currentText());
  options.age = utf8Text(age_->currentText());
  return options;
}

void RunPanel::collect() {
  // Without a project there is no record file to write.
  if (deps_.selectedProject().isEmpty()) return;
  MessageBoxes& messages = givenOr<NoMessages>(deps_.messages);
  const RunOptions options = runOptions();
  WindowRun shown(*this);
  RunContext run{ws_, options, runState_, shown.view, givenOr<SystemRunClock>(deps_.runClock), givenOr<SilentAlarm>(deps_.sound),
                 files()};
  const PassResult result = runCollectionPass(run, givenOr<NullDrawingSource>(deps_.source), messages);
  shown.view.flush();
  if (result.fatal) {
    messages.show(result.fatalText, kFatalTitle, MessageIcon::Critical);
    emit programMustEnd();
    return;
  }
  compareButton_->setEnabled(true);
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

void RunPanel::recompare() {
  if (deps_.selectedProject().isEmpty()) return;
  const RunOptions options = runOptions();
  WindowRun shown(*this);
  RunContext run{ws_, options, runState_, shown.view, givenOr<SystemRunClock>(deps_.runClock), givenOr<SilentAlarm>(deps_.sound),
                 files()};
  MessageBoxes& messages = givenOr<NoMessages>(deps_.messages);
  RecompareReport report;
  const RecompareOutcome outcome = veldra::recompare(run, messages, &report);
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
    if (QCheckBox* box = switchOf(timeCheck())) box->setChecked(false);
    switchClicked();
    compareButton_->setEnabled(false);
  }
}


}  // namespace veldra
