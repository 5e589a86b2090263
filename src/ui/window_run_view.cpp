#include "ui/window_run_view.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>

#include "compare/checks.h"
#include "projects/folder_listing.h"
#include "ui/main_window.h"
#include "ui/qt_text.h"

namespace veldra {

WindowRunView::WindowRunView(MainWindow& window) : window_(window) {}

// Texts of a run come in UTF-8 (names and folders of drawings among them).
void WindowRunView::show(QLabel* label, const std::string& text) {
  label->setText(qtText(text));
  label->repaint();
}

void WindowRunView::showCount(QLabel* label, int count) { show(label, fourDigits(count)); }

void WindowRunView::setStatus(const std::string& text) { show(window_.lblStatus, text); }
void WindowRunView::setComparing(int first, int second) { show(window_.lblStatus, comparingText(first, second)); }
void WindowRunView::setElapsed(long long seconds) { show(window_.lblTime, elapsedText(seconds)); }
void WindowRunView::clearElapsed() { show(window_.lblTime, std::string()); }

QLabel* WindowRunView::conflictCounter(const Check& check) const {
  if (&check == &timeCheck()) return window_.lblTotConflicts;
  if (&check == &handleCheck()) return window_.lblTotEntityConflicts;
  if (&check == &ageCheck()) return window_.lblTotDateConflicts;
  return nullptr;
}

void WindowRunView::setConflicts(const Check& check, int count) {
  if (QLabel* counter = conflictCounter(check)) showCount(counter, count);
}

void WindowRunView::setTotalFiles(int count) { showCount(window_.lblTotalFiles, count); }
void WindowRunView::setLocation(const std::string& text) { show(window_.lblLocCur, text); }
void WindowRunView::setSubfolders(const std::string& text) { show(window_.lblSubs, text); }
void WindowRunView::setFile(const std::string& text) { show(window_.lblFileCur, text); }

// The verdict as lblVELDRAd shows it: the all-clear in purple, the alarm in
// red, a run that could not judge in grey.
void WindowRunView::setVerdict(Verdict verdict) {
  if (verdict == Verdict::kNone) return;
  QColor colour(128, 0, 128);
  const char* text = "NO VELDRA's";
  if (verdict == Verdict::kAlarm) {
    colour = QColor(255, 0, 0);
    text = "VELDRA!!!";
  } else if (verdict == Verdict::kNotChecked) {
    colour = QColor(96, 96, 96);
    text = "UNCHECKED";
  }
  QLabel* label = window_.lblVELDRAd;
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  show(label, text);
}

bool WindowRunView::loadPicture(const std::filesystem::path& file) {
  QPixmap picture;
  if (!picture.load(qtPath(file))) return false;
  QLabel* box = window_.Picture1;
  box->setPixmap(picture.scaled(box->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  box->repaint();
  return true;
}

void WindowRunView::clearPicture() {
  window_.Picture1->clear();
  window_.Picture1->repaint();
}

void WindowRunView::setProgress(int value) {
  window_.ProgressBar1->setValue(value);
  window_.ProgressBar1->repaint();
}

}  // namespace veldra
