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

struct Status {
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

  bool doubtful() const { return !damage.empty(); }
};

// Reads from bytes in memory; `out` is filled only as far as reading got.
Status readSummary(std::span<const std::uint8_t> data, Summary& out);

// Reads the file whole, then as above.
Status readSummaryFile(const std::filesystem::path& file, Summary& out);

// Upper-case hexadecimal without leading zeros ("0" for 0).
std::string handleText(std::uint64_t handle);

// True for AC1015 and later, whose stored dates are universal time; older
// versions store the local time of the machine that saved the drawing.
bool storesUniversalTime(const std::string& version);

}  // namespace veldra::dwg
