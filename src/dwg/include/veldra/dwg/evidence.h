#pragma once

// The evidence a drawing carries beyond its summary: more header variables,
// the summary information, the preview picture and the geometry of its
// top-level entities. Read only when asked for, so that the plain summary
// read stays as cheap as it is. Standard C++ only; nothing here throws.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "veldra/dwg/reader.h"

namespace veldra::dwg {

// Section AcDb:SummaryInfo (R2004 and later), texts in UTF-8.
struct SummaryInfo {
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

// The preview picture as the drawing stores it. A BMP is a device-independent
// bitmap without its 14-byte file header.
struct Preview {
  PreviewFormat format = PreviewFormat::kNone;
  int width = 0;   // pixels; 0 when unknown (WMF)
  int height = 0;
  std::vector<std::uint8_t> bytes;
};

// The preview as a file an image viewer opens: a PNG or WMF as stored, a BMP
// with its 14-byte file header added; empty when there is no picture.
std::vector<std::uint8_t> previewFileBytes(const Preview& preview);

// The file name extension of such a file (".png", ".bmp", ".wmf"); "" for none.
const char* previewExtension(PreviewFormat format);

// Header variables after TDCREATE and the other evidence of the drawing as a
// whole. A field the drawing's version does not store stays empty.
struct Evidence {
  std::optional<StoredDate> updated;      // TDUPDATE
  std::optional<StoredDate> editingTime;  // TDINDWG (days and milliseconds of a duration)
  std::optional<StoredDate> userTimer;    // TDUSRTIMER
  std::optional<std::uint64_t> handseed;  // HANDSEED, the next free handle
  std::optional<std::string> fingerprintGuid;  // FINGERPRINTGUID, braces included
  std::optional<std::string> versionGuid;      // VERSIONGUID, braces included
  std::optional<SummaryInfo> summaryInfo;      // R2004 and later
  Preview preview;
  // Why a drawing that points to a preview shows none: the picture is
  // missing, misplaced or broken. A note, not damage: the drawing's other
  // facts do not depend on it. Empty when the preview was read or none is
  // stored.
  std::string previewNote;
};

// The layer and the geometry of one top-level entity. `numbers` follow the
// kind's own order (a line: start x y z, end x y z; a circle: centre x y z,
// radius; a light-weight polyline: x y bulge per vertex, a closed one with
// its first vertex again at the end, so that its closing side is drawn;
// ...); other kinds leave them empty. `text` holds a text entity's
// text or a block reference's block name, in UTF-8.
struct EntityGeometry {
  std::string layer;
  std::vector<double> numbers;
  std::optional<std::string> text;
};

struct ReadRequest {
  bool evidence = false;  // Evidence, the preview picture included
  bool geometry = false;  // one EntityGeometry per summary entity
  // DXF drawings read too; when false, a DXF file is turned away as no DWG
  // drawing, as it is by a reader of DWG alone.
  bool exchangeForm = true;
  // With geometry: the named blocks' own entities, for drawing the block
  // references. A block that cannot be listed is left out of `blocks`
  // without damage: its references are drawn as a mark.
  bool blocks = false;
};

// A named block's own entities (not model space, not a layout).
struct BlockContents {
  std::string name;
  std::vector<std::string> kinds;         // each entity's class name
  std::vector<EntityGeometry> geometry;   // parallel to kinds
};

struct Drawing {
  Summary summary;
  Evidence evidence;                      // when requested
  std::vector<EntityGeometry> geometry;   // when requested: parallel to summary.entities
  std::vector<BlockContents> blocks;      // when requested
};

// Reads what `request` asks for besides the summary; `out` is filled only as
// far as reading got.
Status readDrawing(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out);
Status readDrawingFile(const std::filesystem::path& file, const ReadRequest& request, Drawing& out);

// A drawing's file opened once for both the look at its start and the
// reading: open() reads the first bytes (the whole of most drawings) and
// tells, as lookAtFile does, whether the file is worth reading; read() then
// reads the rest, if any, and the drawing, as readDrawingFile does, and
// closes the file. A file not worth reading is never read further. Opened on
// one thread, it may be read on another.
class DrawingFile {
 public:
  // The bytes of a file the caller has opened, read in order from its start.
  class Bytes {
   public:
    virtual ~Bytes() = default;
    // Up to `count` bytes from where the last read ended, fewer only at the
    // end; nothing when the read failed.
    virtual std::optional<std::size_t> read(std::uint8_t* into, std::size_t count) = 0;
  };

  DrawingFile();
  ~DrawingFile();
  DrawingFile(DrawingFile&&) noexcept;
  DrawingFile& operator=(DrawingFile&&) noexcept;

  Status open(const std::filesystem::path& file);
  // The same, for a caller the system has just told what the file is and
  // how large (one call where the reader alone would ask twice).
  Status open(const std::filesystem::path& file, std::filesystem::file_type type, std::uint64_t size);
  // The same for a file the caller has opened and asked what it is and how
  // large; `bytes` is kept until the reading, and not read when `type` is
  // no file. Nothing in `bytes` is a file that could not be opened.
  Status open(std::unique_ptr<Bytes> bytes, std::filesystem::file_type type, std::uint64_t size);
  // The version, the size and what reading may cost, as far as the look got.
  const FileLook& look() const { return look_; }
  // After a look that failed (or without one), its failure, with the
  // version it found.
  Status read(const ReadRequest& request, Drawing& out);
  // The same, showing `whole` the file's bytes once all are read, before
  // the drawing is read from them (a caller that digests the file need not
  // open it again). Not called when the file could not be read whole.
  Status read(const ReadRequest& request, Drawing& out,
              const std::function<void(std::span<const std::uint8_t>)>& whole);

 private:
  struct Opened;
  Status openAs(const std::filesystem::path* file, std::unique_ptr<Bytes> bytes, std::filesystem::file_type type,
                std::optional<std::uint64_t> size);
  std::unique_ptr<Opened> opened_;
  FileLook look_;
  Status status_ = Status{ErrorKind::kIo, "cannot open the file", 0, {}};
};

}  // namespace veldra::dwg
