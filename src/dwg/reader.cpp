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

}  // namespace detail

namespace {

// The first read takes this much: the whole of most drawings, so that a
// look and a reading cost one read of the file.
constexpr std::size_t kFirstRead = std::size_t{64} << 10;

// What the first bytes of a file of `size` bytes show of it.
Status lookAtStart(std::span<const std::uint8_t> start, std::uint64_t size, FileLook& out) {
  out.size = size;
  out.cost = costBound(size);
  const auto look = start.first(std::min(start.size(), detail::kDxfLookSize));
  if (detail::looksLikeDxf(look)) {
    out.version = detail::dxfVersionHint(look);
    return checkDxfSize(size);
  }
  detail::Release release{};
  std::optional<detail::OldRelease> old;
  return checkStart(look.first(std::min(look.size(), kVersionSize)), size, out.version, release, old);
}

}  // namespace

namespace {

// A file the reader opens itself, through the standard library: no buffer
// of the stream's own, so what is read goes from the system straight to
// where it is wanted, once.
class StreamBytes final : public DrawingFile::Bytes {
 public:
  explicit StreamBytes(const std::filesystem::path& file) {
    in_.rdbuf()->pubsetbuf(nullptr, 0);
    in_.open(file, std::ios::binary);
  }
  bool isOpen() const { return static_cast<bool>(in_); }
  std::optional<std::size_t> read(std::uint8_t* into, std::size_t count) override {
    in_.read(reinterpret_cast<char*>(into), static_cast<std::streamsize>(count));
    if (in_.bad()) return std::nullopt;
    const auto got = static_cast<std::size_t>(in_.gcount());
    in_.clear();
    return got;
  }
  // Where the file ends, the next read left where it was; nothing when the
  // stream cannot tell.
  std::optional<std::uint64_t> size(std::size_t position) {
    std::streambuf& bytes = *in_.rdbuf();
    const auto end = bytes.pubseekoff(0, std::ios::end, std::ios::in);
    const auto back = static_cast<std::streamoff>(position);
    if (end == std::streampos(std::streamoff(-1)) || bytes.pubseekpos(back, std::ios::in) != std::streampos(back))
      return std::nullopt;
    return static_cast<std::uint64_t>(std::streamoff(end));
  }

 private:
  std::ifstream in_;
};

// Reads exactly `count` bytes.
bool readAll(DrawingFile::Bytes& bytes, std::uint8_t* into, std::size_t count) {
  const std::optional<std::size_t> got = bytes.read(into, count);
  return got && *got == count;
}

}  // namespace

struct DrawingFile::Opened {
  std::unique_ptr<Bytes> bytes;
  std::unique_ptr<std::uint8_t[]> data;
  std::size_t capacity = 0;  // bytes `data` holds room for
  std::size_t have = 0;      // bytes of `data` read
};

DrawingFile::DrawingFile() = default;
DrawingFile::~DrawingFile() = default;
DrawingFile::DrawingFile(DrawingFile&&) noexcept = default;
DrawingFile& DrawingFile::operator=(DrawingFile&&) noexcept = default;

Status DrawingFile::open(const std::filesystem::path& file) {
  std::error_code ec;
  return openAs(&file, nullptr, std::filesystem::status(file, ec).type(), std::nullopt);
}

Status DrawingFile::open(const std::filesystem::path& file, std::filesystem::file_type type, std::uint64_t size) {
  return openAs(&file, nullptr, type, size);
}

Status DrawingFile::open(std::unique_ptr<Bytes> bytes, std::filesystem::file_type type, std::uint64_t size) {
  return openAs(nullptr, std::move(bytes), type, size);
}

