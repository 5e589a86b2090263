#pragma once

// Writes small DWG drawings for tests and for the sample workspace: a chosen
// format version, chosen dates, identity and editing times, a chosen list of
// top-level entities with chosen handles and geometry, in model space and
// paper space, on named layers, and block definitions that INSERT entities
// refer to. One plan can be written in every version, so that the same
// drawing saved in another version can be modelled. Standard C++ only;
// nothing here throws.
//
// Versions: AC1012 (R13), AC1014 (R14), AC1015 (R2000) in the file layout
// with section locators; AC1018 (R2004), AC1024 (R2010), AC1027 (R2013) and
// AC1032 (R2018) in the paged layout, their pages stored with the literal
// form of the page compression. Every check value is computed as the format
// defines it. The versions before R13 (AC1.40 to AC1009) are written by the
// older writer of r12_writer.h, with what of a plan they can hold.
//
// Handles: the caller's entity handles (top-level and inside blocks) must be
// non-zero, unique and below 0xFFFFFFFFFFFFFFFF. The writer needs about three
// dozen handles for its own tables, dictionaries and block records, one per
// named layer and three per block definition; it takes the lowest handles
// from 1 upwards that no entity uses, so a caller's handle never collides
// with the writer's own objects, and the same plan always gives the same file.
//
// What the drawing holds besides the entities: the block control with the
// *Model_Space and *Paper_Space block records and their BLOCK/ENDBLK
// entities, the named block definitions, layer "0" and the named layers, text
// style "Standard", the linetypes ByBlock, ByLayer and Continuous,
// application "ACAD", dimension style "Standard", viewport "*Active", empty
// view and UCS controls, the named object dictionary with ACAD_GROUP (empty),
// ACAD_MLINESTYLE ("Standard") and, from R2000 on, ACAD_LAYOUT (layouts
// "Model" and "Layout1", one per space). There are no plot settings and no
// plot style dictionary.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace veldra::dwgwrite {

// An entity's own colour. Before R2004 only the index is stored. From R2004
// on a true colour (`rgb`) or a colour of a colour book (`colourObject`, the
// handle of its colour object, with its name and its book's name when not
// empty) replaces the index, and a transparency is stored when not 0.
struct EntityColour {
  std::uint16_t index = 256;  // 256: by layer
  std::optional<std::uint32_t> rgb{};
  std::uint64_t colourObject = 0;
  std::string name{};
  std::string bookName{};
  std::uint32_t transparency = 0;
};

struct EntitySpec {
  // "LINE", "CIRCLE", "ARC", "ELLIPSE", "POINT", "LWPOLYLINE", "TEXT" or
  // "INSERT" (upper or lower case).
  std::string type;
  std::uint64_t handle = 0;
  bool paperSpace = false;  // ignored for the entities of a block definition
  // A layer of DrawingSpec::layers, or "" (or "0") for layer "0".
  std::string layer{};
  // The geometry, in the order a geometry listing prints it:
  //   LINE        start x y z, end x y z
  //   CIRCLE      centre x y z, radius
  //   ARC         centre x y z, radius, start angle, end angle (radians)
  //   ELLIPSE     centre x y z, major axis x y z, axis ratio, start and end parameter
  //   POINT       x y z
  //   LWPOLYLINE  x y bulge for each vertex (at least one vertex)
  //   TEXT        insertion x y, height
  //   INSERT      insertion x y z, scale x y z, rotation
  // Any double is written as given, huge and NaN ones too. When empty, the
  // writer gives the entity simple geometry that differs with its place in
  // its space, and a TEXT the text "VELDRA".
  std::vector<double> numbers{};
  // TEXT: the text, UTF-8. INSERT: the name of the block definition (one of
  // DrawingSpec::blocks). Before R2007 texts are stored in the drawing's code
  // page; from R2007 on as UTF-16.
  std::string text{};
  EntityColour colour{};
};

struct BlockSpec {
  std::string name;                 // unique, not starting with '*'
  std::vector<EntitySpec> entities{};  // in the order the block keeps them
};

