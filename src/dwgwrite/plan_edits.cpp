#include "dwgwrite/plan_edits.h"

#include <set>

#include "dwgwrite/drawing.h"

namespace veldra::dwgwrite {
namespace {

using detail::upper;

bool sameName(std::string_view a, std::string_view b) { return upper(a) == upper(b); }

}  // namespace

std::vector<double> placedGeometry(std::string_view type, std::size_t index) {
  const double x = static_cast<double>(index % 100);
  const double y = static_cast<double>(index / 100);
  const std::string kind = upper(type);
  if (kind == "LINE") return {x, y, 0, x + 0.5, y + 0.5, 0};
  if (kind == "CIRCLE") return {x + 0.5, y + 0.5, 0, 0.25};
  if (kind == "ARC") return {x + 0.5, y + 0.5, 0, 0.25, 0.0, 3.14159265358979};
  if (kind == "ELLIPSE") return {x + 0.5, y + 0.5, 0, 0.4, 0, 0, 0.5, 0, 2 * 3.14159265358979323846};
  if (kind == "POINT") return {x, y, 0};
  if (kind == "LWPOLYLINE") return {x, y, 0, x + 0.5, y, 0, x + 0.5, y + 0.5, 0};
  if (kind == "TEXT") return {x, y, 0.2};
  if (kind == "INSERT") return {x, y, 0, 1, 1, 1, 0};
  return {};
}

void moveEntity(EntitySpec& entity, std::size_t index, double dx, double dy, double dz) {
  if (entity.numbers.empty()) {
    entity.numbers = placedGeometry(entity.type, index);
    if (upper(entity.type) == "TEXT" && entity.text.empty()) entity.text = "VELDRA";
  }
  std::vector<double>& n = entity.numbers;
  const std::string kind = upper(entity.type);
  const auto point = [&n, dx, dy, dz](std::size_t at) {
    if (at + 2 < n.size()) {
      n[at] += dx;
      n[at + 1] += dy;
      n[at + 2] += dz;
    }
  };
  if (kind == "LINE") {
    point(0);
    point(3);
  } else if (kind == "CIRCLE" || kind == "ARC" || kind == "ELLIPSE" || kind == "POINT" || kind == "INSERT") {
    point(0);
  } else if (kind == "TEXT" && n.size() >= 2) {
    n[0] += dx;
    n[1] += dy;
  } else if (kind == "LWPOLYLINE") {
    for (std::size_t v = 0; v + 1 < n.size(); v += 3) {
      n[v] += dx;
      n[v + 1] += dy;
    }
  }
}

DrawingSpec pasteInto(const DrawingSpec& fresh, const DrawingSpec& source, std::uint64_t firstHandle, double dx,
                      double dy, double dz) {
  DrawingSpec out = fresh;
  std::set<std::uint64_t> used;
  for (const EntitySpec& e : fresh.entities) used.insert(e.handle);
  for (const BlockSpec& b : fresh.blocks) {
    for (const EntitySpec& e : b.entities) used.insert(e.handle);
  }
  std::uint64_t next = firstHandle;
  const auto newHandle = [&]() {
    while (used.count(next) != 0) ++next;
    used.insert(next);
    return next++;
  };
  const auto keepLayer = [&out](const std::string& layer) {
    if (layer.empty() || layer == "0") return;
    for (const std::string& known : out.layers) {
      if (sameName(known, layer)) return;
    }
    out.layers.push_back(layer);
  };
  std::size_t model = 0;
  std::size_t paper = 0;
  std::vector<std::string> neededBlocks;
  for (const EntitySpec& e : source.entities) {
    EntitySpec pasted = e;
    moveEntity(pasted, e.paperSpace ? paper++ : model++, dx, dy, dz);
    pasted.handle = newHandle();
    keepLayer(pasted.layer);
    if (upper(e.type) == "INSERT") neededBlocks.push_back(e.text);
    out.entities.push_back(std::move(pasted));
  }
  // The blocks the inserts need, in the source's order (an insert inside a
  // block may need an earlier one), unless `fresh` defines one of that name.
  std::set<std::string> wanted;
  for (const std::string& name : neededBlocks) wanted.insert(upper(name));
  for (auto b = source.blocks.rbegin(); b != source.blocks.rend(); ++b) {
    if (wanted.count(upper(b->name)) == 0) continue;
    for (const EntitySpec& e : b->entities) {
      if (upper(e.type) == "INSERT") wanted.insert(upper(e.text));
    }
  }
  for (const BlockSpec& block : source.blocks) {
    if (wanted.count(upper(block.name)) == 0) continue;
    bool defined = false;
    for (const BlockSpec& known : out.blocks) defined = defined || sameName(known.name, block.name);
    if (defined) continue;
    BlockSpec copy = block;
    for (EntitySpec& e : copy.entities) {
      e.handle = newHandle();
      keepLayer(e.layer);
    }
    out.blocks.push_back(std::move(copy));
  }
  return out;
}

bool renameLayer(DrawingSpec& plan, const std::string& from, const std::string& to) {
  bool found = false;
  for (std::string& layer : plan.layers) {
    if (sameName(layer, from)) {
      layer = to;
      found = true;
    }
  }
  if (!found) return false;
  const auto rename = [&](std::vector<EntitySpec>& entities) {
    for (EntitySpec& e : entities) {
      if (sameName(e.layer, from)) e.layer = to;
    }
  };
  rename(plan.entities);
  for (BlockSpec& block : plan.blocks) rename(block.entities);
  return true;
}

}  // namespace veldra::dwgwrite
