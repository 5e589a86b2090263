// Laying one drawing's pieces onto another's: a part pasted, moved, turned
// or mirrored, in an order of its own and beside the copier's own pieces, is
// found where it lies, and what was pasted is told apart from what the
// other drawing could not hold.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>
#include <random>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "evidence/features/placement.h"
#include "turned_sheet.h"

namespace veldra::evidence {
namespace {

constexpr std::uint64_t kLine = 1, kCircle = 2, kText = 3;

struct Sheet {
  std::vector<LocatedPiece> pieces;
  std::vector<std::uint8_t> rare;

  void add(std::uint64_t form, double x, double y, double size, bool isRare, bool freely = false) {
    const auto shape = form * 1000000007ULL + static_cast<std::uint64_t>(std::llround(size * 1000));
    pieces.push_back({shape, shape, {}, form, x, y, size, freely});
    rare.push_back(isRare ? 1 : 0);
  }
};

// The sheet's frame, where every drawing has it; rare by its neighbours, as
// a frame beside one's own work is.
void frame(Sheet& s) {
  for (const auto& [x, y, size] :
       {std::tuple{210.0, 0.0, 420.0}, {420.0, 148.5, 297.0}, {210.0, 297.0, 420.0}, {0.0, 148.5, 297.0}})
    s.add(kLine, x, y, size, true);
}

// A flange as the whole class draws it, about (ox, oy): outline sides, a
// bore, six holes on their circle, the centre lines. `holes` says which
// holes are drawn.
void flange(Sheet& s, double ox, double oy, bool rare, unsigned holes = 0x3F) {
  s.add(kLine, ox, oy - 30, 104, rare);
  s.add(kLine, ox + 60, oy, 54, rare);
  s.add(kLine, ox, oy + 30, 104, rare);
  s.add(kLine, ox - 60, oy, 54, rare);
  s.add(kCircle, ox, oy, 10, rare);
  for (int k = 0; k < 6; ++k)
    if (holes & (1u << k))
      s.add(kCircle, ox + 20 * std::cos(k * std::numbers::pi / 3), oy + 20 * std::sin(k * std::numbers::pi / 3), 2.5,
            rare);
  s.add(kLine, ox, oy, 130, rare);
  s.add(kLine, ox + 0.5, oy, 80, rare);
}

// `from`'s pieces numbered in `take`, moved by (dx, dy), turned by `turn`
// and mirrored about the x axis first if asked, onto `to`, in shuffled order.
void paste(const Sheet& from, const std::vector<std::size_t>& take, Sheet& to, double dx, double dy, double turn,
           bool mirror, std::mt19937& random) {
  std::vector<std::size_t> order = take;
  std::shuffle(order.begin(), order.end(), random);
  const double c = std::cos(turn), s = std::sin(turn);
  for (const std::size_t k : order) {
    LocatedPiece p = from.pieces[k];
    const double y = mirror ? -p.y : p.y;
    const double x = p.x;
    p.x = c * x - s * y + dx;
    p.y = s * x + c * y + dy;
    to.pieces.push_back(p);
    to.rare.push_back(from.rare[k]);
  }
}

TEST(Placement, APartPastedWithOneLineDrawnFreelyIsFoundWhereverItWasPut) {
  for (unsigned seed = 1; seed <= 24; ++seed) {
    SCOPED_TRACE(seed);
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> move(-150, 150), angle(0, 2 * std::numbers::pi);
    // Where everyone typed the same numbers, nothing of the flange is rare:
    // only the line to a clicked point and the note.
    Sheet a;
    frame(a);
    flange(a, 200, 120, false);
    a.add(kLine, 231.377, 141.902, 73.0681, true, true);
    a.add(kText, 140, 80.613, 2.5, true);
    Sheet b;
    frame(b);
    std::vector<std::size_t> take;
    for (std::size_t k = 4; k < a.pieces.size() - 1; ++k)
      if (k % 3 != 0 || k == a.pieces.size() - 2) take.push_back(k);  // the note and a third of the flange stay behind
    const double turn = angle(random);
    const bool mirror = random() % 2 == 0;
    paste(a, take, b, 210 + move(random), 150 + move(random), turn, mirror, random);
    b.add(kCircle, 33.125, 148.331, 8.573, true, true);  // the copier's own
    b.add(kCircle, 129.36, 25.209, 8.0926, true, true);

    const auto placed = findPlacement(a.pieces, b.pieces, a.rare, Tolerance{});
    ASSERT_TRUE(placed.has_value());
    EXPECT_EQ(placed->mirrored, mirror);
    const double turned = turn * 180 / std::numbers::pi;
    EXPECT_NEAR(std::fmod(placed->turnDegrees - turned + 540, 360) - 180, 0, 1e-6);
    EXPECT_EQ(placed->mapped, 1);
    EXPECT_EQ(placed->freelyMapped, 1);
    EXPECT_EQ(placed->alongside, static_cast<int>(take.size()) - 1);
    // Of the rare pieces, the frame lies unmoved in both and is no part of
    // the paste, and the note has nothing like it in the other drawing.
    EXPECT_EQ(placed->tried, 6);
    EXPECT_EQ(placed->held, 1);
  }
}

// The copy laid back onto its source, the words tell what the copier did to
// the source, not what lays the copy back.
TEST(Placement, TheWordsTellWhatTheCopierDid) {
  const struct {
    double turn;
    bool mirror;
    double scale;
    const char* said;
  } cases[] = {{90, false, 1, "turned by 90\u00B0 and moved"},
               {17, false, 1, "turned by 17\u00B0 and moved"},
               {-90, false, 1, "turned clockwise by 90\u00B0 and moved"},
               {0, false, 2, "scaled \u00D72 and moved"},
               {180, true, 1, "mirrored left to right and moved"},
               {0, true, 1, "mirrored top to bottom and moved"},
               {270, true, 0.5, "mirrored left to right, scaled \u00D70.5, turned by 90\u00B0 and moved"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.said);
    Sheet source;
    flange(source, 200, 120, true, 0x1F);
    Sheet copy;
    const double t = c.turn * std::numbers::pi / 180, f = c.mirror ? -1 : 1;
    for (LocatedPiece p : source.pieces) {
      const double x = p.x, y = f * p.y;
      p.x = c.scale * (std::cos(t) * x - std::sin(t) * y) + 37;
      p.y = c.scale * (std::sin(t) * x + std::cos(t) * y) - 12;
      p.size *= c.scale;
      copy.pieces.push_back(p);
      copy.rare.push_back(1);
    }
    const auto back = findPlacement(copy.pieces, source.pieces, copy.rare, Tolerance{});
    ASSERT_TRUE(back.has_value());
    EXPECT_EQ(placementText(inverse(*back)), c.said);
    // Laid back and forth, a piece is where it was.
    const Placement there = inverse(*back);
    const LocatedPiece& q = copy.pieces[3];
    const double x = back->m[0] * q.x + back->m[1] * q.y + back->dx, y = back->m[2] * q.x + back->m[3] * q.y + back->dy;
    EXPECT_NEAR(there.m[0] * x + there.m[1] * y + there.dx, q.x, 1e-9);
    EXPECT_NEAR(there.m[2] * x + there.m[3] * y + there.dy, q.y, 1e-9);
  }
}

TEST(Placement, WhatTheOtherDrawingHoldsIsCountedPieceByPiece) {
  // Where students chose numbers of their own, the flange is rare: a paste
  // of half its holes lies whole among what the other drawing holds, each
  // of its holes holding one.
  std::mt19937 random(7);
  Sheet a;
  flange(a, 180, 140, true);
  Sheet b;
  std::vector<std::size_t> take{0, 1, 2, 3, 4, 5, 6, 7, 11, 12};  // holes 3, 4 and 5 stay behind
  paste(a, take, b, -40.25, 61.5, 0, false, random);
  b.add(kCircle, 12.5, 240.75, 2.5, true);  // one hole of the copier's own, far off
  const auto placed = findPlacement(a.pieces, b.pieces, a.rare, Tolerance{});
  ASSERT_TRUE(placed.has_value());
  EXPECT_EQ(placed->mapped, static_cast<int>(take.size()));
  EXPECT_EQ(placed->tried, static_cast<int>(a.pieces.size()));
  EXPECT_EQ(placed->held, static_cast<int>(take.size()) + 1);
  EXPECT_EQ(placed->alongside, 0);
  EXPECT_EQ(placementText(*placed), "moved");

  // Nothing rare shared at all: nothing to lay.
  Sheet c;
  flange(c, 100, 100, false);
  EXPECT_FALSE(findPlacement(c.pieces, b.pieces, c.rare, Tolerance{}).has_value());
}

// A flange whose pieces each drawing has once all sit at its centre (the
// bore, the bolt circle, the centre lines): they tell where it went but not
// how it was turned, which the holes and sides it has several of tell.
TEST(Placement, WorkWhoseOnlyPiecesHeldOnceShareAPointIsStillLaid) {
  // With the template's title unmoved in both too, which tells no turn.
  for (const bool titled : {false, true}) {
    SCOPED_TRACE(titled);
    std::mt19937 random(11);
    const double cx = 209.135, cy = 26.56;
    Sheet a;
    if (titled) a.add(kText, 245, 20, 5, true);
    for (const auto& [form, size] : {std::pair{kCircle, 8.0}, {kCircle, 18.0}, {kLine, 90.0}, {kLine, 70.0}})
      a.add(form, cx, cy, size, true);
    for (const double side : {-1.0, 1.0}) {
      a.add(kLine, cx + 40 * side, cy, 50, true);
      a.add(kLine, cx, cy + 30 * side, 62, true);
    }
    for (int k = 0; k < 6; ++k)
      a.add(kCircle, cx + 18 * std::cos(k * std::numbers::pi / 3), cy + 18 * std::sin(k * std::numbers::pi / 3), 2.5,
            true);
    Sheet b;
    frame(b);
    if (titled) b.add(kText, 245, 20, 5, true);
    std::vector<std::size_t> work;
    for (std::size_t k = titled ? 1 : 0; k < a.pieces.size(); ++k) work.push_back(k);
    paste(a, work, b, 83.491, 31.171, 0.4, false, random);
    const auto placed = findPlacement(a.pieces, b.pieces, a.rare, Tolerance{});
    ASSERT_TRUE(placed.has_value());
    EXPECT_EQ(placed->mapped, static_cast<int>(work.size()));
    EXPECT_EQ(placed->spots, static_cast<int>(work.size()) - 3);  // the four pieces at the centre are one
    EXPECT_EQ(placementText(*placed), "turned by 22.9\u00B0 and moved");
  }
}

// Two students of one variant draw the same flange, and put their notes by
// hand, alike to a thousandth: the notes lie alike, but not as a paste lays
// them, even where the move is taken from the notes themselves. The note
// pasted lies there exactly.
TEST(Placement, NotesPutByHandAlikeToAThousandthAreNoPaste) {
  for (const double apart : {0.0012, 0.0}) {
    SCOPED_TRACE(apart);
    std::mt19937 random(3);
    Sheet a;
    flange(a, 180, 140, true);
    a.add(kText, 120, 94.5653, 2.5, true, true);
    Sheet b;
    std::vector<std::size_t> all(a.pieces.size());
    std::iota(all.begin(), all.end(), 0);
    paste(a, all, b, 246.1326, 45.789, 0, false, random);
    for (LocatedPiece& p : b.pieces)
      if (p.form == kText) p.y += apart;
    const auto placed = findPlacement(a.pieces, b.pieces, a.rare, Tolerance{});
    ASSERT_TRUE(placed.has_value());
    EXPECT_GE(placed->mapped, static_cast<int>(a.pieces.size()) - 1);
    EXPECT_EQ(placed->freelyMapped, apart == 0.0 ? 1 : 0);
  }
}

// Where the whole class typed one set of numbers, a part's note is all that
// tells its paste; put in the source inside the title block, whose lines and
// title lie nearer to it than the part's own, and pasted turned onto a fresh
// sheet, it is still found beside the part and the part laid by it.
// The template's sheet with its student's name in the title block.
std::vector<EntityFacts> titledSheet(const char* name) {
  const testing::TurnedSheet s;
  return {s.line(0, 0, 420, 0),     s.line(420, 0, 420, 297), s.line(420, 297, 0, 297),
          s.line(0, 297, 0, 0),     s.line(240, 0, 240, 30),  s.line(240, 30, 420, 30),
          s.line(240, 15, 420, 15), s.text(245, 20, 5, "Title"), s.text(150, 12, 3.5, name)};
}

// A flange as its student drew it about a clicked corner, turned by `turn`
// about it and moved to (ox, oy): its outline, bore, bolt circle, centre
// lines, four holes and the note of its size.
std::vector<EntityFacts> flangePart(double ox, double oy, double turn) {
  const testing::TurnedSheet at{ox, oy, turn};
  std::vector<EntityFacts> out{at.line(0, 0, 120, 0),    at.line(120, 0, 120, 50), at.line(120, 50, 0, 50),
                               at.line(0, 50, 0, 0),     at.circle(60, 25, 12.5),  at.circle(60, 25, 18),
                               at.line(-5, 25, 125, 25), at.line(60, -5, 60, 55)};
  for (int k = 0; k < 4; ++k)
    out.push_back(at.circle(60 + 18 * std::cos(k * std::numbers::pi / 2), 25 + 18 * std::sin(k * std::numbers::pi / 2),
                            2.5));
  out.push_back(at.text(0, -9.2605, 3.5, "120 x 50"));
  return out;
}

std::vector<LocatedPiece> sheetWith(const char* name, const std::vector<EntityFacts>& work) {
  auto out = titledSheet(name);
  out.insert(out.end(), work.begin(), work.end());
  return locatedPieces(out, Tolerance{});
}

TEST(Placement, ANotePastedOutOfTheTitleBlockStillLaysThePart) {
  const double turn = 33.7 * std::numbers::pi / 180;
  const auto source = sheetWith("Vera", flangePart(257.6879, 38.7007, 0));
  const auto copy = sheetWith("Dora", flangePart(61.8451, 105.1445, turn));
  // Only the note was placed freely, and it is all that is rare.
  std::vector<std::uint8_t> rare;
  for (const LocatedPiece& p : source) rare.push_back(p.placedFreely ? 1 : 0);
  ASSERT_EQ(std::count(rare.begin(), rare.end(), 1), 1);
  const auto placed = findPlacement(source, copy, rare, Tolerance{});
  ASSERT_TRUE(placed.has_value());
  EXPECT_FALSE(placed->mirrored);
  EXPECT_NEAR(placed->turnDegrees, 33.7, 1e-6);
  EXPECT_EQ(placed->freelyMapped, 1);
  EXPECT_GE(placed->alongside, 12);
}

// A part pasted without its note, where the copier's name is the one text
// of the note's height: the note is not taken for the name, and the pieces
// about the bore (each held once, all at one point) with the holes (each
// like the others) tell the turn.
TEST(Placement, ANoteLeftBehindIsNotTakenForTheCopiersName) {
  const double turn = 71.3 * std::numbers::pi / 180;
  const auto whole = flangePart(257.6879, 38.7007, 0);
  const auto source = sheetWith("Arne", whole);
  const auto turned = flangePart(61.8451, 105.1445, turn);
  // The bore, the bolt circle, the centre lines and the holes.
  const auto copy = sheetWith("Vera", {turned.begin() + 4, turned.end() - 1});
  // Numbers of the student's own: all of the part is rare, and so is the name.
  std::vector<std::uint8_t> rare(source.size(), 1);
  std::fill_n(rare.begin(), 8, 0);
  const auto placed = findPlacement(source, copy, rare, Tolerance{});
  ASSERT_TRUE(placed.has_value());
  EXPECT_FALSE(placed->mirrored);
  // Four holes about the bore, and lines told by their middles: a quarter
  // turn more or less lays them alike too.
  EXPECT_NEAR(std::fmod(placed->turnDegrees - 71.3 + 720 + 45, 90.0), 45, 1e-6);
  EXPECT_EQ(placed->mapped, 8);
}

// A note put where its student clicked is placed freely; one snapped to a
// corner of the outline, or put at typed offsets from it, is placed as
// students place notes alike. However the sheet lies: the outline starts
// where its student clicked, and is turned.
TEST(Placement, ANoteIsPlacedFreelyWhereItWasClickedNotWhereItWasSnapped) {
  const testing::TurnedSheet at{123.4567, 78.9012, 0.61};
  auto note = [&](double x, double y, double height) { return at.text(x, y, height, "90 x 50"); };
  const std::vector<EntityFacts> outline{at.line(0, 0, 90, 0), at.line(90, 0, 90, 50), at.line(90, 50, 0, 50),
                                         at.line(0, 50, 0, 0)};
  auto freely = [&](const EntityFacts& text) {
    std::vector<EntityFacts> entities = outline;
    entities.push_back(text);
    for (const LocatedPiece& p : locatedPieces(entities, Tolerance{}))
      if (p.form != locatedPieces(outline, Tolerance{})[0].form) return p.placedFreely;
    ADD_FAILURE() << "the note is not among the pieces";
    return false;
  };
  EXPECT_TRUE(freely(note(0, -11.3721, 3.5)));
  EXPECT_TRUE(freely(note(47.113, 61.09, 2.5)));
  EXPECT_FALSE(freely(note(0, 0, 3.5)));      // snapped to the corner
  EXPECT_FALSE(freely(note(10, -5, 3.5)));    // typed offsets from it
  EXPECT_FALSE(freely(note(45, 50, 2.5)));    // the middle of a side
  EXPECT_TRUE(freely(note(10, -5, 3.4321)));  // a height of one's own is drawn freely anyway
}

}  // namespace
}  // namespace veldra::evidence
