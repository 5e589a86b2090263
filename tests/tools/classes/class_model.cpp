#include "classes/class_model.h"

#include "evidence/features/fingerprint.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace veldra::testing {

using veldra::evidence::DrawingEvidence;
using veldra::evidence::EntityFacts;
using veldra::evidence::Instant;

namespace {

constexpr std::int64_t kLabStart = 1709629200000;  // 2024-03-05 09:00:00 UTC
constexpr std::int64_t kMinute = 60000;
constexpr std::uint64_t kTemplateSeed = 0x200;

const char* const kNames[] = {"anna", "ben", "carla", "david", "emma", "felix", "greta", "hugo",
                              "ines", "jonas", "klara", "lukas", "mia", "noah", "olga", "paul",
                              "quinn", "rosa", "sven", "tina", "ulla", "viktor", "wanda", "xaver",
                              "yara", "zeno"};

std::string studentName(int k) {
  const int count = static_cast<int>(sizeof kNames / sizeof kNames[0]);
  std::string name = kNames[k % count];
  if (k >= count) name += std::to_string(k / count + 1);
  return name;
}

std::string guid(std::mt19937_64& random) {
  const std::uint64_t a = random(), b = random();
  char buf[48];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%04X-%012llX}", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFFF),
                static_cast<unsigned>(b >> 48), static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFull));
  return buf;
}

EntityFacts line(double x1, double y1, double x2, double y2, const std::string& layer) {
  return {"AcDbLine", 0, true, false, layer, {x1, y1, 0, x2, y2, 0}, std::nullopt};
}
EntityFacts circle(double x, double y, double r, const std::string& layer) {
  return {"AcDbCircle", 0, true, false, layer, {x, y, 0, r}, std::nullopt};
}
EntityFacts arc(double x, double y, double r, double a0, double a1, const std::string& layer) {
  return {"AcDbArc", 0, true, false, layer, {x, y, 0, r, a0, a1}, std::nullopt};
}
EntityFacts text(double x, double y, double h, std::string words, const std::string& layer) {
  return {"AcDbText", 0, true, false, layer, {x, y, h}, std::move(words)};
}

// Where a point sits in an entity's numbers, for moving it.
void move(EntityFacts& e, double dx, double dy) {
  if (e.kind == "AcDbPolyline") {
    for (std::size_t i = 0; i + 3 <= e.numbers.size(); i += 3) {
      e.numbers[i] += dx;
      e.numbers[i + 1] += dy;
    }
    return;
  }
  const std::string_view layout = veldra::evidence::numberLayout(e.kind);
  std::size_t i = 0;
  for (const char part : layout) {
    if (part == 'P' && i + 3 <= e.numbers.size()) {
      e.numbers[i] += dx;
      e.numbers[i + 1] += dy;
    }
    i += (part == 'P' || part == 'V') ? 3 : 1;
  }
}

EntityFacts polyline(const std::vector<std::array<double, 3>>& vertices, const std::string& layer) {
  EntityFacts e{"AcDbPolyline", 0, true, false, layer, {}, std::nullopt};
  for (const auto& v : vertices) e.numbers.insert(e.numbers.end(), v.begin(), v.end());
  return e;
}

// A similarity of the plane: p -> scale * R(turn) * (mirror ? flip y : 1) * p + offset.
struct Placement {
  double turn = 0, scale = 1, dx = 0, dy = 0;
  bool mirror = false;
  std::array<double, 2> apply(double x, double y) const {
    if (mirror) y = -y;
    const double c = std::cos(turn), s = std::sin(turn);
    return {scale * (c * x - s * y) + dx, scale * (s * x + c * y) + dy};
  }
};

