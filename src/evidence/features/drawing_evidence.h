#pragma once

// What the evidence check knows of one drawing: where it was found, whether
// it could be read, the facts of the drawing as a whole and its top-level
// entities. Built from the reader's result by one function, so that the rest
// of the check never looks at the reader's own types.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "collect/problem_drawing.h"
#include "evidence/features/drawn_picture.h"
#include "sketch/sketch.h"
#include "veldra/dwg/evidence.h"

namespace veldra::evidence {

// A moment as milliseconds since 1970-01-01 00:00 UTC. Drawings older than
// R2000 store the local clock of the machine that saved them: `universal` is
// then false and the value is that local clock read as if it were UTC.
struct Instant {
  std::int64_t unixMs = 0;
  bool universal = true;

  bool operator==(const Instant&) const = default;
};

// A stored date (Julian day and milliseconds of the day) as an instant.
Instant instantOf(const veldra::dwg::StoredDate& date, bool universal);

struct EntityFacts {
  std::string kind;  // the class name, e.g. "AcDbLine"
  std::uint64_t handle = 0;
  bool hasHandle = true;
  bool paperSpace = false;
  std::string layer;
  std::vector<double> numbers;     // in the kind's own order (see fingerprint.h)
  std::optional<std::string> text; // a text's words or a block reference's block name
};

// The facts of a drawing as a whole: all a report needs, without entities.
struct DrawingFacts {
  std::filesystem::path path;      // as visited
  std::filesystem::path name;      // below its location: anna/drawing.dwg
  std::string project;             // empty for the project being judged; else the earlier one
  std::optional<ProblemDrawing> problem;  // why it could not be read, or why its facts are doubtful
  bool readable = false;           // the facts below were read (perhaps in part: see `problem`)
  std::string version;             // AC1015...
  std::optional<Instant> created;  // TDCREATE
  std::optional<Instant> updated;  // TDUPDATE
  std::optional<std::int64_t> editingMs;    // TDINDWG
  std::optional<std::uint64_t> handseed;    // HANDSEED
  std::string fingerprintGuid;     // empty when the drawing does not store one
  std::string versionGuid;
  std::string author;              // summary information, when stored
  std::string lastSavedBy;
  veldra::dwg::Preview preview;
  std::string previewNote;         // why a preview pointed to is not shown; empty otherwise
  std::size_t entityCount = 0;
  DrawnPicture drawnPicture;       // the picture drawn from its entities; empty when none could be
  std::string contentDigest;       // of the file's bytes (see content_digest.h); empty when not taken
};

struct DrawingEvidence {
  DrawingFacts facts;
  std::vector<EntityFacts> entities;
};

// The evidence of a drawing from the reader's full result. `fileSize` tells
// an empty file from other unreadable ones.
DrawingEvidence evidenceFromDrawing(const std::filesystem::path& path, const std::filesystem::path& name,
                                    std::uintmax_t fileSize, const veldra::dwg::Status& status,
                                    const veldra::dwg::Drawing& drawing);

// The drawing's entities as strokes for a picture, the block references
// drawn with the blocks' own entities where they are given.
veldra::sketch::Sketch drawnPictureOf(std::span<const EntityFacts> entities,
                                      std::span<const veldra::sketch::Block> blocks = {});

// Reads a drawing file with everything the check uses and adapts it.
DrawingEvidence readDrawingEvidence(const std::filesystem::path& path, const std::filesystem::path& name);

// A path as UTF-8 text with '/' between its parts (for names below a location).
std::string utf8Name(const std::filesystem::path& path);
// A path as UTF-8 text in the platform's own form (for full paths).
std::string utf8Path(const std::filesystem::path& path);

// How a drawing is shown to the teacher: its name below its location, and
// the earlier project in front when it is not from the project being judged.
std::string displayName(const DrawingFacts& facts);

}  // namespace veldra::evidence
