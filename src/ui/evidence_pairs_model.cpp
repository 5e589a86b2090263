#include "ui/evidence_pairs_model.h"

#include "ui/qt_text.h"
#include "evidence/reports/report_writers.h"
#include "evidence/store/review.h"
#include "evidence/judging/words.h"

namespace veldra {

namespace {


QString yesNo(bool value) { return value ? QStringLiteral("YES") : QStringLiteral("NO"); }

QString percent(double share) { return qtText(evidence::percentText(share)); }

}  // namespace

QString drawingText(const evidence::Findings& findings, std::size_t drawing) {
  return drawing < findings.drawings.size() ? qtText(evidence::displayName(findings.drawings[drawing])) : QString();
}

QString verdictCaption(evidence::Verdict verdict) {
  return qtText(std::string(evidence::verdictText(verdict)));
}

QString counted(qint64 n, const char* one, const char* many) {
  return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

QString pairEvidenceHtml(const evidence::Findings& findings, const evidence::PairFinding& pair) {
  QString html = QStringLiteral("<p><b>%1</b>, score %2 of 100").arg(verdictCaption(pair.verdict).toHtmlEscaped())
                     .arg(pair.score);
  if (pair.group > 0) html += QStringLiteral(", group %1").arg(pair.group);
  html += QStringLiteral(".</p>");
  if (pair.reasons.empty()) html += QStringLiteral("<p>No evidence links these two drawings.</p>");
  html += QStringLiteral("<ul>");
  for (const auto& reason : pair.reasons) html += QStringLiteral("<li>%1</li>").arg(qtText(reason).toHtmlEscaped());
  html += QStringLiteral("</ul>");
  // A coincidence is no copy: it names no source (a run kept from before may).
  if (!evidence::isCopy(pair.verdict)) return html;
  html += QStringLiteral("<p><b>Likely source:</b> %1</p>")
              .arg(qtText(evidence::sourceText(findings, pair)).toHtmlEscaped());
  if (!pair.direction.empty()) html += QStringLiteral("<p>%1</p>").arg(qtText(pair.direction).toHtmlEscaped());
  return html;
}

void EvidencePairsModel::pairChanged(int pair) {
  if (pair < 0 || pair >= rowCount()) return;
  emit dataChanged(index(pair, 0), index(pair, kColumnCount - 1));
}

void EvidencePairsModel::setFindings(std::shared_ptr<const evidence::Findings> findings) {
  beginResetModel();
  findings_ = std::move(findings);
  endResetModel();
}

int EvidencePairsModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid() || !findings_) return 0;
  return static_cast<int>(findings_->pairs.size());
}

int EvidencePairsModel::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : kColumnCount; }

QVariant EvidencePairsModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kHeaders[kColumnCount] = {
      "Drawing A", "Drawing B", "Verdict", "Score", "Group", "Likely source",
      "Same identity", "Created", "Geometry", "Handles", "Editing time", "Author", "Mark"};
  return section >= 0 && section < kColumnCount ? QString::fromLatin1(kHeaders[section]) : QVariant();
}

