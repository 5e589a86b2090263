#pragma once

// The evidence window as the tests drive it: its controls found by the
// names they carry, the way a tool that drives the window finds them, so
// that the tests hold to the names and not to where the window keeps its
// controls.

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTextBrowser>
#include <QTreeWidget>

#include "named_child.h"
#include "ui/class_map.h"
#include "ui/evidence_window.h"
#include "ui/preview_picture.h"
#include "ui/sketch_picture.h"

namespace veldra::testing {

class NamedEvidenceWindow : public EvidenceWindow {
 public:
  using EvidenceWindow::EvidenceWindow;

  QPushButton* runButton = namedChild<QPushButton>(*this, "runButton");
  QPushButton* cancelButton = namedChild<QPushButton>(*this, "cancelButton");
  QProgressBar* progress = namedChild<QProgressBar>(*this, "progress");
  QLabel* runStatus = namedChild<QLabel>(*this, "runStatus");
  QPushButton* exportCsvButton = namedChild<QPushButton>(*this, "exportCsvButton");
  QPushButton* exportHtmlButton = namedChild<QPushButton>(*this, "exportHtmlButton");
  QPushButton* printButton = namedChild<QPushButton>(*this, "printButton");
  QPushButton* closeButton = namedChild<QPushButton>(*this, "closeButton");
  QTabWidget* tabs = namedChild<QTabWidget>(*this, "tabs");
  QTreeWidget* groupsTree = namedChild<QTreeWidget>(*this, "groupsTree");
  QComboBox* verdictFilter = namedChild<QComboBox>(*this, "verdictFilter");
  QSlider* thresholdSlider = namedChild<QSlider>(*this, "thresholdSlider");
  QLabel* thresholdValue = namedChild<QLabel>(*this, "thresholdValue");
  QComboBox* reviewFilter = namedChild<QComboBox>(*this, "reviewFilter");
  QTableView* pairsTable = namedChild<QTableView>(*this, "pairsTable");
  QLabel* pairTitle = namedChild<QLabel>(*this, "pairTitle");
  QLabel* nameA = namedChild<QLabel>(*this, "nameA");
  QLabel* nameB = namedChild<QLabel>(*this, "nameB");
  PreviewPicture* previewA = namedChild<PreviewPicture>(*this, "previewA");
  PreviewPicture* previewB = namedChild<PreviewPicture>(*this, "previewB");
  QLabel* captionA = namedChild<QLabel>(*this, "captionA");
  QLabel* captionB = namedChild<QLabel>(*this, "captionB");
  OverlayView* overlay = namedChild<OverlayView>(*this, "overlay");
  QPushButton* fitOverlayButton = namedChild<QPushButton>(*this, "fitOverlayButton");
  QPushButton* exportOverlayButton = namedChild<QPushButton>(*this, "exportOverlayButton");
  QComboBox* reviewMark = namedChild<QComboBox>(*this, "reviewMark");
  QPlainTextEdit* reviewNote = namedChild<QPlainTextEdit>(*this, "reviewNote");
  QPushButton* saveReviewButton = namedChild<QPushButton>(*this, "saveReviewButton");
  QLabel* reviewStatus = namedChild<QLabel>(*this, "reviewStatus");
  QTreeWidget* drawingsTree = namedChild<QTreeWidget>(*this, "drawingsTree");
  QTextBrowser* pairEvidence = namedChild<QTextBrowser>(*this, "pairEvidence");
  QLabel* pairSource = namedChild<QLabel>(*this, "pairSource");
  QPushButton* openFolderA = namedChild<QPushButton>(*this, "openFolderA");
  QPushButton* openFolderB = namedChild<QPushButton>(*this, "openFolderB");
  QPushButton* printCaseSheetButton = namedChild<QPushButton>(*this, "printCaseSheetButton");
  ClassMap* classMap = namedChild<ClassMap>(*this, "classMap");
  QTableWidget* problemTable = namedChild<QTableWidget>(*this, "problemTable");
  QListWidget* templateList = namedChild<QListWidget>(*this, "templateList");
  QPushButton* addTemplate = namedChild<QPushButton>(*this, "addTemplate");
  QPushButton* removeTemplate = namedChild<QPushButton>(*this, "removeTemplate");
  QListWidget* againstList = namedChild<QListWidget>(*this, "againstList");
  QPlainTextEdit* ignoredAuthors = namedChild<QPlainTextEdit>(*this, "ignoredAuthors");
  QLineEdit* termEdit = namedChild<QLineEdit>(*this, "termEdit");
  QSpinBox* copyThreshold = namedChild<QSpinBox>(*this, "copyThreshold");
  QSpinBox* likelyThreshold = namedChild<QSpinBox>(*this, "likelyThreshold");
  QPushButton* saveSettingsButton = namedChild<QPushButton>(*this, "saveSettingsButton");
  QLabel* settingsStatus = namedChild<QLabel>(*this, "settingsStatus");
};

}  // namespace veldra::testing