// An entity as a copier's MOVE, ROTATE, MIRROR and SCALE leave it.
EntityFacts placed(EntityFacts e, const Placement& at) {
  auto point = [&](std::size_t i) {
    const auto p = at.apply(e.numbers[i], e.numbers[i + 1]);
    e.numbers[i] = p[0];
    e.numbers[i + 1] = p[1];
  };
  auto angle = [&](double a) { return at.mirror ? at.turn - a : at.turn + a; };
  if (e.kind == "AcDbLine") {
    point(0);
    point(3);
  } else if (e.kind == "AcDbCircle") {
    point(0);
    e.numbers[3] *= at.scale;
  } else if (e.kind == "AcDbArc") {
    point(0);
    e.numbers[3] *= at.scale;
    const double a0 = angle(e.numbers[4]), a1 = angle(e.numbers[5]);
    // A mirrored arc runs the other way: its end becomes its start.
    e.numbers[4] = at.mirror ? a1 : a0;
    e.numbers[5] = at.mirror ? a0 : a1;
  } else if (e.kind == "AcDbText") {
    point(0);
    e.numbers[2] *= at.scale;
  } else if (e.kind == "AcDbPolyline") {
    for (std::size_t i = 0; i + 3 <= e.numbers.size(); i += 3) {
      point(i);
      if (at.mirror) e.numbers[i + 2] = -e.numbers[i + 2];
    }
  } else {
    point(0);
  }
  return e;
}

// A polyline as EXPLODE leaves it: a line per straight segment, an arc
// (counter-clockwise, from its start angle to its end angle) per bulge.
std::vector<EntityFacts> exploded(const EntityFacts& p) {
  std::vector<EntityFacts> out;
  for (std::size_t i = 0; i + 6 <= p.numbers.size(); i += 3) {
    double x1 = p.numbers[i], y1 = p.numbers[i + 1], x2 = p.numbers[i + 3], y2 = p.numbers[i + 4];
    double bulge = p.numbers[i + 2];
    if (bulge == 0) {
      out.push_back(line(x1, y1, x2, y2, p.layer));
      continue;
    }
    if (bulge < 0) {
      std::swap(x1, x2);
      std::swap(y1, y2);
      bulge = -bulge;
    }
    const double sweep = 4 * std::atan(bulge);
    const double chord = std::hypot(x2 - x1, y2 - y1);
    const double r = chord / (2 * std::sin(sweep / 2));
    const double toCentre = chord / 2 / std::tan(sweep / 2);
    const double ux = (x2 - x1) / chord, uy = (y2 - y1) / chord;
    const double cx = (x1 + x2) / 2 - uy * toCentre, cy = (y1 + y2) / 2 + ux * toCentre;
    out.push_back(arc(cx, cy, r, std::atan2(y1 - cy, x1 - cx), std::atan2(y2 - cy, x2 - cx), p.layer));
  }
  return out;
}

// One entity of the sheet, with the other ways students read it.
struct SheetEntity {
  std::vector<EntityFacts> readings;  // the first is the usual one
};
using Part = std::vector<SheetEntity>;

