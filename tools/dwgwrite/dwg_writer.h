#pragma once

// Writes small DWG drawings in the AC1015 (R2000) format: a chosen creation
// date and a chosen list of top-level entities with chosen handles, in model
// space and paper space. Used by tests and by the sample workspace to make
// drawings for any scenario (copies sharing handles and dates, near-copies,
// empty drawings, old drawings). Standard C++ only; nothing here throws.
//
// Handles: the caller's entity handles must be non-zero, unique and below
// 0xFFFFFFFFFFFFFFFF (the drawing must be able to name a next free handle).
// The writer needs about two dozen handles for its own tables, dictionaries
// and block records; it takes the lowest handles from 1 upwards that no
// entity uses, so a caller's handle never collides with the writer's own
// objects. The same entity handles therefore always give the same file.
//
// What the drawing holds besides the entities: the block control with the
// *Model_Space and *Paper_Space block records and their BLOCK/ENDBLK
// entities, layer "0", text style "Standard", the linetypes ByBlock,
// ByLayer and Continuous, application "ACAD", dimension style "Standard",
// viewport "*Active", empty view, UCS and viewport-entity controls, the named
// object dictionary with ACAD_GROUP (empty), ACAD_LAYOUT (layouts "Model"
// and "Layout1", one per space) and ACAD_MLINESTYLE ("Standard"). There is
// no preview image, no plot settings and no plot style dictionary.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace veldra::dwgwrite {

struct EntitySpec {
  // "LINE", "CIRCLE", "ARC", "POINT" or "TEXT" (upper or lower case).
  std::string type;
  std::uint64_t handle = 0;
  bool paperSpace = false;
};

struct DrawingSpec {
  // TDCREATE as the drawing stores it (universal time for AC1015): whole
  // Julian days and milliseconds of the day (0 to 86399999). TDUPDATE is
  // written with the same value.
  std::int32_t days = 0;
  std::int32_t milliseconds = 0;
  // Model-space entities keep their order among themselves, as do the
  // paper-space ones; the spaces may be mixed in this list.
  std::vector<EntitySpec> entities;
};

// The entity types the writer knows, as upper-case words.
const std::vector<std::string>& knownEntityTypes();

// Fills `out` with the drawing's bytes. Returns "" on success, else one line
// saying why the plan was refused (then `out` is left empty).
std::string writeDrawing(const DrawingSpec& plan, std::vector<std::uint8_t>& out);

// As above, then writes the file whole (through a temporary file beside it
// that replaces the target only when complete).
std::string writeDrawingFile(const std::filesystem::path& file, const DrawingSpec& plan);

}  // namespace veldra::dwgwrite
