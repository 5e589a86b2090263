#include "evidence/features/settings.h"

#include <algorithm>

namespace veldra::evidence {

Thresholds checkedThresholds(Thresholds t) {
  t.copy = std::clamp(t.copy, 2, 100);
  t.likelyCopy = std::clamp(t.likelyCopy, 1, t.copy - 1);
  return t;
}

}  // namespace veldra::evidence
