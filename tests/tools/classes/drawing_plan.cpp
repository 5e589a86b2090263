#include "classes/drawing_plan.h"

#include <map>
#include <set>
#include <utility>

namespace veldra::testing {

namespace {
constexpr std::int64_t kDayMs = 86400000;
constexpr std::int64_t kUnixEpochDay = 2440588;
}  // namespace

dwgwrite::Stamp stampOf(std::int64_t unixMs) {
  return {static_cast<std::int32_t>(unixMs / kDayMs + kUnixEpochDay), static_cast<std::int32_t>(unixMs % kDayMs)};
}

dwgwrite::DrawingSpec planOf(const evidence::DrawingEvidence& d, const std::string& version) {
  dwgwrite::DrawingSpec plan;
  const auto& f = d.facts;
  const dwgwrite::Stamp created = stampOf(f.created->unixMs);
  plan.days = created.days;
  plan.milliseconds = created.milliseconds;
  plan.version = version;
  if (f.editingMs)
    plan.editingTime = dwgwrite::Stamp{static_cast<std::int32_t>(*f.editingMs / kDayMs),
                                       static_cast<std::int32_t>(*f.editingMs % kDayMs)};
  if (f.updated) plan.updated = stampOf(f.updated->unixMs);
  plan.handseed = f.handseed;
  plan.fingerprintGuid = f.fingerprintGuid;
  plan.versionGuid = f.versionGuid;
  plan.summaryInfo.author = f.author;
  plan.summaryInfo.lastSavedBy = f.lastSavedBy;
  std::set<std::string> layers;
  static const std::map<std::string, std::string> kTypes{{"AcDbLine", "LINE"}, {"AcDbCircle", "CIRCLE"},
                                                         {"AcDbArc", "ARC"}, {"AcDbText", "TEXT"},
                                                         {"AcDbPoint", "POINT"}};
  for (const auto& e : d.entities) {
    dwgwrite::EntitySpec wanted;
    wanted.type = kTypes.at(e.kind);
    wanted.handle = e.handle;
    wanted.paperSpace = e.paperSpace;
    wanted.layer = e.layer;
    wanted.numbers = e.numbers;
    wanted.text = e.text.value_or("");
    if (!e.layer.empty() && e.layer != "0" && layers.insert(e.layer).second) plan.layers.push_back(e.layer);
    plan.entities.push_back(std::move(wanted));
  }
  return plan;
}

}  // namespace veldra::testing