// The exercise: an outline, holes, slots, a chamfer and centre lines, all
// at typed numbers from the origin, plus the notes the sheet asks for.
// `polylines[p]`, when not empty, is part p drawn as one polyline.
std::vector<Part> makeExercise(int entities, std::mt19937_64& random, std::vector<EntityFacts>& polylines) {
  std::vector<Part> parts;
  auto pick = [&](int lo, int hi) { return lo + static_cast<int>(random() % static_cast<unsigned>(hi - lo + 1)); };
  int made = 0;
  const double w = pick(16, 30) * 10, h = pick(8, 16) * 10;
  // The outline, with a chamfer some read as a second line.
  Part outline;
  outline.push_back({{line(0, 0, w, 0, "Outline")}});
  outline.push_back({{line(w, 0, w, h - 20, "Outline"), line(w, 0, w, h - 15, "Outline")}});
  outline.push_back({{line(w, h - 20, w - 20, h, "Outline"), line(w, h - 15, w - 15, h, "Outline")}});
  outline.push_back({{line(w - 20, h, 0, h, "Outline"), line(w - 15, h, 0, h, "Outline")}});
  outline.push_back({{line(0, h, 0, 0, "Outline")}});
  made += 5;
  parts.push_back(std::move(outline));
  polylines.push_back(polyline({{{0, 0, 0}, {w, 0, 0}, {w, h - 20, 0}, {w - 20, h, 0}, {0, h, 0}, {0, 0, 0}}}, "Outline"));
  parts.push_back({{{text(0, -20, 3.5, "ALL DIMENSIONS IN MM", "Text")}},
                   {{text(0, -28, 3.5, "GENERAL TOLERANCE ISO 2768-m", "Text")}}});
  made += 2;
  polylines.emplace_back();
  while (made < entities) {
    const int kind = static_cast<int>(random() % 4);
    Part part;
    const double x = pick(2, static_cast<int>(w / 10) - 2) * 10 + (random() % 2 ? 5 : 0);
    const double y = pick(2, static_cast<int>(h / 10) - 2) * 10;
    if (kind == 0) {  // a hole with its centre lines
      const double r = pick(3, 12) + (random() % 3 == 0 ? 0.5 : 0.0);
      part.push_back({{circle(x, y, r, "Outline"), circle(x, y, r + 0.5, "Outline")}});
      part.push_back({{line(x - r - 3, y, x + r + 3, y, "Centre")}});
      part.push_back({{line(x, y - r - 3, x, y + r + 3, "Centre")}});
    } else if (kind == 1) {  // a slot: two lines and two arcs
      const double len = pick(2, 6) * 5, r = pick(3, 6);
      const double pi = std::numbers::pi;
      part.push_back({{line(x, y - r, x + len, y - r, "Outline")}});
      part.push_back({{arc(x + len, y, r, -pi / 2, pi / 2, "Outline")}});
      part.push_back({{line(x + len, y + r, x, y + r, "Outline")}});
      part.push_back({{arc(x, y, r, pi / 2, 3 * pi / 2, "Outline")}});
      polylines.push_back(polyline({{{x, y - r, 0}, {x + len, y - r, 1}, {x + len, y + r, 0}, {x, y + r, 1}, {x, y - r, 0}}},
                                   "Outline"));
    } else if (kind == 2) {  // a bolt circle
      const double r = pick(2, 4);
      for (int k = 0; k < 4; ++k) {
        const double a = k * std::numbers::pi / 2;
        part.push_back({{circle(x + std::round(15 * std::cos(a)), y + std::round(15 * std::sin(a)), r, "Outline")}});
      }
    } else {  // a step in the outline, read two ways
      const double d = pick(1, 4) * 5;
      part.push_back({{line(x, 0, x, d, "Outline"), line(x, 0, x, d + 5, "Outline")}});
      part.push_back({{line(x, d, x + 20, d, "Outline"), line(x, d + 5, x + 20, d + 5, "Outline")}});
    }
    made += static_cast<int>(part.size());
    parts.push_back(std::move(part));
    if (polylines.size() < parts.size()) polylines.emplace_back();
  }
  return parts;
}

std::vector<EntityFacts> makeTitleBlock(int entities) {
  std::vector<EntityFacts> block;
  const char* const words[] = {"CAD 1 - EXERCISE 3", "NAME:", "DATE:", "SCALE 1:1", "SHEET 1 OF 1",
                               "UNIVERSITY OF APPLIED SCIENCES", "CHECKED:", "MATERIAL: S235"};
  block.push_back(line(0, 0, 420, 0, "Frame"));
  block.push_back(line(420, 0, 420, 297, "Frame"));
  block.push_back(line(420, 297, 0, 297, "Frame"));
  block.push_back(line(0, 297, 0, 0, "Frame"));
  for (int k = 0; static_cast<int>(block.size()) < entities; ++k) {
    if (k % 2 == 0) block.push_back(text(250 + (k % 4) * 40, 5 + k * 4, 2.5, words[(k / 2) % 8], "Frame"));
    else block.push_back(line(240, k * 4.0, 420, k * 4.0, "Frame"));
  }
  for (auto& e : block) e.paperSpace = true;
  return block;
}

