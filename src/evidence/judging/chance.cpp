#include "evidence/judging/chance.h"

#include <algorithm>
#include <cmath>

#include "evidence/judging/union_find.h"

namespace veldra::evidence {

namespace {

// Whether a difference is a typed step (a whole count of twentieths or of
// sixty-fourths of a unit, nought included), as closely as a measure told to
// nine digits allows.
bool typedStep(double d) {
  auto whole = [](double value, double step) {
    const double q = std::fabs(value) / step;
    return q < 1.0e9 && std::fabs(q - std::round(q)) < 1.0e-6;
  };
  return std::isfinite(d) && (whole(d, 0.05) || whole(d, 1.0 / 64));
}

bool isPlace(const FreeChoice& c) { return featureKind(c.key) == FeatureKind::kPlace; }

// The choices among `chosen`: measures of one choice, and places of one
// piece, joined; with `numbers`, how many numbers they fix. Measures are few
// where they are shared; a drawing's own may be thousands, and are joined
// only where equal.
int distinctChoices(std::span<const FreeChoice* const> chosen, bool echoes, std::vector<double>* measures,
                    int* numbers = nullptr) {
  std::vector<double> values;
  std::vector<std::uint32_t> pieces;
  for (const FreeChoice* c : chosen) {
    if (isPlace(*c)) pieces.push_back(c->piece);
    else values.push_back(c->measure);
  }
  std::sort(values.begin(), values.end());
  values.erase(std::unique(values.begin(), values.end()), values.end());
  std::sort(pieces.begin(), pieces.end());
  if (numbers) {
    *numbers = 0;
    for (std::size_t i = 0; i < pieces.size();) {
      std::size_t j = i + 1;
      while (j < pieces.size() && pieces[j] == pieces[i]) ++j;
      *numbers += j - i >= 2 ? 2 : 1;
      i = j;
    }
  }
  pieces.erase(std::unique(pieces.begin(), pieces.end()), pieces.end());
  int count = static_cast<int>(pieces.size());
  if (!echoes) return count + static_cast<int>(values.size());
  UnionFind sets(values.size());
  for (std::size_t i = 0; i < values.size(); ++i)
    for (std::size_t j = i + 1; j < values.size(); ++j)
      if (sameChoice(values[i], values[j])) sets.join(i, j);
  for (std::size_t i = 0; i < values.size(); ++i)
    if (sets.find(i) == i) {
      ++count;
      if (numbers) ++*numbers;
      if (measures) measures->push_back(values[i]);
    }
  return count;
}

}  // namespace

bool sameChoice(double v, double w) {
  for (const double a : {1.0, 2.0, 0.5, -1.0})
    if (typedStep(w - a * v)) return true;
  return typedStep(v - 2.0 * w);
}

int choicesMade(std::span<const FreeChoice> choices) {
  std::vector<const FreeChoice*> all;
  all.reserve(choices.size());
  for (const FreeChoice& c : choices) all.push_back(&c);
  return distinctChoices(all, false, nullptr);
}

double atLeast(int count, double expected) {
  if (count <= 0) return 1.0;
  if (!(expected > 0)) return 0.0;
  // The terms from `count` on: e^-m m^k / k! (1 + m/(k+1) + ...), in logs
  // for the first, as tiny as it may be.
  double logFirst = -expected + count * std::log(expected) - std::lgamma(count + 1.0);
  double sum = 1.0, term = 1.0;
  for (int k = count + 1; k < count + 200; ++k) {
    term *= expected / k;
    sum += term;
    if (term < 1e-12 * sum) break;
  }
  return std::min(1.0, std::exp(logFirst) * sum);
}

SharedChoices sharedChoices(std::span<const FreeChoice> a, std::span<const FreeChoice> b,
                            const std::function<bool(std::uint64_t)>& counts, int madeA, int madeB, double pairs) {
  SharedChoices out;
  std::vector<const FreeChoice*> shared;
  for (std::size_t i = 0, j = 0; i < a.size() && j < b.size();) {
    if (a[i].key < b[j].key) {
      ++i;
    } else if (b[j].key < a[i].key) {
      ++j;
    } else {
      if (counts(a[i].key)) shared.push_back(&a[i]);
      ++i;
      ++j;
    }
  }
  out.features = static_cast<int>(shared.size());
  out.choices = distinctChoices(shared, true, &out.measures, &out.numbers);
  out.expected = static_cast<double>(std::max(madeA, out.numbers)) * std::max(madeB, out.numbers) * kFreeAgreeByChance;
  out.chance = std::max(1.0, pairs) * atLeast(out.numbers, out.expected);
  return out;
}

double beyondChance(const SharedChoices& shared) {
  if (shared.numbers == 0) return 0.0;
  const double surprise = -std::log10(std::max(shared.chance, 1e-300));
  return std::clamp((surprise - 1.0) / 2.0, 0.0, 1.0);
}

}  // namespace veldra::evidence