Status DrawingFile::openAs(const std::filesystem::path* file, std::unique_ptr<Bytes> given,
                           std::filesystem::file_type type, std::optional<std::uint64_t> knownSize) {
  look_ = FileLook{};
  opened_ = std::make_unique<Opened>();
  status_ = [&] {
    // Only a file is opened: a pipe would wait for a writer, a device give
    // bytes without end.
    switch (type) {
      case std::filesystem::file_type::directory: return detail::makeError(ErrorKind::kIo, "a folder, not a file");
      case std::filesystem::file_type::fifo: return detail::makeError(ErrorKind::kIo, "a pipe, not a file");
      case std::filesystem::file_type::socket: return detail::makeError(ErrorKind::kIo, "a socket, not a file");
      case std::filesystem::file_type::block:
      case std::filesystem::file_type::character: return detail::makeError(ErrorKind::kIo, "a device, not a file");
      default: break;
    }
    StreamBytes* stream = nullptr;
    if (file) {
      auto own = std::make_unique<StreamBytes>(*file);
      if (own->isOpen()) stream = own.get();
      else own.reset();
      given = std::move(own);
    }
    if (!given) return detail::makeError(ErrorKind::kIo, "cannot open the file");
    Bytes& in = *(opened_->bytes = std::move(given));
    if (knownSize) {
      // The whole file's room at once, unless it is too large to be read.
      const std::uint64_t size = *knownSize;
      const auto first = static_cast<std::size_t>(std::min<std::uint64_t>(size, kFirstRead));
      opened_->capacity = size <= kMaxDrawingCost ? static_cast<std::size_t>(size) : first;
      opened_->data = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(opened_->capacity, 1));
      if (!readAll(in, opened_->data.get(), first)) return detail::makeError(ErrorKind::kIo, "cannot read the file");
      opened_->have = first;
      return lookAtStart({opened_->data.get(), first}, size, look_);
    }
    opened_->capacity = kFirstRead;
    opened_->data = std::make_unique_for_overwrite<std::uint8_t[]>(kFirstRead);
    const std::optional<std::size_t> got = in.read(opened_->data.get(), kFirstRead);
    if (!got) return detail::makeError(ErrorKind::kIo, "cannot read the file");
    opened_->have = *got;
    std::uint64_t size = opened_->have;
    if (opened_->have == kFirstRead) {
      // More may follow: the size is where the open file ends.
      const std::optional<std::uint64_t> end = stream ? stream->size(opened_->have) : std::nullopt;
      if (!end) return detail::makeError(ErrorKind::kIo, "cannot read the file");
      size = *end;
    }
    return lookAtStart({opened_->data.get(), opened_->have}, size, look_);
  }();
  if (!status_.ok()) opened_.reset();
  return status_;
}

Status DrawingFile::read(const ReadRequest& request, Drawing& out) { return read(request, out, {}); }

Status DrawingFile::read(const ReadRequest& request, Drawing& out,
                         const std::function<void(std::span<const std::uint8_t>)>& whole) {
  out = Drawing{};
  const std::unique_ptr<Opened> opened = std::move(opened_);
  if (!status_.ok() || !opened) {
    out.summary.version = look_.version;
    return status_;
  }
  const auto size = static_cast<std::size_t>(look_.size);
  if (size > opened->have) {
    if (size > opened->capacity) {
      auto data = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      std::copy_n(opened->data.get(), opened->have, data.get());
      opened->data = std::move(data);
    }
    if (!readAll(*opened->bytes, opened->data.get() + opened->have, size - opened->have))
      return detail::makeError(ErrorKind::kIo, "cannot read the file");
  }
  opened->bytes.reset();
  if (whole) whole({opened->data.get(), size});
  return readDrawing({opened->data.get(), size}, request, out);
}

Status lookAtFile(const std::filesystem::path& file, FileLook& out) {
  DrawingFile opened;
  const Status status = opened.open(file);
  out = opened.look();
  return status;
}

Status readSummaryFile(const std::filesystem::path& file, Summary& out) {
  Drawing drawing;
  const Status status = readDrawingFile(file, ReadRequest{}, drawing);
  out = std::move(drawing.summary);
  return status;
}

}  // namespace veldra::dwg