struct Builder {
  const ClassPlan& plan;
  std::vector<Part> exercise;
  std::vector<EntityFacts> polylines;  // per part
  std::vector<EntityFacts> titleBlock;
  DrawingEvidence templateDrawing;

  explicit Builder(const ClassPlan& p) : plan(p) {
    std::mt19937_64 random(p.seed * 7919u + 17u);
    exercise = makeExercise(p.exerciseEntities, random, polylines);
    titleBlock = makeTitleBlock(p.titleBlockEntities);
    std::uint64_t handle = 0x30;
    for (auto& e : titleBlock) e.handle = handle++;
    auto& f = templateDrawing.facts;
    f.path = "/templates/cad1.dwg";
    f.name = "cad1.dwg";
    f.readable = true;
    f.version = "AC1032";
    f.created = Instant{kLabStart - 90LL * 24 * 60 * kMinute, true};
    f.updated = Instant{kLabStart - 80LL * 24 * 60 * kMinute, true};
    f.editingMs = 50 * kMinute;
    f.handseed = kTemplateSeed;
    f.fingerprintGuid = guid(random);
    f.versionGuid = guid(random);
    f.author = f.lastSavedBy = "teacher";
    templateDrawing.entities = titleBlock;
    f.entityCount = titleBlock.size();
  }

  // A fresh drawing from the template, created at `created`.
  DrawingEvidence fresh(int student, std::int64_t created, std::mt19937_64& random) const {
    DrawingEvidence d;
    auto& f = d.facts;
    const std::string name = studentName(student);
    f.path = "/class/" + name + "/drawing.dwg";
    f.name = name + "/drawing.dwg";
    f.readable = true;
    f.version = "AC1032";
    f.created = Instant{created, true};
    f.fingerprintGuid = guid(random);
    f.versionGuid = guid(random);
    f.author = f.lastSavedBy = name;
    f.handseed = kTemplateSeed;
    return d;
  }

  // Gives the drawing's new entities handles from its seed up, as a CAD
  // program does, with the gaps other objects leave.
  static void handOut(DrawingEvidence& d, EntityFacts& e, std::mt19937_64& random) {
    std::uint64_t& seed = *d.facts.handseed;
    e.handle = seed;
    seed += 1 + (random() % 10 < 3 ? random() % 4 : 0);
  }

  // The drawing's entities as the reader lists them: model space in order,
  // then the title block and the name.
  static void finish(DrawingEvidence& d, std::vector<EntityFacts> model, std::vector<EntityFacts> paper) {
    d.entities = std::move(model);
    d.entities.insert(d.entities.end(), paper.begin(), paper.end());
    d.facts.entityCount = d.entities.size();
  }

  std::vector<EntityFacts> paperOf(DrawingEvidence& d, int student, std::mt19937_64& random) const {
    std::vector<EntityFacts> paper = titleBlock;
    EntityFacts nameText = text(290, 9, 2.5, studentName(student) + " " + std::to_string(1000 + student * 37), "Frame");
    nameText.paperSpace = true;
    handOut(d, nameText, random);
    paper.push_back(nameText);
    return paper;
  }

