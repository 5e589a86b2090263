#include "sketch/block_walk.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace veldra::sketch {

namespace {

constexpr std::uint64_t kMost = std::numeric_limits<std::uint64_t>::max();

std::uint64_t addCapped(std::uint64_t a, std::uint64_t b) { return a > kMost - b ? kMost : a + b; }
std::uint64_t timesCapped(std::uint64_t a, std::uint64_t b) { return b != 0 && a > kMost / b ? kMost : a * b; }

// An array's count of columns or rows: a whole number from 1 to what a
// drawing stores (a 16-bit count).
std::uint32_t countOf(double v) {
  if (!(v >= 1)) return 1;
  return static_cast<std::uint32_t>(std::min(v, 32767.0));
}

std::string grouped(std::uint64_t n) {
  std::string digits = std::to_string(n);
  for (std::size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// A class name as words, plural or single.
std::string kindWords(std::string_view kind, bool one) {
  struct Words {
    std::string_view kind, single, plural;
  };
  static constexpr Words kWords[] = {
      {"AcDbLine", "line", "lines"},
      {"AcDbArc", "arc", "arcs"},
      {"AcDbCircle", "circle", "circles"},
      {"AcDbEllipse", "ellipse", "ellipses"},
      {"AcDbPolyline", "polyline", "polylines"},
      {"AcDbText", "text", "texts"},
      {"AcDbMText", "paragraph text", "paragraph texts"},
      {"AcDbAttributeDefinition", "attribute definition", "attribute definitions"},
      {"AcDbPoint", "point", "points"},
      {"AcDbSolid", "solid", "solids"},
      {"AcDbTrace", "trace", "traces"},
      {"AcDbBlockReference", "block reference", "block references"},
      {"AcDbMInsertBlock", "block reference array", "block reference arrays"},
  };
  for (const auto& w : kWords)
    if (w.kind == kind) return std::string(one ? w.single : w.plural);
  return std::string(kind) + (one ? " entity" : " entities");
}

std::string counted(std::uint64_t n, std::string_view single, std::string_view plural) {
  return grouped(n) + " " + std::string(n == 1 ? single : plural);
}

}  // namespace

// ---- Placement

Placement Placement::after(const Placement& in) const {
  return {xx * in.xx + xy * in.yx, xx * in.xy + xy * in.yy, yx * in.xx + yy * in.yx,
          yx * in.xy + yy * in.yy, xx * in.dx + xy * in.dy + dx, yx * in.dx + yy * in.dy + dy};
}

bool Placement::keepsShapes() const {
  // The images of the two axes are as long as each other and square to
  // each other, within rounding.
  const double a = xx * xx + yx * yx, b = xy * xy + yy * yy, dot = xx * xy + yx * yy;
  const double size = std::max(a, b);
  return std::isfinite(size) && std::abs(a - b) <= 1e-9 * size && std::abs(dot) <= 1e-9 * size;
}

double Placement::scale() const { return std::sqrt(std::abs(determinant())); }

double Placement::rotation() const { return std::atan2(yx, xx); }

bool Placement::finite() const {
  return std::isfinite(xx) && std::isfinite(xy) && std::isfinite(yx) && std::isfinite(yy) && std::isfinite(dx) &&
         std::isfinite(dy) && std::isfinite(determinant());
}

Placement Placement::ofReference(std::span<const double> n, std::uint32_t column, std::uint32_t row) {
  if (n.size() < 7) return {};
  const double c = std::cos(n[6]), s = std::sin(n[6]);
  double ox = 0, oy = 0;
  if (n.size() >= 11) {
    ox = column * n[9];
    oy = row * n[10];
  }
  // Scaled in the block's frame, moved to the cell along the turned axes,
  // turned, moved to the insertion.
  return {c * n[3], -s * n[4], s * n[3], c * n[4], n[0] + c * ox - s * oy, n[1] + s * ox + c * oy};
}

bool isBlockReference(std::string_view kind) { return kind == "AcDbBlockReference" || kind == "AcDbMInsertBlock"; }

std::uint64_t cellsOf(std::string_view kind, std::span<const double> n) {
  if (kind != "AcDbMInsertBlock" || n.size() < 11) return 1;
  return std::uint64_t{countOf(n[7])} * countOf(n[8]);
}

// ---- LeftOut

bool LeftOut::empty() const {
  return beyondDepth == 0 && holdingThemselves == 0 && unknownBlocks == 0 && outOfReach == 0 && beyondLimit.empty();
}

std::uint64_t LeftOut::beyondLimitTotal() const {
  std::uint64_t total = 0;
  for (const auto& [kind, n] : beyondLimit) total = addCapped(total, n);
  return total;
}

std::vector<std::string> describe(const LeftOut& l, std::string_view verb) {
  std::vector<std::string> out;
  const std::string notDone = " not " + std::string(verb);
  if (l.beyondDepth > 0)
    out.push_back(counted(l.beyondDepth, "block reference", "block references") + " beyond " +
                  std::to_string(l.maxDepth) + " levels" + notDone);
  if (l.holdingThemselves > 0)
    out.push_back(counted(l.holdingThemselves, "block reference", "block references") +
                  " to a block that holds itself" + notDone);
  if (l.unknownBlocks > 0)
    out.push_back(counted(l.unknownBlocks, "block reference names", "block references name") +
                  " a block not read, its entities" + notDone);
  if (l.outOfReach > 0)
    out.push_back(counted(l.outOfReach, "entity", "entities") + " out of reach (numbers too large)" + notDone);
  for (const auto& [kind, n] : l.beyondLimit)
    out.push_back(grouped(n) + " " + kindWords(kind, n == 1) + " beyond the limit left out");
  return out;
}

// ---- BlockWalk

BlockWalk::BlockWalk(std::span<const Shape> shapes, std::span<const Block> blocks, WalkLimits limits)
    : shapes_(shapes), blocks_(blocks), limits_(limits) {
  limits_.maxDepth = std::clamp(limits_.maxDepth, 0, 63);
  leftOut_.maxDepth = limits_.maxDepth;
  for (std::size_t k = 0; k < blocks.size(); ++k) byName_.emplace(blocks[k].name, k);
  findCycles();
  // One frame a level: never more, so that frames stay where they are.
  frames_.reserve(static_cast<std::size_t>(limits_.maxDepth) + 2);
  frames_.push_back(Frame{shapes, -1, 0, Placement{}, 0});
}

std::int64_t BlockWalk::blockNamed(std::string_view name) const {
  const auto found = byName_.find(name);
  return found == byName_.end() ? -1 : static_cast<std::int64_t>(found->second);
}

bool BlockWalk::inCycle(std::int64_t from, std::size_t to) const {
  if (from < 0) return false;
  const std::uint32_t c = component_[static_cast<std::size_t>(from)];
  return c == component_[to] && selfHeld_[c];
}

// The blocks' strongly connected components (Tarjan's, with a stack of
// our own): a reference within a component that a cycle runs through
// is one of a block to a block that holds it.
void BlockWalk::findCycles() {
  const std::size_t n = blocks_.size();
  constexpr std::uint32_t kUnseen = std::numeric_limits<std::uint32_t>::max();
  std::vector<std::uint32_t> order(n, kUnseen), low(n, 0);
  std::vector<bool> onStack(n, false);
  std::vector<std::size_t> stack;
  component_.assign(n, 0);
  selfHeld_.clear();
  std::uint32_t counter = 0;
  struct Call {
    std::size_t block;
    std::size_t next;  // the next shape to look at
  };
  std::vector<Call> calls;
  std::vector<bool> selfLoop(n, false);
  for (std::size_t root = 0; root < n; ++root) {
    if (order[root] != kUnseen) continue;
    calls.push_back({root, 0});
    order[root] = low[root] = counter++;
    stack.push_back(root);
    onStack[root] = true;
    while (!calls.empty()) {
      Call& call = calls.back();
      const auto shapes = blocks_[call.block].shapes;
      bool descended = false;
      while (call.next < shapes.size()) {
        const Shape& s = shapes[call.next++];
        if (!isBlockReference(s.kind)) continue;
        const std::int64_t found = blockNamed(s.text);
        if (found < 0) continue;
        const auto to = static_cast<std::size_t>(found);
        if (to == call.block) selfLoop[to] = true;
        if (order[to] == kUnseen) {
          order[to] = low[to] = counter++;
          stack.push_back(to);
          onStack[to] = true;
          calls.push_back({to, 0});
          descended = true;
          break;
        }
        if (onStack[to]) low[call.block] = std::min(low[call.block], order[to]);
      }
      if (descended) continue;
      const std::size_t done = call.block;
      calls.pop_back();
      if (!calls.empty()) low[calls.back().block] = std::min(low[calls.back().block], low[done]);
      if (low[done] != order[done]) continue;
      const auto c = static_cast<std::uint32_t>(selfHeld_.size());
      std::size_t size = 0;
      bool looped = false;
      std::size_t member = 0;
      do {
        member = stack.back();
        stack.pop_back();
        onStack[member] = false;
        component_[member] = c;
        looped = looped || selfLoop[member];
        ++size;
      } while (member != done);
      selfHeld_.push_back(size > 1 || looped);
    }
  }
}

Placed::Why BlockWalk::judge(const Shape& s, std::int64_t from, int depth, std::size_t& target) const {
  if (!isBlockReference(s.kind)) return Placed::kNotReference;
  if (s.numbers.size() < 7) return Placed::kNoNumbers;
  if (depth + 1 > limits_.maxDepth) return Placed::kBeyondDepth;
  const std::int64_t found = blockNamed(s.text);
  if (found < 0) return Placed::kUnknownBlock;
  target = static_cast<std::size_t>(found);
  if (inCycle(from, target)) return Placed::kHoldsItself;
  return Placed::kGoneInto;
}

bool BlockWalk::next(Placed& out) {
  while (!done_) {
    if (frames_.empty()) {
      done_ = true;
      break;
    }
    Frame& f = frames_.back();
    if (f.reference != nullptr) {
      const std::uint32_t cells = f.columns * f.rows;
      if (f.cell < cells) {
        // Each cell counts against the limit as an entity does: an array of
        // an empty block gives nothing, and must end all the same.
        if (given_ >= limits_.maxEntities) {
          stop();
          break;
        }
        ++given_;
        const std::uint32_t cell = f.cell++;
        const Placement placement =
            f.placement.after(Placement::ofReference(f.reference->numbers, cell % f.columns, cell / f.columns));
        if (!placement.finite()) {
          leftOut_.outOfReach = addCapped(leftOut_.outOfReach, 1);
          continue;
        }
        Frame inner{blocks_[f.target].shapes, static_cast<std::int64_t>(f.target), 0, placement, f.depth + 1};
        inner.referenceTop = f.referenceTop;
        frames_.push_back(inner);
        continue;
      }
      const Shape* reference = f.reference;
      f.reference = nullptr;
      if (!limits_.references) continue;
      out = Placed{Placed::kLeave, Placed::kGoneInto, f.referenceTop, reference, f.placement, f.depth};
      return true;
    }
    if (f.at >= f.shapes.size()) {
      frames_.pop_back();
      continue;
    }
    const bool topLevel = f.block < 0;
    const auto top = topLevel ? static_cast<std::uint32_t>(f.at) : f.referenceTop;
    const Shape& s = f.shapes[f.at];
    if (topLevel && limits_.paperSpace && s.paperSpace != *limits_.paperSpace) {
      ++f.at;
      continue;
    }
    if (given_ >= limits_.maxEntities) {
      stop();
      break;
    }
    ++f.at;
    std::size_t target = 0;
    const Placed::Why why = judge(s, f.block, f.depth, target);
    if (why == Placed::kGoneInto) {
      f.reference = &s;
      f.referenceTop = top;
      f.target = target;
      f.columns = 1;
      f.rows = 1;
      if (s.kind == "AcDbMInsertBlock" && s.numbers.size() >= 11) {
        f.columns = countOf(s.numbers[7]);
        f.rows = countOf(s.numbers[8]);
      }
      f.cell = 0;
      if (!limits_.references) continue;
      out = Placed{Placed::kEnter, why, top, &s, f.placement, f.depth};
      return true;
    }
    switch (why) {
      case Placed::kBeyondDepth: leftOut_.beyondDepth = addCapped(leftOut_.beyondDepth, 1); break;
      case Placed::kHoldsItself: leftOut_.holdingThemselves = addCapped(leftOut_.holdingThemselves, 1); break;
      case Placed::kUnknownBlock: leftOut_.unknownBlocks = addCapped(leftOut_.unknownBlocks, 1); break;
      default: break;
    }
    ++given_;
    out = Placed{Placed::kEntity, why, top, &s, f.placement, f.depth};
    return true;
  }
  return false;
}

void BlockWalk::stop() {
  if (done_) return;
  countRest();
  frames_.clear();
  done_ = true;
}

void BlockWalk::addCount(Counts& into, std::string_view kind, std::uint64_t n) {
  if (n == 0) return;
  for (auto& [k, count] : into)
    if (k == kind) {
      count = addCapped(count, n);
      return;
    }
  into.emplace_back(kind, n);
}

void BlockWalk::addCounts(Counts& into, const Counts& from, std::uint64_t times) const {
  for (const auto& [kind, n] : from) addCount(into, kind, timesCapped(n, times));
}

// What block `block` holds when its entities lie `depth` levels deep,
// references gone into counted with what they insert. The depth is bounded
// by the walk's, and so is the recursion.
const BlockWalk::Counts& BlockWalk::countsOf(std::size_t block, int depth) {
  const std::uint64_t key = static_cast<std::uint64_t>(block) * 64 + static_cast<std::uint64_t>(depth);
  if (const auto found = counted_.find(key); found != counted_.end()) return found->second;
  Counts counts;
  for (const Shape& s : blocks_[block].shapes) {
    std::size_t target = 0;
    if (judge(s, static_cast<std::int64_t>(block), depth, target) == Placed::kGoneInto) {
      addCounts(counts, countsOf(target, depth + 1), cellsOf(s.kind, s.numbers));
    } else {
      addCount(counts, s.kind, 1);
    }
  }
  return counted_[key] = std::move(counts);
}

// Counts, without walking them, the entities the walk has not reached:
// the rest of each level it is in, innermost first, and the cells of the
// references it was going into.
void BlockWalk::countRest() {
  Counts rest;
  for (auto f = frames_.rbegin(); f != frames_.rend(); ++f) {
    if (f->reference != nullptr)
      addCounts(rest, countsOf(f->target, f->depth + 1), std::uint64_t{f->columns} * f->rows - f->cell);
    for (std::size_t i = f->at; i < f->shapes.size(); ++i) {
      const Shape& s = f->shapes[i];
      if (f->block < 0 && limits_.paperSpace && s.paperSpace != *limits_.paperSpace) continue;
      std::size_t target = 0;
      if (judge(s, f->block, f->depth, target) == Placed::kGoneInto) {
        addCounts(rest, countsOf(target, f->depth + 1), cellsOf(s.kind, s.numbers));
      } else {
        addCount(rest, s.kind, 1);
      }
    }
  }
  for (const auto& counted : rest) {
    auto known = std::find_if(leftOut_.beyondLimit.begin(), leftOut_.beyondLimit.end(),
                              [&](const auto& entry) { return entry.first == counted.first; });
    if (known == leftOut_.beyondLimit.end()) {
      leftOut_.beyondLimit.emplace_back(std::string(counted.first), counted.second);
    } else {
      known->second = addCapped(known->second, counted.second);
    }
  }
}

// ---- Numbers placed

bool placedNumbers(const Shape& shape, const Placement& p, std::vector<double>& out) {
  out.clear();
  const auto& n = shape.numbers;
  const std::string_view kind = shape.kind;
  auto point = [&](std::size_t at, bool withZ) {
    const Point q = p({n[at], n[at + 1]});
    out.push_back(q.x);
    out.push_back(q.y);
    if (withZ) out.push_back(n[at + 2]);
  };
  const bool similar = p.keepsShapes();
  if (kind == "AcDbLine" && n.size() >= 6) {
    point(0, true);
    point(3, true);
  } else if (kind == "AcDbPoint" && n.size() >= 3) {
    point(0, true);
  } else if ((kind == "AcDbSolid" || kind == "AcDbTrace") && n.size() >= 12) {
    for (std::size_t at = 0; at < 12; at += 3) point(at, true);
  } else if (kind == "AcDbCircle" && n.size() >= 4 && similar) {
    point(0, true);
    out.push_back(n[3] * p.scale());
  } else if (kind == "AcDbArc" && n.size() >= 6 && similar) {
    point(0, true);
    out.push_back(n[3] * p.scale());
    const double turn = p.rotation();
    // Mirrored, the arc runs the other way round: its ends change places.
    if (p.mirrors()) {
      out.push_back(turn - n[5]);
      out.push_back(turn - n[4]);
    } else {
      out.push_back(turn + n[4]);
      out.push_back(turn + n[5]);
    }
  } else if (kind == "AcDbEllipse" && n.size() >= 9 && similar) {
    point(0, true);
    const Point major = p.direction({n[3], n[4]});
    out.insert(out.end(), {major.x, major.y, n[5], n[6]});
    if (p.mirrors()) {
      out.push_back(-n[8]);
      out.push_back(-n[7]);
    } else {
      out.push_back(n[7]);
      out.push_back(n[8]);
    }
  } else if (kind == "AcDbPolyline" && n.size() >= 3) {
    // Bulged sides stay arcs only where shapes are kept; mirrored they turn the other way.
    for (std::size_t at = 2; at < n.size(); at += 3)
      if (n[at] != 0 && !similar) return false;
    for (std::size_t at = 0; at + 2 < n.size(); at += 3) {
      point(at, false);
      out.push_back(p.mirrors() ? -n[at + 2] : n[at + 2]);
    }
  } else if ((kind == "AcDbText" || kind == "AcDbAttributeDefinition") && n.size() >= 3 && similar) {
    point(0, false);
    out.push_back(n[2] * p.scale());
  } else if (kind == "AcDbMText" && n.size() >= 4 && similar) {
    point(0, true);
    out.push_back(n[3] * p.scale());
  } else {
    return false;
  }
  if (!std::all_of(out.begin(), out.end(), [](double v) { return std::isfinite(v); })) {
    out.clear();
    return false;
  }
  return true;
}

}  // namespace veldra::sketch
