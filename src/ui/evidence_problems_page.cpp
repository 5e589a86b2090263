#include "ui/evidence_problems_page.h"

#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "collect/problem_drawing.h"
#include "evidence/judging/words.h"
#include "ui/evidence_pairs_model.h"
#include "ui/qt_text.h"

namespace veldra {

EvidenceProblemsPage::EvidenceProblemsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("problemsPage"));
  // The table is the whole page.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  problemTable_ = new QTableWidget(0, 3, this);
  problemTable_->setObjectName(QStringLiteral("problemTable"));
  problemTable_->setHorizontalHeaderLabels({QStringLiteral("Drawing"), QStringLiteral("Read"), QStringLiteral("Reason")});
  problemTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  problemTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  problemTable_->verticalHeader()->hide();
  problemTable_->horizontalHeader()->setStretchLastSection(true);
  problemTable_->setWordWrap(true);
  problemTable_->setTabKeyNavigation(false);
  layout->addWidget(problemTable_);
  setFocusProxy(problemTable_);
}

std::size_t EvidenceProblemsPage::setFindings(const evidence::Findings& f) {
  const auto problems = f.problemDrawings();
  problemTable_->setRowCount(0);
  for (const auto i : problems) {
    const int row = problemTable_->rowCount();
    problemTable_->insertRow(row);
    const auto& d = f.drawings[i];
    auto* name = new QTableWidgetItem(drawingText(f, i));
    name->setToolTip(qtText(evidence::utf8Path(d.path)));
    problemTable_->setItem(row, 0, name);
    problemTable_->setItem(row, 1, new QTableWidgetItem(d.readable ? QStringLiteral("in part") : QStringLiteral("NO")));
    problemTable_->setItem(row, 2, new QTableWidgetItem(qtText(problemReason(*d.problem))));
  }
  problemTable_->resizeColumnsToContents();
  problemTable_->setColumnWidth(0, std::min(problemTable_->columnWidth(0), 320));
  return problems.size();
}

}  // namespace veldra
