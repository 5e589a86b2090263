// The dispatcher: checks the signature and version once, hands the file to
// the container reader of its family, then runs the section readers: those
// of the summary always, those of the evidence and geometry when asked.

#include <fstream>

#include "format.h"

namespace veldra::dwg {
namespace detail {

bool releaseOf(std::string_view version, Release& out) {
  static constexpr std::pair<std::string_view, Release> kReleases[] = {
      {"AC1012", Release::kR13},   {"AC1014", Release::kR14},   {"AC1015", Release::kR2000},
      {"AC1018", Release::kR2004}, {"AC1021", Release::kR2007}, {"AC1024", Release::kR2010},
      {"AC1027", Release::kR2013}, {"AC1032", Release::kR2018},
  };
  for (const auto& [name, release] : kReleases) {
    if (name == version) {
      out = release;
      return true;
    }
  }
  return false;
}

}  // namespace detail

namespace {

constexpr std::size_t kVersionSize = 6;
constexpr std::size_t kCodePageOffset = 0x13;

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Prints a version that may hold any bytes.
std::string printable(std::string_view version) {
  std::string text;
  for (char c : version) text += (c >= 0x20 && c < 0x7F) ? c : '?';
  return text;
}

}  // namespace

Status readSummary(std::span<const std::uint8_t> data, Summary& out) {
  Drawing drawing;
  const Status status = detail::readParts(data, ReadRequest{}, drawing);
  out = std::move(drawing.summary);
  return status;
}

namespace detail {

Status readParts(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& drawing) {
  drawing = Drawing{};
  Summary& out = drawing.summary;
  if (data.size() < kVersionSize || data[0] != 'A' || data[1] != 'C' || !isDigit(data[2]) || !isDigit(data[3]) ||
      !isDigit(data[4]) || !isDigit(data[5]))
    return makeError(ErrorKind::kNotDwg, "not a DWG drawing (no version signature at the start)");
  const std::string version(data.begin(), data.begin() + kVersionSize);
  out.version = version;

  Release release{};
  if (!releaseOf(version, release)) {
    if (version < "AC1012")
      return makeError(ErrorKind::kUnsupported, "unsupported DWG version " + printable(version) + " (older than R13)");
    return makeError(ErrorKind::kUnsupported, "unsupported DWG version " + printable(version));
  }

  Sections sections;
  sections.version = version;
  sections.wantEvidence = request.evidence;
  // Every family keeps the code page of its 8-bit texts at the same place.
  if (data.size() >= kCodePageOffset + 2)
    sections.codePage = static_cast<std::uint16_t>(data[kCodePageOffset] | (data[kCodePageOffset + 1] << 8));
  Status s;
  if (release <= Release::kR2000) {
    s = readR13Sections(data, sections);
  } else if (release == Release::kR2007) {
    s = readR2007Sections(data, sections);
  } else {
    s = readR2004Sections(data, sections);
  }
  if (!s.ok()) return s;

  if (s = readHeaderSection(sections, release, out.created); !s.ok()) return s;
  ClassTable classes;
  if (s = readClassesSection(sections, release, classes); !s.ok()) return s;
  ObjectMap map;
  if (s = readObjectMap(sections, map); !s.ok()) return s;
  if (s = readEntities(sections, release, classes, map, out.entities); !s.ok()) return s;
  if (request.evidence) readEvidence(data, sections, release, drawing);
  if (request.geometry) return readGeometry(sections, release, map, out.entities, drawing.geometry, out.damage);
  return Status::Ok();
}

}  // namespace detail

Status readSummaryFile(const std::filesystem::path& file, Summary& out) {
  out = Summary{};
  std::ifstream in(file, std::ios::binary | std::ios::ate);
  if (!in) return detail::makeError(ErrorKind::kIo, "cannot open the file");
  const std::streamoff size = in.tellg();
  if (size < 0) return detail::makeError(ErrorKind::kIo, "cannot read the file");
  std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
  in.seekg(0);
  if (!in.read(reinterpret_cast<char*>(bytes.data()), size))
    return detail::makeError(ErrorKind::kIo, "cannot read the file");
  return readSummary(bytes, out);
}

}  // namespace veldra::dwg
