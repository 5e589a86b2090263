#pragma once

// The About page of the main window, "frmAbout": the banner over the about
// document.

#include <QWidget>

#include <filesystem>

class QLabel;
class QTextEdit;

namespace veldra {

class AboutPage : public QWidget {
  Q_OBJECT

 public:
  explicit AboutPage(QWidget* parent);
  // Shows the about document; a missing one is no reason to fail: the page
  // says so instead.
  void showDocument(const std::filesystem::path& file);

 private:
  QLabel* banner_ = nullptr;
  QTextEdit* text_ = nullptr;
};

}  // namespace veldra