  DrawingEvidence honest(int student) const {
    const unsigned seed = plan.studentSeed ? plan.studentSeed : plan.seed;
    std::mt19937_64 random(seed * 104729u + static_cast<unsigned>(student) * 31u + 5u);
    auto chance = [&](double p) { return static_cast<double>(random() % 1000000) < p * 1000000.0; };
    const std::int64_t lab = kLabStart + plan.daysLater * 24LL * 60 * kMinute;
    std::int64_t created = lab + static_cast<std::int64_t>(random() % (40 * kMinute / 1000)) * 1000;
    if (std::find(plan.sameSecond.begin(), plan.sameSecond.end(), student) != plan.sameSecond.end())
      created = lab + 5 * kMinute;
    DrawingEvidence d = fresh(student, created, random);
    auto listed = [&](const std::vector<int>& students) {
      return std::find(students.begin(), students.end(), student) != students.end();
    };
    const bool usesPolylines = listed(plan.polylineStudents);
    const bool exact = plan.exactNumbers;

    // The order the student works through the sheet.
    std::vector<std::size_t> order(exercise.size());
    for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
    const auto strategy = random() % 10;
    if (strategy >= 5 && strategy < 8) std::reverse(order.begin() + 1, order.end());
    if (strategy >= 8) std::shuffle(order.begin() + 1, order.end(), random);
    const bool atOrigin = chance(0.6);
    const double dx = atOrigin ? 0 : static_cast<double>(random() % 400) - 200;
    const double dy = atOrigin ? 0 : static_cast<double>(random() % 400) - 200;
    const bool ownLayers = chance(0.15);
    const bool allOnZero = !ownLayers && chance(0.2);
    const double textHeight = chance(0.8) ? 3.5 : 2.5;

    std::vector<EntityFacts> model;
    auto addOwn = [&](EntityFacts e) {
      if (ownLayers) e.layer = "my_" + e.layer;
      if (allOnZero) e.layer = "0";
      move(e, dx, dy);
      handOut(d, e, random);
      model.push_back(std::move(e));
    };
    auto clicked = [&](double lo, double hi) {
      return lo + (hi - lo) * static_cast<double>(random() >> 11) / static_cast<double>(std::uint64_t{1} << 53);
    };
    auto stray = [&]() {
      if (plan.clickedMeasures) {
        addOwn(line(clicked(-50, 250), clicked(-50, 150), clicked(-50, 250), clicked(-50, 150), "0"));
        return;
      }
      const double x = static_cast<double>(random() % 600) / 2 - 50, y = static_cast<double>(random() % 400) / 2 - 50;
      const double len = static_cast<double>(5 + random() % 120);
      const double a = static_cast<double>(random() % 360) * std::numbers::pi / 180;
      addOwn(line(x, y, x + std::round(len * std::cos(a) * 2) / 2, y + std::round(len * std::sin(a) * 2) / 2, "0"));
    };
    if (listed(plan.nearlyBlank)) {
      // The template and a line or two.
      order.clear();
      for (int k = 0; k < 1 + static_cast<int>(random() % 2); ++k) stray();
    }
    for (const std::size_t p : order) {
      // Measures of the student's own: the part drawn larger or smaller
      // about its first point, by a factor where the student clicked.
      Placement own;
      if (plan.clickedMeasures && !exercise[p].empty() && !exercise[p][0].readings[0].numbers.empty()) {
        const auto& first = exercise[p][0].readings[0].numbers;
        own.scale = clicked(0.8, 1.25);
        own.dx = first[0] * (1 - own.scale);
        own.dy = first[1] * (1 - own.scale);
      }
      auto add = [&](EntityFacts e) { addOwn(own.scale == 1 || e.text ? std::move(e) : placed(std::move(e), own)); };
      if (usesPolylines && !polylines[p].kind.empty() && !chance(0.03)) {
        add(polylines[p]);
        continue;
      }
      std::vector<std::size_t> inPart(exercise[p].size());
      for (std::size_t k = 0; k < inPart.size(); ++k) inPart[k] = k;
      if (chance(0.2)) std::reverse(inPart.begin(), inPart.end());
      for (const std::size_t k : inPart) {
        const SheetEntity& s = exercise[p][k];
        if (chance(0.03)) continue;  // forgotten
        std::size_t reading = 0;
        if (s.readings.size() > 1 && !exact && chance(0.3)) reading = 1 + random() % (s.readings.size() - 1);
        EntityFacts e = s.readings[reading];
        if (e.text) {
          // Notes where the student clicked, in the student's own words now and then.
          e.numbers[0] += plan.clickedMeasures ? clicked(-30, 30) : static_cast<double>(random() % 60000) / 1000 - 30;
          e.numbers[1] += plan.clickedMeasures ? clicked(-10, 10) : static_cast<double>(random() % 20000) / 1000 - 10;
          e.numbers[2] = textHeight;
          if (!exact && chance(0.3)) {
            const char* const variants[] = {"All dimensions in mm", "DIMENSIONS IN MILLIMETRES", "Dims in mm",
                                            "Tolerances per ISO 2768-m", "GENERAL TOLERANCES: ISO 2768 m"};
            e.text = variants[random() % 5];
          }
        } else if (!exact && chance(0.02)) {
          // A typing slip in one number.
          e.numbers[random() % 2] += static_cast<double>(1 + random() % 9);
        }
        add(std::move(e));
        if (chance(0.025)) stray();
      }
    }
    for (int extra = static_cast<int>(random() % 3); extra > 0; --extra) stray();
    d.facts.editingMs = (60 + static_cast<std::int64_t>(random() % 120)) * kMinute + static_cast<std::int64_t>(random() % 60) * 1000;
    d.facts.updated = Instant{created + *d.facts.editingMs + static_cast<std::int64_t>(random() % (48 * 60)) * kMinute, true};
    finish(d, std::move(model), paperOf(d, student, random));
    if (std::find(plan.labAccount.begin(), plan.labAccount.end(), student) != plan.labAccount.end())
      d.facts.author = d.facts.lastSavedBy = "lab3";
    else if (plan.loginOnMost && random() % 10 < 8)
      d.facts.author = d.facts.lastSavedBy = "student";
    return d;
  }

