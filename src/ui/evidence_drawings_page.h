#pragma once

// The drawings page of the evidence window: each drawing of the project that
// is in a pair, with all its pairs and their marks, which is what one
// student's talk is about. Activating a line chooses its pair.

#include <QWidget>

#include <memory>

#include "evidence/judging/findings.h"

class QTreeWidget;

namespace veldra {

class EvidenceDrawingsPage : public QWidget {
  Q_OBJECT

 public:
  explicit EvidenceDrawingsPage(QWidget* parent = nullptr);
  ~EvidenceDrawingsPage() override;

  void setFindings(std::shared_ptr<const evidence::Findings> findings);
  // Shows the findings again, as the teacher's marks changed them.
  void refresh();

 signals:
  // A pair (index into the findings' pairs) was chosen.
  void pairChosen(int pair);

 private:
  std::shared_ptr<const evidence::Findings> findings_;
  QTreeWidget* drawingsTree_ = nullptr;
};

}  // namespace veldra
