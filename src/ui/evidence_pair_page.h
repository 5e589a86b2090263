#pragma once

// The pair page of the evidence window: both drawings of one pair side by
// side with their pictures and captions, the overlay of the second laid onto
// the first, the teacher's mark and note kept with the pair as they are
// chosen and typed, the likely source and the evidence in words, and the
// buttons that open either drawing's folder, step to the next or previous
// pair and ask for the pair's case sheet.

#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

#include "app/workspace.h"
#include "evidence/judging/findings.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QTextBrowser;
class QTimer;
class QScrollArea;
class QSplitter;

namespace veldra {

class FolderOpener;
class OverlayView;
class PreviewPicture;

class EvidencePairPage : public QWidget {
  Q_OBJECT

 public:
  // What the page asks of the world: a file to write (caption, suggested
  // name; empty when cancelled) and the file manager.
  using ChooseSaveFile = std::function<QString(const QString&, const QString&)>;
  EvidencePairPage(const Workspace& workspace, std::string project, ChooseSaveFile chooseSaveFile,
                   FolderOpener& folders, QWidget* parent = nullptr);
  ~EvidencePairPage() override;

  // New findings: no pair of them is shown yet. The marks the teacher keeps
  // are written into them.
  void setFindings(std::shared_ptr<evidence::Findings> findings);
  // Shows a pair (index into the findings' pairs); false when there is none such.
  bool showPair(int pair);
  // The pair shown, -1 for none.
  int shownPair() const { return shownPair_; }
  // Keeps the mark and note typed on the pair shown that are not kept yet;
  // false when the store would not keep them (the teacher is told).
  bool keepTyped();

 signals:
  // The teacher's mark of the pair was kept or removed in the store and the findings.
  void markChanged(int pair);
  // Print the pair's case sheet.
  void caseSheetAsked(int pair);
  // Show the pair `step` rows after (before, when negative) the one shown.
  void stepAsked(int step);
  // A file was written.
  void written(const QString& file);
  // Something the teacher asked for could not be done.
  void failed(const QString& text);

 private:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void placeSplitter();
  void showReview(const evidence::PairFinding& pair);
  void noteTyped();
  bool saveReview();
  void exportOverlay();
  void openDrawingFolder(int side);

  Workspace workspace_;
  std::string project_;
  ChooseSaveFile chooseSaveFile_;
  FolderOpener& folders_;
  std::shared_ptr<evidence::Findings> findings_;
  int shownPair_ = -1;
  bool typed_ = false;  // a note typed and not kept yet

  QLabel* title_ = nullptr;
  QLabel* nameA_ = nullptr;
  QLabel* nameB_ = nullptr;
  PreviewPicture* previewA_ = nullptr;
  PreviewPicture* previewB_ = nullptr;
  QLabel* captionA_ = nullptr;
  QLabel* captionB_ = nullptr;
  OverlayView* overlay_ = nullptr;
  QPushButton* openFolderA_ = nullptr;
  QPushButton* openFolderB_ = nullptr;
  QPushButton* fitOverlayButton_ = nullptr;
  QPushButton* exportOverlayButton_ = nullptr;
  QComboBox* reviewMark_ = nullptr;
  QPlainTextEdit* reviewNote_ = nullptr;
  QPushButton* saveReviewButton_ = nullptr;
  QLabel* reviewStatus_ = nullptr;
  QLabel* source_ = nullptr;
  QTextBrowser* evidence_ = nullptr;
  QPushButton* printCaseSheetButton_ = nullptr;
  QPushButton* previousButton_ = nullptr;
  QPushButton* nextButton_ = nullptr;
  QTimer* noteTimer_ = nullptr;
  QSplitter* splitter_ = nullptr;
  QScrollArea* words_ = nullptr;
  bool splitterPlaced_ = false;
};

}  // namespace veldra
