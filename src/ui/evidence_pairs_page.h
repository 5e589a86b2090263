#pragma once

// The first page of the evidence window: the groups of copies over the
// table of every judged pair, with the filters in front of the table (a
// verdict, a least score and the teacher's mark). Activating a pair or a
// drawing of a group chooses that pair.

#include <QWidget>

#include <memory>

#include "evidence/judging/findings.h"

class QComboBox;
class QLabel;
class QSlider;
class QTableView;
class QTreeWidget;

namespace veldra {

class EvidencePairsFilter;
class EvidencePairsModel;

class EvidencePairsPage : public QWidget {
  Q_OBJECT

 public:
  explicit EvidencePairsPage(QWidget* parent = nullptr);
  ~EvidencePairsPage() override;

  void setFindings(std::shared_ptr<const evidence::Findings> findings);
  // The teacher's mark of a pair changed in the findings shown.
  void markChanged(int pair);
  // Makes the pair's row the table's current one, where the filters show it.
  void setCurrentPair(int pair);
  // The pair `step` rows after `pair` in the table as sorted and filtered
  // (the first row shown when `pair` is not); -1 past either end.
  int pairAfter(int pair, int step) const;

 signals:
  // A pair (index into the findings' pairs) was chosen.
  void pairChosen(int pair);

 private:
  void fillGroups(const evidence::Findings& findings);

  QTreeWidget* groupsTree_ = nullptr;
  QComboBox* verdictFilter_ = nullptr;
  QSlider* thresholdSlider_ = nullptr;
  QLabel* thresholdValue_ = nullptr;
  QComboBox* reviewFilter_ = nullptr;
  QTableView* pairsTable_ = nullptr;
  EvidencePairsModel* pairsModel_ = nullptr;
  EvidencePairsFilter* pairsFilter_ = nullptr;
};

}  // namespace veldra