  DrawingEvidence copy(const CopyPlan& c, const DrawingEvidence& source) const {
    const unsigned seed = plan.studentSeed ? plan.studentSeed : plan.seed;
    std::mt19937_64 random(seed * 15485863u + static_cast<unsigned>(c.copier) * 131u + 7u);
    const std::string copier = studentName(c.copier);
    const std::string folder = "/class/" + copier + "/drawing.dwg";
    if (c.kind == CopyKind::kFileCopy) {
      DrawingEvidence d = source;
      d.facts.path = folder;
      d.facts.name = copier + "/drawing.dwg";
      return d;
    }
    if (c.kind == CopyKind::kCopyEdited) {
      DrawingEvidence d = source;
      d.facts.path = folder;
      d.facts.name = copier + "/drawing.dwg";
      d.facts.versionGuid = guid(random);
      d.facts.lastSavedBy = copier;
      *d.facts.editingMs += (20 + static_cast<std::int64_t>(random() % 40)) * kMinute;
      d.facts.updated = Instant{d.facts.updated->unixMs + (24 + static_cast<std::int64_t>(random() % 48)) * 60 * kMinute, true};
      std::vector<EntityFacts> model, paper;
      for (auto& e : d.entities) {
        if (e.paperSpace) {
          if (e.text && e.handle >= kTemplateSeed) e.text = copier + " " + std::to_string(1000 + c.copier * 37);
          paper.push_back(e);
        } else if (random() % 100 >= 15) {
          model.push_back(e);
        }
      }
      for (int k = 0; k < 6; ++k) {
        EntityFacts e = line(static_cast<double>(random() % 200), static_cast<double>(random() % 100),
                             static_cast<double>(random() % 200), static_cast<double>(random() % 100), "Outline");
        handOut(d, e, random);
        model.push_back(e);
      }
      finish(d, std::move(model), std::move(paper));
      return d;
    }
    // A paste into a fresh drawing, days later, in the clipboard's order.
    DrawingEvidence d = fresh(c.copier, source.facts.created->unixMs + (24 + static_cast<std::int64_t>(random() % 96)) * 60 * kMinute, random);
    auto uniform = [&](double lo, double hi) { return lo + (hi - lo) * static_cast<double>(random() % 1000001) / 1e6; };
    Placement at;
    if (c.kind != CopyKind::kPasted) {
      at.dx = std::round(uniform(-500, 500) * 100) / 100;
      at.dy = std::round(uniform(-500, 500) * 100) / 100;
    }
    const double degree = std::numbers::pi / 180;
    if (c.kind == CopyKind::kTurned)
      at.turn = random() % 2 ? static_cast<double>(1 + random() % 3) * 90 * degree : uniform(1, 359) * degree;
    if (c.kind == CopyKind::kMirrored) {
      at.mirror = true;
      if (random() % 2) at.turn = static_cast<double>(random() % 4) * 90 * degree;
    }
    if (c.kind == CopyKind::kScaled) {
      const double factors[] = {0.5, 1.5, 2, 2.5, 3, 4};
      at.scale = random() % 3 ? factors[random() % 6] : uniform(0.5, 4);
      if (random() % 2) at.turn = uniform(0, 360) * degree;
    }
    std::vector<EntityFacts> model, pasted;
    for (const auto& original : source.entities) {
      if (original.paperSpace) continue;
      EntityFacts e = placed(original, at);
      if (c.kind == CopyKind::kPastedRenamed) {
        e.layer = "L-" + std::to_string(e.layer.size()) + "-" + copier;
        if (e.text) e.text = "Note by " + copier + ": " + std::to_string(e.text->size());
      }
      if (c.kind == CopyKind::kExploded && e.kind == "AcDbPolyline") {
        for (auto& piece : exploded(e)) pasted.push_back(std::move(piece));
        continue;
      }
      pasted.push_back(std::move(e));
    }
    std::shuffle(pasted.begin(), pasted.end(), random);
    if (c.kind == CopyKind::kPartial) {
      // Half the source or more, beside the first part of the copier's own work.
      const double share = uniform(0.5, 0.9);
      pasted.resize(static_cast<std::size_t>(std::ceil(share * static_cast<double>(pasted.size()))));
      DrawingEvidence own = honest(c.copier);
      for (auto& e : own.entities) {
        if (e.paperSpace) continue;
        if (static_cast<double>(model.size()) >= (1 - share) * static_cast<double>(own.entities.size())) break;
        handOut(d, e, random);
        model.push_back(std::move(e));
      }
    }
    for (auto& e : pasted) {
      // A paste hands out consecutive handles.
      e.handle = (*d.facts.handseed)++;
      model.push_back(std::move(e));
    }
    d.facts.editingMs = (4 + static_cast<std::int64_t>(random() % 12)) * kMinute;
    d.facts.updated = Instant{d.facts.created->unixMs + *d.facts.editingMs, true};
    finish(d, std::move(model), paperOf(d, c.copier, random));
    return d;
  }
};

}  // namespace

