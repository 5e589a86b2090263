#include "ui/window_run_view.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QProgressBar>

#include "projects/folder_listing.h"
#include "ui/run_panel.h"
#include "ui/qt_text.h"

namespace veldra {

WindowRunView::WindowRunView(RunPanel& panel) : panel_(panel) {}

// Texts of a run come in UTF-8 (names and folders of drawings among them).
void WindowRunView::show(QLabel* label, const std::string& text) {
  label->setText(qtText(text));
  label->repaint();
}

void WindowRunView::showCount(QLabel* label, int count) { show(label, fourDigits(count)); }

void WindowRunView::setStatus(const std::string& text) { show(panel_.status_, text); }
void WindowRunView::setComparing(int first, int second) { show(panel_.status_, comparingText(first, second)); }
void WindowRunView::setElapsed(long long seconds) { show(panel_.time_, elapsedText(seconds)); }
void WindowRunView::clearElapsed() { show(panel_.time_, std::string()); }

void WindowRunView::setConflicts(const Check& check, int count) {
  if (QLabel* counter = panel_.counterOf(check)) showCount(counter, count);
}

void WindowRunView::setTotalFiles(int count) { showCount(panel_.totalFiles_, count); }
void WindowRunView::setLocation(const std::string& text) { show(panel_.location_, text); }
void WindowRunView::setSubfolders(const std::string& text) { show(panel_.subfolders_, text); }
void WindowRunView::setFile(const std::string& text) { show(panel_.file_, text); }

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
  QLabel* label = panel_.verdict_;
  QPalette palette = label->palette();
  palette.setColor(QPalette::WindowText, colour);
  label->setPalette(palette);
  show(label, text);
}

bool WindowRunView::loadPicture(const std::filesystem::path& file) {
  QPixmap picture;
  if (!picture.load(qtPath(file))) return false;
  QLabel* box = panel_.picture_;
  box->setPixmap(picture.scaled(box->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
  box->repaint();
  return true;
}

void WindowRunView::clearPicture() {
  panel_.picture_->clear();
  panel_.picture_->repaint();
}

void WindowRunView::setProgress(int value) {
  panel_.progress_->setValue(value);
  panel_.progress_->repaint();
}

}  // namespace veldra
