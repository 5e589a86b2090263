#pragma once

// Reads the summary of a DWG drawing: its format version, its stored creation
// date and the top-level entities of model space and of every paper-space
// layout. Standard C++ only. Nothing here throws: every failure comes back as
// a Status.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <vector>

namespace veldra::dwg {

enum class ErrorKind {
  kNone = 0,
  kIo,           // the file cannot be opened or read
  kNotDwg,       // no DWG signature at offset 0
  kUnsupported,  // a DWG version this reader does not read
  kTruncated,    // data ends before a structure it announces
  kCorrupt,      // sizes, offsets, checks or maps that cannot be right
};

struct [[nodiscard]] Status {
  ErrorKind kind = ErrorKind::kNone;
  std::string message;     // one line, for a person
  std::uint64_t offset = 0;  // where in the file or section, when known
  std::string section;     // which section, when known

  bool ok() const { return kind == ErrorKind::kNone; }
  static Status Ok() { return {}; }
};

// Damage found in a drawing that could still be read: a checksum that does
// not match, an entity chain that ends early. The facts read from such a
// drawing are doubtful and must not be trusted silently.
struct Damage {
  std::string section;       // which section, when known
  std::uint64_t offset = 0;  // where in the file or section, when known
  std::string message;       // one line, for a person
};

// Something worth a word about a drawing that is no damage: its facts stand
// as read. A code page this reader does not know (its texts read as the
// common one), creation dates that disagree by more than a time zone.
struct Note {
  std::string section;       // which section, when known
  std::uint64_t offset = 0;  // where in the file or section, when known
  std::string message;       // one line, for a person
};

// A date as the drawing stores it: whole Julian days and milliseconds of the day.
struct StoredDate {
  std::int32_t days = 0;
  std::int32_t milliseconds = 0;
  double julian() const { return days + milliseconds / 86400000.0; }
};

enum class Space { kModel, kPaper };

struct Entity {
  std::string className;   // as the automation interface names it, e.g. "AcDbLine"
  std::uint64_t handle = 0;
  Space space = Space::kModel;
  bool hasHandle = true;   // false only in old drawings saved without handles
};

struct Summary {
  std::string version;     // the six bytes at offset 0, e.g. "AC1015"
  StoredDate created;      // header variable TDCREATE
  std::vector<Entity> entities;  // model space first, then the layouts
  std::vector<Damage> damage;    // empty for a sound drawing
  std::vector<Note> notes;       // no damage, but worth telling

  bool doubtful() const { return !damage.empty(); }
};

// Reads from bytes in memory; `out` is filled only as far as reading got.
// A drawing that is read through despite damage comes back ok(), with the
// damage listed in `out.damage`.
Status readSummary(std::span<const std::uint8_t> data, Summary& out);

// Looks at the file's first bytes and size; reads it whole only when they
// are those of a drawing this reader reads; then as above.
Status readSummaryFile(const std::filesystem::path& file, Summary& out);

// The most memory reading one drawing may take, in bytes: the file itself,
// the data decompressed from it and the object map built from it, counted
// together. A larger file is refused unread (kUnsupported); a drawing whose
// data would decompress to more is refused as damaged (kCorrupt).
inline constexpr std::uint64_t kMaxDrawingCost = std::uint64_t{256} << 20;

// The most reading a drawing of `fileSize` bytes may cost: compressed data is
// allowed to expand only so far, and never past kMaxDrawingCost.
std::uint64_t costBound(std::uint64_t fileSize);

// What a look at a file tells before it is read.
struct FileLook {
  std::string version;       // the six bytes at offset 0, when the file has them
  std::uint64_t size = 0;    // bytes
  std::uint64_t cost = 0;    // costBound(size): what reading it may cost at most
};

// Opens the file and reads only its first bytes (64 KiB at most, see
// DrawingFile). Gives the failure the full
// read would give for a file that cannot be opened, is no drawing, is of a
// version this reader does not read or is larger than kMaxDrawingCost; ok()
// for a file worth reading.
Status lookAtFile(const std::filesystem::path& file, FileLook& out);

// Upper-case hexadecimal without leading zeros ("0" for 0).
std::string handleText(std::uint64_t handle);
// The same, added at the end of `text`.
void appendHandleText(std::string& text, std::uint64_t handle);

// True for AC1015 and later, whose stored dates are universal time; older
// versions store the local time of the machine that saved the drawing.
bool storesUniversalTime(const std::string& version);

}  // namespace veldra::dwg
