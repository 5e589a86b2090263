#pragma once

// A drawing as strokes: what a picture of it is drawn from when the drawing
// stores no preview. Lines, arcs, circles, ellipses, polylines (their bulges
// as arcs), solids and traces become connected runs of points; texts keep
// their place, height, angle and words; a block reference is drawn with
// its block's own entities when they are given, else marked where it is
// inserted. Model space is drawn; paper space only when model space has nothing
// to draw. What is not drawn is counted, never left out without a word.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace veldra::sketch {

struct Point {
  double x = 0;
  double y = 0;
  bool operator==(const Point&) const = default;
};

struct Box {
  double minX = 0, minY = 0, maxX = 0, maxY = 0;
  bool empty = true;

  void add(Point p);
  double width() const { return empty ? 0 : maxX - minX; }
  double height() const { return empty ? 0 : maxY - minY; }
};

// A connected run of points, from one entity.
struct Stroke {
  std::uint32_t entity = 0;  // the entity's index in the list sketched
  std::vector<Point> points;
};

struct Label {
  std::uint32_t entity = 0;
  Point at;             // the start of its baseline
  double height = 0;
  double angle = 0;     // radians
  std::string text;     // UTF-8
};

// What a walk through blocks did not go into or did not reach, and what
// could not be drawn where it landed.
struct LeftOut {
  int maxDepth = 8;
  std::uint64_t beyondDepth = 0;        // references deeper than maxDepth
  std::uint64_t holdingThemselves = 0;  // references to a block that holds itself
  std::uint64_t unknownBlocks = 0;      // references naming no block given
  std::uint64_t outOfReach = 0;         // entities whose numbers cannot be placed (not finite, too large)
  // Entities not reached when the walk ended at its limit (top-level ones
  // and those within blocks, each block counted as often as it would have
  // been inserted), by class name, in the order first met.
  std::vector<std::pair<std::string, std::uint64_t>> beyondLimit;

  bool empty() const;
  std::uint64_t beyondLimitTotal() const;
};

// One line for each kind of thing left out, e.g. "3 block references
// beyond 8 levels not drawn", "999,800,000 lines beyond the limit left
// out"; `verb` names what the walk was for ("drawn").
std::vector<std::string> describe(const LeftOut& leftOut, std::string_view verb = "drawn");

struct Sketch {
  std::vector<Stroke> strokes;
  std::vector<Label> labels;
  std::size_t drawn = 0;     // entities drawn
  std::size_t notDrawn = 0;  // entities of the space drawn that have no shape here (kinds without geometry, or past the limit)
  bool paperSpace = false;   // model space was empty; paper space is drawn
  LeftOut leftOut;           // what within blocks or past the limit was not drawn, and why

  bool empty() const { return strokes.empty() && labels.empty(); }
  // All points and labels' extents.
  Box bounds() const;
};

// One entity as the reader gives it: its class name ("AcDbLine"), its space
// and its numbers in the kind's order, with a text's words or a block
// reference's block name.
struct Shape {
  std::string_view kind;
  bool paperSpace = false;
  std::span<const double> numbers;
  std::string_view text;
};

// Points a sketch keeps at most (a text counts four, a mark five); entities
// past them are counted as not drawn, and as left out beyond the limit.
inline constexpr std::size_t kMaxPoints = 400000;

// A named block's own entities, drawn wherever a reference inserts it:
// moved, scaled and turned as the reference says, seen from the block's
// origin, an array of them cell by cell. Blocks within blocks are drawn too,
// eight levels deep (see block_walk.h); a reference to a block that holds
// itself, to one no block here names, or one deeper, is marked where it
// stands, and told in `Sketch::leftOut`.
struct Block {
  std::string_view name;
  std::span<const Shape> shapes;
};

Sketch sketchOf(std::span<const Shape> shapes, std::span<const Block> blocks = {});

// Maps drawing units onto a box of pixels, y upwards turned downwards,
// keeping proportions and centring the drawing.
struct Fit {
  double scale = 1;
  double offsetX = 0, offsetY = 0;

  static Fit of(const Box& bounds, double width, double height, double margin);
  Point operator()(Point p) const { return {offsetX + p.x * scale, offsetY - p.y * scale}; }
};

// Words shown under a picture drawn from geometry.
inline constexpr std::string_view kDrawnCaption = "drawn from the drawing";

}  // namespace veldra::sketch