QVariant EvidencePairsModel::data(const QModelIndex& index, int role) const {
  if (!findings_ || !index.isValid() || index.row() >= rowCount()) return {};
  const auto row = static_cast<std::size_t>(index.row());
  const evidence::PairFinding& p = findings_->pairs[row];
  const evidence::PairEvidence& e = p.evidence;
  const auto& f = *findings_;
  if (role == kPairRole) return index.row();
  if (role == kVerdictRole) return static_cast<int>(p.verdict);
  if (role == kReviewRole) {
    if (!p.review) return -1;
    return p.review->changed ? -2 - static_cast<int>(p.review->mark) : static_cast<int>(p.review->mark);
  }
  if (role == Qt::ToolTipRole && index.column() == kMark && p.review && !p.review->note.empty())
    return qtText(p.review->note);
  if (role == Qt::TextAlignmentRole) {
    switch (index.column()) {
      case kScore:
      case kGroup:
      case kGeometry:
      case kHandles:
        return QVariant::fromValue(Qt::AlignRight | Qt::AlignVCenter);
      default:
        return {};
    }
  }
  if (role == Qt::ToolTipRole && index.column() == kVerdict && !p.reasons.empty()) return qtText(p.reasons.front());
  if (role != Qt::DisplayRole && role != kSortRole) return {};
  const bool sorting = role == kSortRole;
  switch (index.column()) {
    case kDrawingA:
      return drawingText(f, p.a);
    case kDrawingB:
      return drawingText(f, p.b);
    case kVerdict:
      return sorting ? QVariant(static_cast<int>(p.verdict)) : QVariant(verdictCaption(p.verdict));
    case kScore:
      return p.score;
    case kGroup:
      return sorting ? QVariant(p.group) : (p.group > 0 ? QVariant(p.group) : QVariant(QString()));
    case kSource:
      if (!evidence::isCopy(p.verdict)) return QString();
      return p.likelySource ? drawingText(f, *p.likelySource) : QStringLiteral("unclear");
    case kIdentity:
      return sorting ? QVariant(e.sameIdentity && !e.identityFromTemplate) : QVariant(e.identityFromTemplate ? QStringLiteral("template") : yesNo(e.sameIdentity));
    case kCreated:
      if (sorting) return (e.sameCreatedInstant ? 2 : 0) + (e.sameCreatedSecond ? 1 : 0);
      if (e.createdFromTemplate) return QStringLiteral("template");
      return e.sameCreatedInstant ? QStringLiteral("same instant")
                                  : e.sameCreatedSecond ? QStringLiteral("same second") : QStringLiteral("different");
    case kGeometry:
      return sorting ? QVariant(e.geometrySimilarity) : QVariant(percent(e.geometrySimilarity));
    case kHandles:
      return sorting ? QVariant(e.handleOverlap) : QVariant(percent(e.handleOverlap));
    case kEditing:
      return sorting ? QVariant(e.sameEditingTime) : QVariant(e.sameEditingTime ? QStringLiteral("same") : QString());
    case kAuthor:
      if (e.sharedName.empty()) return QString();
      return qtText(e.sharedName) + (e.nameIgnored ? QStringLiteral(" (ignored)") : QString());
    case kMark:
      if (sorting) return p.review ? static_cast<int>(p.review->mark) : -1;
      return p.review ? qtText(evidence::reviewSummary(*p.review, false)) : QString();
    default:
      return {};
  }
}

EvidencePairsFilter::EvidencePairsFilter(QObject* parent) : QSortFilterProxyModel(parent) {
  setSortRole(EvidencePairsModel::kSortRole);
  setSortCaseSensitivity(Qt::CaseInsensitive);
}

void EvidencePairsFilter::setMinimumScore(int score) {
  if (score == minimumScore_) return;
  minimumScore_ = score;
  invalidateFilter();
}

void EvidencePairsFilter::setVerdict(std::optional<evidence::Verdict> verdict) {
  if (verdict == verdict_) return;
  verdict_ = verdict;
  invalidateFilter();
}

void EvidencePairsFilter::setReview(ReviewChoice choice) {
  if (choice == review_) return;
  review_ = choice;
  invalidateFilter();
}

bool EvidencePairsFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  const QModelIndex index = sourceModel()->index(sourceRow, EvidencePairsModel::kScore, sourceParent);
  if (sourceModel()->data(index, EvidencePairsModel::kSortRole).toInt() < minimumScore_) return false;
  if (verdict_ && sourceModel()->data(index, EvidencePairsModel::kVerdictRole).toInt() != static_cast<int>(*verdict_))
    return false;
  if (review_ == ReviewChoice::kAll) return true;
  const int mark = sourceModel()->data(index, EvidencePairsModel::kReviewRole).toInt();
  switch (review_) {
    case ReviewChoice::kUnmarked: return mark == -1;
    case ReviewChoice::kChanged: return mark <= -2;
    case ReviewChoice::kToReview: return mark == 0 || mark == -2;
    case ReviewChoice::kConfirmed: return mark == 1 || mark == -3;
    case ReviewChoice::kNotCopy: return mark == 2 || mark == -4;
    case ReviewChoice::kAll: break;
  }
  return true;
}

}  // namespace veldra
