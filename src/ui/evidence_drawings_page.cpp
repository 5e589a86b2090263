#include "ui/evidence_drawings_page.h"

#include <QTreeWidget>
#include <QVBoxLayout>

#include <vector>

#include "evidence/store/review.h"
#include "evidence/judging/words.h"
#include "ui/evidence_pairs_model.h"
#include "ui/qt_text.h"
#include "ui/quiet_teardown.h"

namespace veldra {

EvidenceDrawingsPage::EvidenceDrawingsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("drawingsPage"));
  // The tree is the whole page.
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  drawingsTree_ = new QTreeWidget(this);
  drawingsTree_->setObjectName(QStringLiteral("drawingsTree"));
  drawingsTree_->setHeaderLabels({QStringLiteral("Drawing / paired with"), QStringLiteral("Verdict"),
                                  QStringLiteral("Score"), QStringLiteral("Mark"), QStringLiteral("Note")});
  drawingsTree_->setAlternatingRowColors(true);
  layout->addWidget(drawingsTree_);
  setFocusProxy(drawingsTree_);
  connect(drawingsTree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QVariant pair = item->data(0, Qt::UserRole);
    if (pair.isValid()) emit pairChosen(pair.toInt());
  });
}

EvidenceDrawingsPage::~EvidenceDrawingsPage() { stopListeningToChildren(this); }

void EvidenceDrawingsPage::setFindings(std::shared_ptr<const evidence::Findings> findings) {
  findings_ = std::move(findings);
  refresh();
}

void EvidenceDrawingsPage::refresh() {
  drawingsTree_->clear();
  if (!findings_) return;
  const auto& f = *findings_;
  std::vector<std::vector<std::size_t>> pairsOf(f.drawings.size());
  for (std::size_t k = 0; k < f.pairs.size(); ++k) {
    pairsOf[f.pairs[k].a].push_back(k);
    pairsOf[f.pairs[k].b].push_back(k);
  }
  for (std::size_t d = 0; d < f.drawings.size(); ++d) {
    if (pairsOf[d].empty()) continue;
    auto* top = new QTreeWidgetItem(drawingsTree_);
    top->setText(0, drawingText(f, d));
    top->setToolTip(0, qtText(evidence::utf8Path(f.drawings[d].path)));
    int marked = 0, copies = 0;
    for (const auto k : pairsOf[d]) {
      const auto& p = f.pairs[k];
      auto* item = new QTreeWidgetItem(top);
      item->setText(0, drawingText(f, p.a == d ? p.b : p.a));
      item->setText(1, verdictCaption(p.verdict));
      item->setText(2, QString::number(p.score));
      if (p.review) {
        item->setText(3, qtText(evidence::reviewSummary(*p.review, false)));
        item->setText(4, qtText(p.review->note));
        ++marked;
      }
      item->setData(0, Qt::UserRole, static_cast<int>(k));
      copies += evidence::isCopy(p.verdict);
    }
    top->setText(1, QStringLiteral("%1, %2").arg(counted(static_cast<qint64>(pairsOf[d].size()), "pair", "pairs"),
                                                 counted(copies, "copy", "copies")));
    top->setText(3, QStringLiteral("%1 marked").arg(marked));
    top->setData(0, Qt::UserRole, static_cast<int>(pairsOf[d].front()));
    top->setExpanded(true);
  }
  for (int c = 0; c < 4; ++c) drawingsTree_->resizeColumnToContents(c);
}

}  // namespace veldra
