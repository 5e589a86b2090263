#pragma once

#include <QWidget>

#include <filesystem>
#include <functional>
#include <string>

class QLabel;
class QPushButton;
class QTextEdit;

namespace veldra {

class MessageBoxes;

// The advice window (WhatNext): what to do about a found conflict. Modeless;
// closing only hides it. It reads the base folder from the main window each
// time it loads its document.
class WhatNextWindow : public QWidget {
  Q_OBJECT

 public:
  static constexpr const char* kUnavailable = "Whatnext.rtf unavailable!";

  WhatNextWindow(std::function<std::filesystem::path()> installLoc, MessageBoxes& messages,
                 QWidget* parent = nullptr);

  // The What Next? button of the main window: shows the window in front and
  // loads the advice document.
  void openAdvice();

  // Loads the document named by the key: "WhatNext" is the advice document;
  // any other key loads nothing. A document that cannot be loaded is
  // reported in a message box and the viewer keeps what it showed.
  void form2load(const std::string& rtfFile);

 private slots:
  void on_cmdClose_clicked();

 private:
  std::function<std::filesystem::path()> installLoc_;
  MessageBoxes& messages_;
  QTextEdit* RichTextBox1 = nullptr;
  QLabel* Label2 = nullptr;
  QPushButton* cmdClose = nullptr;
  bool placed_ = false;
};

}  // namespace veldra
