#pragma once

// Block references drawn out: one walk over a drawing's entities that goes
// into the blocks their references insert, and gives every entity met with
// where it lands in the drawing (its placement: moved, turned, mirrored,
// scaled) and how deep it lies. The picture drawn from a drawing and the
// evidence's look into inserted blocks both walk this way.
//
// A walk is bounded, whatever the file holds:
//  - in depth: references deeper than `maxDepth` levels are not gone into;
//  - in entities: after `maxEntities` entities (or when the caller stops it)
//    the walk ends, and what it did not reach is counted, not walked;
//  - in memory: a block is never copied, whatever inserts it how often; the
//    walk keeps one frame per level it is in, nothing per entity met.
// A reference to a block that holds itself (directly or through others) is
// not gone into, nor one naming no block given, nor one whose placement is
// no number: it comes as an entity of its own, `why` saying why. Everything
// not gone into or not reached is counted in `LeftOut` (sketch.h), and
// `describe` puts it into words. No recursion: a chain of references as deep
// as a file makes it costs no stack.
//
// Use (shapes and blocks from a drawing: see drawing_blocks.h):
//   BlockWalk walk(shapes, blocks);
//   std::vector<double> numbers;
//   for (Placed p; walk.next(p);)
//     if (placedNumbers(*p.shape, p.placement, numbers)) { ... p.top, p.depth ... }
//   describe(walk.leftOut());   // complete once next() gave false
//
// Standard C++ only; nothing here throws but std::bad_alloc.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sketch/sketch.h"

namespace veldra::sketch {

// An affine map of the plane: x' = xx x + xy y + dx, y' = yx x + yy y + dy.
// Heights (z) are not mapped.
struct Placement {
  double xx = 1, xy = 0, yx = 0, yy = 1, dx = 0, dy = 0;

  Point operator()(Point p) const { return {xx * p.x + xy * p.y + dx, yx * p.x + yy * p.y + dy}; }
  // Directions are turned and scaled, not moved.
  Point direction(Point v) const { return {xx * v.x + xy * v.y, yx * v.x + yy * v.y}; }
  // `inner` first, then this.
  Placement after(const Placement& inner) const;
  double determinant() const { return xx * yy - xy * yx; }
  bool mirrors() const { return determinant() < 0; }
  // Moves, turns, mirrors and scales alike in every direction: a circle
  // stays a circle.
  bool keepsShapes() const;
  // The factor lengths are scaled by, for a map that keeps shapes.
  double scale() const;
  // The angle the x axis is turned to, radians.
  double rotation() const;
  bool finite() const;

  // Where a block reference's cell puts its block's entities. `numbers`
  // are the reference's: insertion x y z, scales x y z, rotation, and for an
  // array (AcDbMInsertBlock) columns, rows, column and row spacing; the
  // cells run along the turned axes, their spacing not scaled.
  static Placement ofReference(std::span<const double> numbers, std::uint32_t column = 0, std::uint32_t row = 0);
};

// The cells of a block reference: columns x rows for an array, else one.
std::uint64_t cellsOf(std::string_view kind, std::span<const double> numbers);
bool isBlockReference(std::string_view kind);

struct WalkLimits {
  int maxDepth = 8;  // levels of blocks within blocks gone into (at most 63)
  // Entities given out at most, each cell of a reference gone into counted too.
  std::uint64_t maxEntities = std::uint64_t{4} << 20;
  // Only top-level entities of this space (paper space when true); all when unset.
  std::optional<bool> paperSpace;
  // Also give out kEnter and kLeave around each reference gone into.
  bool references = false;
};

struct Placed {
  enum Step {
    kEntity,       // an entity to use; a reference not gone into comes as one too
    kEnter,        // a reference whose block follows (only when asked for)
    kLeave,        // its block is done (only when asked for)
  };
  Step step = kEntity;
  // Why a reference comes as an entity: it was not gone into.
  enum Why { kGoneInto, kNotReference, kBeyondDepth, kHoldsItself, kUnknownBlock, kOutOfReach, kNoNumbers };
  Why why = kNotReference;
  std::uint32_t top = 0;       // the index of the top-level entity it comes from
  const Shape* shape = nullptr;  // the entity, in its block's own frame
  Placement placement;         // from that frame into the drawing's
  int depth = 0;               // 0 a top-level entity, 1 within a block a top-level reference inserts, ...
};

class BlockWalk {
 public:
  // `shapes` and `blocks` must outlive the walk.
  BlockWalk(std::span<const Shape> shapes, std::span<const Block> blocks, WalkLimits limits = {});

  // The next entity in drawing order: each top-level entity, and a
  // reference's block entity by entity, cell by cell, where the reference
  // stands. False once all is walked, or the walk was stopped.
  bool next(Placed& out);
  // Ends the walk here: what is not reached is counted as beyond the limit.
  void stop();
  // Complete once next() gave false.
  const LeftOut& leftOut() const { return leftOut_; }

 private:
  struct Frame {
    std::span<const Shape> shapes;
    std::int64_t block = -1;   // index into blocks_, -1 for the top level
    std::size_t at = 0;        // the next shape
    Placement placement;
    int depth = 0;
    // The reference being gone into from this frame, cell by cell.
    const Shape* reference = nullptr;
    std::uint32_t referenceTop = 0;
    std::size_t target = 0;
    std::uint32_t columns = 1, rows = 1, cell = 0;
  };
  using Counts = std::vector<std::pair<std::string_view, std::uint64_t>>;

  std::int64_t blockNamed(std::string_view name) const;
  bool inCycle(std::int64_t from, std::size_t to) const;
  void findCycles();
  // Whether the reference `s` at `depth` in block `from` is gone into, and why not.
  Placed::Why judge(const Shape& s, std::int64_t from, int depth, std::size_t& target) const;
  bool pushCell(Frame& parent, Placed& out);
  void countRest();
  const Counts& countsOf(std::size_t block, int depth);
  void addCounts(Counts& into, const Counts& from, std::uint64_t times) const;
  static void addCount(Counts& into, std::string_view kind, std::uint64_t n);

  std::span<const Shape> shapes_;
  std::span<const Block> blocks_;
  WalkLimits limits_;
  std::unordered_map<std::string_view, std::size_t> byName_;  // the first block of each name
  std::vector<std::uint32_t> component_;  // per block: its strongly connected component
  std::vector<bool> selfHeld_;             // per component: a cycle runs through it
  std::vector<Frame> frames_;
  std::uint64_t given_ = 0;
  bool done_ = false;
  bool pendingLeave_ = false;
  Placed leave_;
  LeftOut leftOut_;
  std::unordered_map<std::uint64_t, Counts> counted_;  // by block and depth
};

// The numbers of an entity of a common kind (line, point, circle, arc,
// ellipse, light-weight polyline, text, attribute definition, paragraph
// text, solid, trace) in the drawing's frame, in the kind's own order.
// False for other kinds, too few numbers, or a placement the kind cannot
// follow exactly (a circle scaled unequally is an ellipse, a text's
// height then depends on its unknown turn); `out` is then empty.
bool placedNumbers(const Shape& shape, const Placement& placement, std::vector<double>& out);

}  // namespace veldra::sketch