const char* copyKindName(CopyKind kind) {
  switch (kind) {
    case CopyKind::kFileCopy: return "file copy";
    case CopyKind::kCopyEdited: return "copy then edited";
    case CopyKind::kPasted: return "pasted into a fresh drawing";
    case CopyKind::kPastedMoved: return "pasted and moved";
    case CopyKind::kPastedRenamed: return "pasted with layers and texts renamed";
    case CopyKind::kTurned: return "pasted and turned";
    case CopyKind::kMirrored: return "pasted and mirrored";
    case CopyKind::kScaled: return "pasted and scaled";
    case CopyKind::kExploded: return "pasted with polylines exploded";
    case CopyKind::kPartial: return "part pasted beside own work";
  }
  return "";
}

bool ClassModel::linked(int a, int b) const {
  for (const auto& g : groups)
    if (std::find(g.begin(), g.end(), a) != g.end() && std::find(g.begin(), g.end(), b) != g.end()) return true;
  return false;
}

ClassPlan typicalClass(unsigned seed) {
  ClassPlan plan;
  plan.seed = seed;
  plan.students = 24;
  plan.copies = {{CopyKind::kFileCopy, 0, 1},    {CopyKind::kCopyEdited, 2, 3},  {CopyKind::kPasted, 4, 5},
                 {CopyKind::kPastedMoved, 6, 7}, {CopyKind::kPastedRenamed, 8, 9}, {CopyKind::kFileCopy, 10, 11},
                 {CopyKind::kCopyEdited, 10, 12}};
  plan.sameSecond = {13, 14, 15, 16};
  plan.labAccount = {17, 18, 19, 20};
  return plan;
}

