// The dispatcher: checks the signature and version once, hands the file to
// the container reader of its family, then runs the section readers: those
// of the summary always, those of the evidence and geometry when asked.

#include <algorithm>
#include <string>
#include <vector>
#include <memory>
#include <fstream>
#include <optional>

#include "dxf_reader.h"
#include "format.h"
#include "r12_format.h"

namespace veldra::dwg {
namespace {

constexpr std::size_t kVersionSize = 6;
constexpr std::size_t kCodePageOffset = 0x13;
// Compressed data may expand at most this many times (a long length adds
// 255 bytes per input byte), plus a fixed allowance for small files.
constexpr std::uint64_t kMaxExpansion = 256;
constexpr std::uint64_t kCostAllowance = std::uint64_t{4} << 20;

bool isDigit(std::uint8_t c) { return c >= '0' && c <= '9'; }

// Prints a version that may hold any bytes.
std::string printable(std::string_view version) {
  std::string text;
  for (char c : version) text += (c >= 0x20 && c < 0x7F) ? c : '?';
  return text;
}

std::string mebibytes(std::uint64_t bytes) { return std::to_string((bytes + (1u << 20) - 1) >> 20) + " MiB"; }

// The signature and version at the start of a file of `fileSize` bytes;
// sets `version` when there is one, and `old` for a drawing older than R13.
Status checkStart(std::span<const std::uint8_t> start, std::uint64_t fileSize, std::string& version,
                  detail::Release& release, std::optional<detail::OldRelease>& old) {
  using namespace detail;
  old.reset();
  const bool early = isEarlySignature(start);
  if (!early && (start.size() < kVersionSize || start[0] != 'A' || start[1] != 'C' || !isDigit(start[2]) ||
                 !isDigit(start[3]) || !isDigit(start[4]) || !isDigit(start[5])))
    return makeError(ErrorKind::kNotDwg, "not a DWG drawing (no version signature at the start)");
  version.assign(start.begin(), start.begin() + kVersionSize);
  if (OldRelease known{}; oldReleaseOf(version, known)) {
    old = known;
  } else if (!releaseOf(version, release)) {
    if (early || version < "AC1012")
      return makeError(ErrorKind::kUnsupported, "unsupported DWG version " + printable(version) + " (older than R13)");
    return makeError(ErrorKind::kUnsupported, "unsupported DWG version " + printable(version));
  }
  if (fileSize > kMaxDrawingCost)
    return makeError(ErrorKind::kUnsupported, "the drawing is " + mebibytes(fileSize) + ", larger than the " +
                                                  mebibytes(kMaxDrawingCost) + " one drawing may take");
  return Status::Ok();
}

Status checkDxfSize(std::uint64_t fileSize) {
  if (fileSize > kMaxDrawingCost)
    return detail::makeError(ErrorKind::kUnsupported, "the drawing is " + mebibytes(fileSize) + ", larger than the " +
                                                          mebibytes(kMaxDrawingCost) + " one drawing may take");
  return Status::Ok();
}

}  // namespace

std::uint64_t costBound(std::uint64_t fileSize) {
  if (fileSize >= kMaxDrawingCost) return kMaxDrawingCost;
  return std::min(kMaxDrawingCost, fileSize * kMaxExpansion + kCostAllowance);
}

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
  // The exchange form is told by its content, whatever the file is called.
  if (looksLikeDxf(data)) {
    if (!request.exchangeForm)
      return detail::makeError(ErrorKind::kNotDwg, "not a DWG drawing (no version signature at the start)");
    if (Status s = checkDxfSize(data.size()); !s.ok()) return s;
    return readDxf(data, request, drawing);
  }
  Release release{};
  std::optional<OldRelease> old;
  if (Status s = checkStart(data.first(std::min(data.size(), kVersionSize)), data.size(), out.version, release, old);
      !s.ok())
    return s;
  if (old) return readOldDrawing(data, *old, request, drawing);

