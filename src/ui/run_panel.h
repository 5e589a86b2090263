#pragma once

// The lower panel of the main window, "frmMainHolder": the entity type and
// the report options a run uses, the buttons that collect and recompare,
// where a run is (location, file, progress) and the comparison statistics
// with the verdict. A run holds the thread while it goes; the panel's
// labels show it as it goes (WindowRunView).

#include <QString>
#include <QWidget>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "app/workspace.h"
#include "run/run_state.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPixmap;
class QProgressBar;
class QPushButton;

namespace veldra {

class AlarmSound;
class DrawingSource;
class FileDevice;
class MessageBoxes;
class RunClock;

class RunPanel : public QWidget {
  Q_OBJECT

 public:
  // What a run needs from outside; a stand-in (or the disk) where left empty.
  struct Deps {
    MessageBoxes* messages = nullptr;
    DrawingSource* source = nullptr;
    RunClock* runClock = nullptr;
    AlarmSound* sound = nullptr;
    FileDevice* files = nullptr;
    // The project selected on the Projects page, empty for none.
    std::function<QString()> selectedProject;
    // The selected project's locations, as their file holds them.
    std::function<std::vector<std::string>()> locations;
  };
  RunPanel(Deps deps, QWidget* parent);
  ~RunPanel() override;

  // The workspace the runs read and write.
  void setWorkspace(const Workspace& ws) { ws_ = ws; }
  // The logo shown beside the statistics until a run shows its verdict.
  void showLogo(const QPixmap& logo);
  // The first entity type chosen, as at start.
  void chooseFirstEntity();
  // The entity type and the line warnings as their settings files keep them.
  void restoreSettings();
  // The position of the chosen entity type, -1 when the text is no item.
  int entityPosition() const;

  // A project was chosen: its count of drawings, and the runs it allows.
  void showProject(const std::string& project);
  // A project that cannot be used, or none: no run.
  void showNoProject();
  // The project went.
  void forgetProject();
  // Counts the drawings of the locations listed.
  void countDrawings();

  // Collects the drawings of the selected project and compares them.
  void collect();
  // Compares the records collected before again, with the options as they are now.
  void recompare();

 signals:
  // A run failed so that the program cannot go on: it ends at once, without
  // saving the entity choice.
  void programMustEnd();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class WindowRunView;

  void entityChosen();
  void switchClicked();
  void percentChosen();
  RunOptions runOptions() const;
  FileDevice& files() const;
  QCheckBox* switchOf(const Check& check) const;
  QLabel* counterOf(const Check& check) const;

  Workspace ws_;
  Deps deps_;
  // The state a run shares between the pass, the comparison and the alarm.
  RunState runState_;

  QComboBox* entity_ = nullptr;
  QCheckBox* lineWarnings_ = nullptr;
  QGroupBox* options_ = nullptr;
  // Each check's switch and counter, in the order of comparisonChecks().
  std::vector<std::pair<const Check*, QCheckBox*>> switches_;
  QComboBox* percent_ = nullptr;
  QComboBox* age_ = nullptr;
  QPushButton* collectButton_ = nullptr;
  QPushButton* compareButton_ = nullptr;
  QLabel* location_ = nullptr;
  QLabel* file_ = nullptr;
  QLabel* subfolders_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* totalFiles_ = nullptr;
  std::vector<std::pair<const Check*, QLabel*>> counters_;
  QLabel* picture_ = nullptr;
  QLabel* status_ = nullptr;
  QLabel* verdict_ = nullptr;
  QLabel* time_ = nullptr;
};

}  // namespace veldra
