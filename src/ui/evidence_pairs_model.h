#pragma once

// The pairs of an evidence check as a table the window shows, and the filter
// in front of it: a verdict chosen and a least score. No widgets, so that
// tests drive them directly as well as through the window.

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

#include <memory>
#include <optional>

#include "evidence/judging/findings.h"

namespace veldra {

class EvidencePairsModel : public QAbstractTableModel {
  Q_OBJECT

 public:
  enum Column {
    kDrawingA,
    kDrawingB,
    kVerdict,
    kScore,
    kGroup,
    kSource,
    kIdentity,
    kCreated,
    kGeometry,
    kHandles,
    kEditing,
    kAuthor,
    kMark,
    kColumnCount
  };
  // The role that sorts: numbers for the numeric columns.
  static constexpr int kSortRole = Qt::UserRole;
  // The pair's index in Findings::pairs.
  static constexpr int kPairRole = Qt::UserRole + 1;
  static constexpr int kVerdictRole = Qt::UserRole + 2;
  // The teacher's mark as its number, -1 for none; -2 - mark when judged otherwise since.
  static constexpr int kReviewRole = Qt::UserRole + 3;

  explicit EvidencePairsModel(QObject* parent = nullptr) : QAbstractTableModel(parent) {}

  void setFindings(std::shared_ptr<const evidence::Findings> findings);
  const evidence::Findings* findings() const { return findings_.get(); }
  // The pair's mark changed in the findings shown.
  void pairChanged(int pair);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

 private:
  std::shared_ptr<const evidence::Findings> findings_;
};

// Rows whose verdict is the one chosen (all when none is), whose score
// reaches the threshold and whose mark is the one chosen.
class EvidencePairsFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  explicit EvidencePairsFilter(QObject* parent = nullptr);
  void setMinimumScore(int score);
  void setVerdict(std::optional<evidence::Verdict> verdict);
  enum class ReviewChoice { kAll, kToReview, kConfirmed, kNotCopy, kUnmarked, kChanged };
  void setReview(ReviewChoice choice);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  int minimumScore_ = 0;
  std::optional<evidence::Verdict> verdict_;
  ReviewChoice review_ = ReviewChoice::kAll;
};

// Texts the window shows for the evidence, shared by the table and the pair view.
QString drawingText(const evidence::Findings& findings, std::size_t drawing);
QString verdictCaption(evidence::Verdict verdict);
// "1 drawing", "3 drawings".
QString counted(qint64 n, const char* one, const char* many);
// The evidence of a pair in words, one paragraph per reason, as HTML.
QString pairEvidenceHtml(const evidence::Findings& findings, const evidence::PairFinding& pair);

}  // namespace veldra