// A date or a duration as the drawing stores it: whole days and
// milliseconds (0 to 86399999).
struct Stamp {
  std::int32_t days = 0;
  std::int32_t milliseconds = 0;
};

// The summary information of R2004 and later (AcDb:SummaryInfo), UTF-8.
struct SummaryInfoSpec {
  std::string title;
  std::string subject;
  std::string author;
  std::string keywords;
  std::string comments;
  std::string lastSavedBy;
  std::string revisionNumber;
  std::string hyperlinkBase;
};

enum class PreviewFormat { kNone, kBmp, kPng, kWmf };

// The preview picture, stored as given: a BMP as a device-independent bitmap
// without its 14-byte file header, a PNG or WMF file whole. A PNG needs R2004
// or later, as the older image area has no code for it.
struct PreviewSpec {
  PreviewFormat format = PreviewFormat::kNone;
  std::vector<std::uint8_t> bytes{};
};

struct DrawingSpec {
  // TDCREATE as the drawing stores it: whole Julian days and milliseconds of
  // the day (0 to 86399999). AC1015 and later store universal time, AC1012
  // and AC1014 the local time of the saving machine; the writer stores the
  // value given either way.
  std::int32_t days = 0;
  std::int32_t milliseconds = 0;
  // Model-space entities keep their order among themselves, as do the
  // paper-space ones; the spaces may be mixed in this list.
  std::vector<EntitySpec> entities{};

  // "AC1012", "AC1014", "AC1015", "AC1018", "AC1024", "AC1027" or "AC1032";
  // or one of the versions before R13 (knownOldVersions() in r12_writer.h),
  // which hold less (see oldDrawingOf there).
  std::string version = "AC1015";

  // TDINDWG, the total editing time. Default 0 days, 25 minutes.
  std::optional<Stamp> editingTime{};
  // TDUSRTIMER. Default: the editing time.
  std::optional<Stamp> userTimer{};
  // TDUPDATE, the last save. Default: TDCREATE plus the editing time.
  std::optional<Stamp> updated{};
  // HANDSEED, the next free handle. Default: one past the highest handle used.
  std::optional<std::uint64_t> handseed{};
  // FINGERPRINTGUID and VERSIONGUID (AC1015 and later), braces included, as
  // stored. Default: derived from the whole plan, so the same plan gives the
  // same identity and any other plan another one.
  std::optional<std::string> fingerprintGuid{};
  std::optional<std::string> versionGuid{};
  // DWGCODEPAGE as the file header numbers it; 30 is ANSI 1252. Texts other
  // than ASCII need code page 30 before R2007.
  std::uint16_t codePage = 30;
  SummaryInfoSpec summaryInfo{};  // written from R2004 on
  PreviewSpec preview{};
  // Named layers besides "0", in table order; unique, compared ignoring case.
  std::vector<std::string> layers{};
  std::vector<BlockSpec> blocks{};
  // R13 to R2000: leave out the links of an entity whose neighbours in its
  // space have the handles just below and above its own, so that a reader
  // assumes them, as the CAD program does. Off: every link is stored.
  bool assumeNeighbourLinks = false;
};

// The entity types the writer knows, as upper-case words.
const std::vector<std::string>& knownEntityTypes();

// The versions the writer writes, oldest first.
const std::vector<std::string>& knownVersions();

// FINGERPRINTGUID and VERSIONGUID as the writer stores them for `plan` (from
// AC1015 on): the given ones, else those derived from the plan. A copy that
// keeps a drawing's identity while its entities change takes the first.
std::string fingerprintGuidOf(const DrawingSpec& plan);
std::string versionGuidOf(const DrawingSpec& plan);

// Fills `out` with the drawing's bytes. Returns "" on success, else one line
// saying why the plan was refused (then `out` is left empty).
std::string writeDrawing(const DrawingSpec& plan, std::vector<std::uint8_t>& out);

// As above, then writes the file whole (through a temporary file beside it
// that replaces the target only when complete).
std::string writeDrawingFile(const std::filesystem::path& file, const DrawingSpec& plan);

}  // namespace veldra::dwgwrite
