#include "ui/evidence_pairs_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSlider>
#include <QSplitter>
#include <QTableView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>
#include <optional>

#include "ui/evidence_pairs_model.h"
#include "ui/quiet_teardown.h"

namespace veldra {

namespace {

// The verdicts the filter offers, in the order of its items.
const std::optional<evidence::Verdict> kFilterVerdicts[] = {std::nullopt, evidence::Verdict::kCopy,
                                                             evidence::Verdict::kLikelyCopy,
                                                             evidence::Verdict::kCoincidence};

// The marks the filter offers, in the order of its items.
using ReviewChoice = EvidencePairsFilter::ReviewChoice;
const ReviewChoice kReviewChoices[] = {ReviewChoice::kAll,     ReviewChoice::kToReview, ReviewChoice::kConfirmed,
                                       ReviewChoice::kNotCopy, ReviewChoice::kUnmarked, ReviewChoice::kChanged};

// "1st copy", "2nd copy"...: a drawing's place in a chain of copies.
QString copyNumberText(int n) {
  const int tens = n % 100, ones = n % 10;
  const char* suffix = tens >= 11 && tens <= 13 ? "th" : ones == 1 ? "st" : ones == 2 ? "nd" : ones == 3 ? "rd" : "th";
  return QStringLiteral("%1%2 copy").arg(n).arg(QLatin1String(suffix));
}

}  // namespace

EvidencePairsPage::EvidencePairsPage(QWidget* parent) : QWidget(parent) {
  setObjectName(QStringLiteral("pairsPage"));
  auto* splitter = new QSplitter(Qt::Vertical, this);
  groupsTree_ = new QTreeWidget(splitter);
  groupsTree_->setObjectName(QStringLiteral("groupsTree"));
  groupsTree_->setHeaderLabels({QStringLiteral("Group"), QStringLiteral("Drawing"), QStringLiteral("Role")});
  groupsTree_->setRootIsDecorated(true);
  groupsTree_->setAlternatingRowColors(true);

  auto* lower = new QWidget(splitter);
  auto* lowerLayout = new QVBoxLayout(lower);
  lowerLayout->setContentsMargins(0, 0, 0, 0);
  auto* filters = new QHBoxLayout;
  auto* verdictLabel = new QLabel(QStringLiteral("&Verdict:"), lower);
  verdictFilter_ = new QComboBox(lower);
  verdictFilter_->setObjectName(QStringLiteral("verdictFilter"));
  verdictFilter_->addItems({QStringLiteral("all"), QStringLiteral("copy"), QStringLiteral("likely copy"),
                            QStringLiteral("coincidence")});
  verdictLabel->setBuddy(verdictFilter_);
  auto* thresholdLabel = new QLabel(QStringLiteral("Least sc&ore:"), lower);
  thresholdSlider_ = new QSlider(Qt::Horizontal, lower);
  thresholdSlider_->setObjectName(QStringLiteral("thresholdSlider"));
  thresholdSlider_->setRange(0, 100);
  thresholdSlider_->setPageStep(5);
  thresholdSlider_->setTracking(true);
  thresholdLabel->setBuddy(thresholdSlider_);
  thresholdValue_ = new QLabel(QStringLiteral("0"), lower);
  thresholdValue_->setObjectName(QStringLiteral("thresholdValue"));
  thresholdValue_->setMinimumWidth(thresholdValue_->fontMetrics().horizontalAdvance(QStringLiteral("1000")));
  filters->addWidget(verdictLabel);
  filters->addWidget(verdictFilter_);
  filters->addSpacing(16);
  filters->addWidget(thresholdLabel);
  filters->addWidget(thresholdSlider_, 1);
  filters->addWidget(thresholdValue_);
  filters->addSpacing(16);
  auto* reviewLabel = new QLabel(QStringLiteral("Mar&k:"), lower);
  reviewFilter_ = new QComboBox(lower);
  reviewFilter_->setObjectName(QStringLiteral("reviewFilter"));
  reviewFilter_->addItems({QStringLiteral("all"), QStringLiteral("to review"), QStringLiteral("confirmed copy"),
                           QStringLiteral("not a copy"), QStringLiteral("no mark"),
                           QStringLiteral("judged otherwise since marked")});
  reviewLabel->setBuddy(reviewFilter_);
  filters->addWidget(reviewLabel);
  filters->addWidget(reviewFilter_);
  lowerLayout->addLayout(filters);

  pairsModel_ = new EvidencePairsModel(this);
  pairsFilter_ = new EvidencePairsFilter(this);
  pairsFilter_->setSourceModel(pairsModel_);
  pairsTable_ = new QTableView(lower);
  pairsTable_->setObjectName(QStringLiteral("pairsTable"));
  pairsTable_->setModel(pairsFilter_);
  pairsTable_->setSortingEnabled(true);
  pairsTable_->setSelectionBehavior(QAbstractItemView::SelectRows);
  pairsTable_->setSelectionMode(QAbstractItemView::SingleSelection);
  pairsTable_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  pairsTable_->setAlternatingRowColors(true);
  pairsTable_->verticalHeader()->hide();
  pairsTable_->horizontalHeader()->setStretchLastSection(true);
  pairsTable_->setTabKeyNavigation(false);
  lowerLayout->addWidget(pairsTable_, 1);
  splitter->setStretchFactor(0, 1);
  splitter->setStretchFactor(1, 3);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(splitter);

  connect(thresholdSlider_, &QSlider::valueChanged, this, [this](int value) {
    thresholdValue_->setText(QString::number(value));
    pairsFilter_->setMinimumScore(value);
  });
  connect(reviewFilter_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0 && index < static_cast<int>(std::size(kReviewChoices))) pairsFilter_->setReview(kReviewChoices[index]);
  });
  connect(verdictFilter_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index >= 0 && index < static_cast<int>(std::size(kFilterVerdicts))) pairsFilter_->setVerdict(kFilterVerdicts[index]);
  });
  connect(pairsTable_, &QTableView::activated, this, [this](const QModelIndex& index) {
    emit pairChosen(index.data(EvidencePairsModel::kPairRole).toInt());
  });
  connect(groupsTree_, &QTreeWidget::itemActivated, this, [this](QTreeWidgetItem* item) {
    const QVariant pair = item->data(0, Qt::UserRole);
    if (pair.isValid()) emit pairChosen(pair.toInt());
  });
}

