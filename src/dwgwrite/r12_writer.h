#pragma once

// A small writer of drawings older than R13 (AC1.40, AC1.50, AC2.10, AC1001 to
// AC1009), for veldra-dwgwrite and tests of the reader: a header with the
// dates and the handle settings, a layer and a block table, and entities of many kinds in model
// and paper space. It writes the layout public descriptions of the old format
// give: each release's header as long as its count of header variables, the
// entities' common fields in their stored order. It is no proof that real
// drawings of those releases look the same.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dwgwrite/dwg_writer.h"

namespace veldra::dwgwrite {

struct OldDate {
  std::int32_t days = 0;
  std::int32_t milliseconds = 0;
};

struct OldEntitySpec {
  enum class Kind {
    kLine, kPoint, kCircle, kArc, kText, kTrace, kSolid, kShape, kInsert, kAttributeDefinition,
    kPolyline, kFace, kDimension, kViewport, kLine3d,
  };
  Kind kind = Kind::kLine;
  bool paper = false;          // from AC1009 on
  std::uint64_t handle = 0;    // stored when the drawing keeps handles and this is not 0
  std::uint16_t layer = 0;     // index into OldDrawingSpec::layers
  // The kind's numbers: a line x1 y1 z1 x2 y2 z2; a point x y z; a circle
  // x y radius; an arc x y radius start end; a text or attribute definition
  // x y height; an insert x y scale-x scale-y rotation; a trace, solid or
  // face its corners (x y, or x y z for a face); a 3D line x1 y1 z1 x2 y2 z2,
  // each z stored only when not 0; others need none.
  std::vector<double> numbers;
  std::string text;            // a text's or attribute definition's text
  std::uint16_t block = 0;     // an insert's index into OldDrawingSpec::blocks
  std::uint16_t columns = 1;   // an insert's array (more than one: MINSERT)
  std::uint16_t rows = 1;
  std::uint8_t flags = 0;      // a polyline's flags (8: 3D, 16: mesh, 64: face mesh, 2 or 4: fitted); a dimension's type
  std::vector<std::array<double, 3>> vertices;  // a polyline's x y bulge
  double elevation = 0.0;      // stored (flagged) when not 0
  std::vector<std::uint8_t> extendedData;  // from AC1009 on, for a paper-space entity: stored when not empty
  bool erased = false;         // kept in the file with the erased bit
  bool viaExtras = false;      // from AC1009 on: stored in the extra section behind a jump
};

struct OldDrawingSpec {
  std::string version = "AC1009";
  OldDate created{2448000, 36000000};
  OldDate updated{2448001, 0};
  OldDate editingTime{0, 1500000};
  OldDate userTimer{0, 1500000};
  bool handling = true;        // HANDLING, from AC1006 on
  std::uint64_t handseed = 0;  // 0: one past the highest entity handle
  std::uint16_t codePage = 30; // AC1009
  std::vector<std::string> layers{"0"};
  std::vector<std::string> blocks;
  std::vector<OldEntitySpec> entities;
};

// The drawing's bytes; empty for a version the writer does not know.
std::vector<std::uint8_t> writeOldDrawing(const OldDrawingSpec& wanted);

// The versions writeOldDrawing writes, oldest first.
const std::vector<std::string>& knownOldVersions();

// A plan of the newer writer as an old drawing of plan.version (one of
// knownOldVersions()), for writeDrawing: LINE, POINT, CIRCLE, ARC, TEXT and
// LWPOLYLINE (as a polyline of vertices) entities with the plan's geometry
// or the writer's placed geometry, on the plan's layers, with its dates
// (stored from AC1001 on), handles (from AC1006 on), paper space (AC1009)
// and handle seed; texts in code page 1252. Returns "" or why the plan does
// not fit the version (then `out` is unchanged): an entity kind, a height
// or paper space the version lacks, block definitions, a preview, a layer
// name over 31 bytes, a text too long for an entity. Identities, summary
// information and colours, which these versions do not store, are left out.
std::string oldDrawingOf(const DrawingSpec& plan, OldDrawingSpec& out);

}  // namespace veldra::dwgwrite