  Sections sections;
  sections.version = out.version;
  sections.wantEvidence = request.evidence;
  // `data` outlives the sections: the objects are read where they lie, and
  // their pages decompressed as the readers reach them.
  sections.inPlace = true;
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
  out.damage = std::move(sections.damage);
  // A page of the preview that fails its check spoils only the picture: it
  // is left out with a note, and the drawing's facts are not doubted.
  std::string previewFault;
  std::erase_if(out.damage, [&](const Damage& d) {
    if (d.section != kPreviewName) return false;
    if (previewFault.empty()) previewFault = d.message;
    return true;
  });
  if (!s.ok()) return s;

  if (s = readHeaderSection(sections, release, out.created); !s.ok()) return s;
  ClassTable classes;
  if (s = readClassesSection(sections, release, classes); !s.ok()) return s;
  ObjectMap map;
  if (s = readObjectMap(sections, map, out.damage); !s.ok()) return s;
  if (s = readEntities(sections, release, classes, map, out.entities, out.damage); !s.ok()) return s;
  if (request.evidence) {
    readEvidence(data, sections, release, drawing);
    if (!previewFault.empty()) {
      drawing.evidence.preview = Preview{};
      drawing.evidence.previewNote = previewFault;
    }
  }
  if (request.geometry) {
    readGeometry(sections, release, map, out.entities, drawing.geometry, out.damage);
    if (request.blocks)
      readBlockContents(sections, release, classes, map, out.entities, drawing.geometry, drawing.blocks);
  }
  return Status::Ok();
}

namespace {

// Opens `file` with no buffer of its own (what is read goes from the system
// straight to where it is wanted, once), reads its first bytes (at most
// kDxfLookSize) into `start` and tells what they and its size show of it.
Status openAndLook(const std::filesystem::path& file, std::ifstream& in, std::uint8_t* start, std::size_t& wanted,
                   FileLook& out) {
  out = FileLook{};
  wanted = 0;
  in.rdbuf()->pubsetbuf(nullptr, 0);
  in.open(file, std::ios::binary | std::ios::ate);
  if (!in) return makeError(ErrorKind::kIo, "cannot open the file");
  const std::streamoff end = in.tellg();
  if (end < 0) return makeError(ErrorKind::kIo, "cannot read the file");
  out.size = static_cast<std::uint64_t>(end);
  out.cost = costBound(out.size);
  in.seekg(0);
  wanted = static_cast<std::size_t>(std::min<std::uint64_t>(out.size, kDxfLookSize));
  if (!in.read(reinterpret_cast<char*>(start), static_cast<std::streamsize>(wanted)))
    return makeError(ErrorKind::kIo, "cannot read the file");
  const std::span<const std::uint8_t> look(start, wanted);
  if (looksLikeDxf(look)) {
    out.version = dxfVersionHint(look);
    return checkDxfSize(out.size);
  }
  Release release{};
  std::optional<OldRelease> old;
  return checkStart(look.first(std::min(wanted, kVersionSize)), out.size, out.version, release, old);
}

}  // namespace

Status readFile(const std::filesystem::path& file, FileBytes& bytes, std::string& version) {
  bytes = FileBytes{};
  std::ifstream in;
  std::uint8_t start[kDxfLookSize];
  std::size_t wanted = 0;
  FileLook look;
  // The rest follows only for a drawing worth reading.
  if (Status s = openAndLook(file, in, start, wanted, look); !s.ok()) {
    version = look.version;
    return s;
  }
  const auto size = static_cast<std::size_t>(look.size);
  auto data = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(size, 1));
  std::copy_n(start, wanted, data.get());
  if (size > wanted && !in.read(reinterpret_cast<char*>(data.get() + wanted), static_cast<std::streamsize>(size - wanted)))
    return makeError(ErrorKind::kIo, "cannot read the file");
  bytes.data = std::move(data);
  bytes.size = size;
  return Status::Ok();
}

}  // namespace detail

Status lookAtFile(const std::filesystem::path& file, FileLook& out) {
  std::ifstream in;
  std::uint8_t start[detail::kDxfLookSize];
  std::size_t wanted = 0;
  return detail::openAndLook(file, in, start, wanted, out);
}

Status readSummaryFile(const std::filesystem::path& file, Summary& out) {
  out = Summary{};
  detail::FileBytes bytes;
  if (Status s = detail::readFile(file, bytes, out.version); !s.ok()) return s;
  return readSummary(bytes.bytes(), out);
}

}  // namespace veldra::dwg