ClassPlan everyKindClass(unsigned seed) {
  ClassPlan plan;
  plan.seed = seed;
  plan.students = 27;
  plan.copies = {{CopyKind::kFileCopy, 0, 1},   {CopyKind::kCopyEdited, 2, 3}, {CopyKind::kPasted, 4, 5},
                 {CopyKind::kPastedMoved, 6, 7}, {CopyKind::kPastedRenamed, 8, 9}, {CopyKind::kTurned, 10, 11},
                 {CopyKind::kMirrored, 12, 13}, {CopyKind::kScaled, 14, 15}, {CopyKind::kExploded, 16, 17},
                 {CopyKind::kPartial, 18, 19},   {CopyKind::kTurned, 20, 21},   {CopyKind::kPastedMoved, 21, 22}};
  plan.polylineStudents = {16};
  plan.nearlyBlank = {23};
  plan.sameSecond = {24, 25};
  plan.labAccount = {25, 26};
  return plan;
}

ClassModel makeClass(const ClassPlan& requested) {
  // Plans for more students than the class has are cut to the class.
  ClassPlan plan = requested;
  auto inClass = [&](int k) { return k >= 0 && k < plan.students; };
  std::erase_if(plan.copies, [&](const CopyPlan& c) { return !inClass(c.source) || !inClass(c.copier); });
  std::erase_if(plan.sameSecond, [&](int k) { return !inClass(k); });
  std::erase_if(plan.labAccount, [&](int k) { return !inClass(k); });
  std::erase_if(plan.polylineStudents, [&](int k) { return !inClass(k); });
  std::erase_if(plan.nearlyBlank, [&](int k) { return !inClass(k); });
  const Builder builder(plan);
  ClassModel model;
  model.templateDrawing = builder.templateDrawing;
  model.drawings.resize(static_cast<std::size_t>(plan.students));
  std::vector<bool> copier(static_cast<std::size_t>(plan.students), false);
  for (const auto& c : plan.copies) copier[static_cast<std::size_t>(c.copier)] = true;
  for (int k = 0; k < plan.students; ++k)
    if (!copier[static_cast<std::size_t>(k)]) model.drawings[static_cast<std::size_t>(k)] = builder.honest(k);
  for (const auto& c : plan.copies)
    model.drawings[static_cast<std::size_t>(c.copier)] =
        builder.copy(c, model.drawings[static_cast<std::size_t>(c.source)]);
  // Groups: students linked by copying, directly or through a common source.
  std::vector<int> root(static_cast<std::size_t>(plan.students));
  for (int k = 0; k < plan.students; ++k) root[static_cast<std::size_t>(k)] = k;
  auto find = [&](int x) {
    while (root[static_cast<std::size_t>(x)] != x) x = root[static_cast<std::size_t>(x)];
    return x;
  };
  for (const auto& c : plan.copies) root[static_cast<std::size_t>(find(c.copier))] = find(c.source);
  for (int k = 0; k < plan.students; ++k) {
    bool inCopy = false;
    for (const auto& c : plan.copies) inCopy = inCopy || c.copier == k || c.source == k;
    if (!inCopy) continue;
    auto it = std::find_if(model.groups.begin(), model.groups.end(),
                           [&](const std::vector<int>& g) { return find(g.front()) == find(k); });
    if (it == model.groups.end()) model.groups.push_back({k});
    else it->push_back(k);
  }
  return model;
}

ClassModel makeLargeClass(int students, int entities, unsigned seed) {
  ClassPlan plan;
  plan.seed = seed;
  plan.students = students;
  plan.exerciseEntities = std::max(10, entities - 20);
  plan.titleBlockEntities = 16;
  const CopyKind kinds[] = {CopyKind::kFileCopy, CopyKind::kCopyEdited, CopyKind::kPasted, CopyKind::kPastedMoved,
                            CopyKind::kPastedRenamed};
  for (int k = 49, n = 0; k < students; k += 50, ++n) plan.copies.push_back({kinds[n % 5], k - 1, k});
  return makeClass(plan);
}

}  // namespace veldra::testing