EvidencePairsPage::~EvidencePairsPage() { stopListeningToChildren(this); }

void EvidencePairsPage::setFindings(std::shared_ptr<const evidence::Findings> findings) {
  fillGroups(*findings);
  pairsModel_->setFindings(std::move(findings));
  pairsTable_->sortByColumn(-1, Qt::AscendingOrder);  // the check's own order: groups, then score
  pairsTable_->resizeColumnsToContents();
  for (int c : {EvidencePairsModel::kDrawingA, EvidencePairsModel::kDrawingB, EvidencePairsModel::kSource})
    pairsTable_->setColumnWidth(c, std::min(pairsTable_->columnWidth(c), 260));
}

void EvidencePairsPage::markChanged(int pair) { pairsModel_->pairChanged(pair); }

namespace {

// The row of the table that shows the pair, -1 where the filters hide it.
int rowOf(const QAbstractItemModel& table, int pair) {
  for (int r = 0; r < table.rowCount(); ++r)
    if (table.index(r, 0).data(EvidencePairsModel::kPairRole).toInt() == pair) return r;
  return -1;
}

}  // namespace

void EvidencePairsPage::setCurrentPair(int pair) {
  const int row = rowOf(*pairsFilter_, pair);
  if (row < 0) return;
  pairsTable_->setCurrentIndex(pairsFilter_->index(row, 0));
  pairsTable_->scrollTo(pairsTable_->currentIndex());
}

int EvidencePairsPage::pairAfter(int pair, int step) const {
  const int rows = pairsFilter_->rowCount();
  if (rows == 0) return -1;
  const int row = rowOf(*pairsFilter_, pair);
  const int next = row < 0 ? 0 : row + step;
  if (next < 0 || next >= rows) return -1;
  return pairsFilter_->index(next, 0).data(EvidencePairsModel::kPairRole).toInt();
}

// Each drawing under its group, the likely source first.
void EvidencePairsPage::fillGroups(const evidence::Findings& f) {
  groupsTree_->clear();
  for (const auto& g : f.groups) {
    auto* top = new QTreeWidgetItem(groupsTree_);
    top->setText(0, QStringLiteral("Group %1").arg(g.number));
    top->setText(1, QStringLiteral("%1, strongest score %2")
                        .arg(counted(static_cast<qint64>(g.members.size()), "drawing", "drawings"))
                        .arg(g.score));
    top->setText(2, g.likelySource ? QStringLiteral("source: %1").arg(drawingText(f, *g.likelySource))
                                   : QStringLiteral("source unclear"));
    // In the order of copying where the pairs tell it, else the source first.
    std::vector<std::size_t> members = f.copyingOrder(g);
    const bool ordered = !members.empty();
    if (!ordered) {
      members = g.members;
      if (g.likelySource) {
        auto it = std::find(members.begin(), members.end(), *g.likelySource);
        if (it != members.end()) std::rotate(members.begin(), it, it + 1);
      }
    }
    for (std::size_t k = 0; k < members.size(); ++k) {
      const std::size_t m = members[k];
      auto* item = new QTreeWidgetItem(top);
      item->setText(1, drawingText(f, m));
      item->setText(2, g.likelySource && *g.likelySource == m ? QStringLiteral("likely source")
                       : ordered                              ? copyNumberText(static_cast<int>(k))
                                                              : QString());
      // Activating a drawing opens its strongest pair in the group.
      for (std::size_t p = 0; p < f.pairs.size(); ++p)
        if (f.pairs[p].group == g.number && (f.pairs[p].a == m || f.pairs[p].b == m)) {
          item->setData(0, Qt::UserRole, static_cast<int>(p));
          break;
        }
    }
    top->setExpanded(true);
  }
  if (f.groups.empty()) {
    auto* none = new QTreeWidgetItem(groupsTree_);
    none->setText(0, QStringLiteral("No copies"));
    none->setText(1, QStringLiteral("No drawings are linked as copies."));
  }
  for (int c = 0; c < 3; ++c) groupsTree_->resizeColumnToContents(c);
}

}  // namespace veldra
