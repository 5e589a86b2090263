#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

class QPushButton;
class QTextEdit;

namespace veldra {

// The help window (frmHelp): the full help document in a viewer and an Exit
// button. Modeless; closing only hides it. It reads the base folder from the
// main window each time it loads a document.
class HelpWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kNotFound = "Help file not found...";

  explicit HelpWindow(std::function<std::filesystem::path()> installLoc, QWidget* parent = nullptr);

  // The Help button of the main window: shows the window in front, running
  // its load step the first time, then loads the full help.
  void openHelp();

 private slots:
  void on_cmdExit_clicked();

 private:
  // First showing only: the start document of the base folder.
  void Form_Load();
  void loadOrNotFound(const std::filesystem::path& file);

  std::function<std::filesystem::path()> installLoc_;
  QTextEdit* RichTextBox1 = nullptr;
  QPushButton* cmdExit = nullptr;
  bool loaded_ = false;
};

}  // namespace veldra
