// Reads a drawing's evidence and geometry beside its summary.

#include "format.h"
#include "veldra/dwg/layout.h"

namespace veldra::dwg {
namespace detail {
namespace {

constexpr std::size_t kImageSeekerOffset = 0x0D;

using layout::rawRL;

void note(Drawing& out, const Status& status) {
  out.summary.damage.push_back(Damage{status.section, status.offset, status.message});
}

// A preview that cannot be read is left out with a note of why.
void readPreviewOf(std::span<const std::uint8_t> file, const Sections& sections, Release release, Drawing& out) {
  Status s;
  if (release <= Release::kR2000) {
    // The image seeker: the file offset of the preview block, 0 when none.
    if (file.size() < kImageSeekerOffset + 4) return;
    const std::uint32_t seeker = rawRL(file, kImageSeekerOffset);
    if (seeker == 0) return;
    s = readPreview(file, seeker, 0, out.evidence.preview);
  } else {
    const Sections::Optional& section = sections.preview;
    if (!section.present) return;
    s = section.status.ok() ? readPreview(section.bytes, 0, std::nullopt, out.evidence.preview) : section.status;
  }
  if (!s.ok()) {
    out.evidence.preview = Preview{};
    out.evidence.previewNote = s.message;
  }
}

}  // namespace

void readEvidence(std::span<const std::uint8_t> file, const Sections& sections, Release release, Drawing& out) {
  Status later;
  if (Status s = readHeaderEvidence(sections, release, out.evidence, later); !s.ok()) {
    note(out, s);
  } else if (!later.ok()) {
    note(out, later);
  }
  if (release >= Release::kR2004 && sections.summaryInfo.present) {
    if (!sections.summaryInfo.status.ok()) {
      note(out, sections.summaryInfo.status);
    } else {
      SummaryInfo info;
      const Status s = readSummaryInfo(sections.summaryInfo.bytes, release, sections.codePage, info);
      if (s.ok()) {
        out.evidence.summaryInfo = std::move(info);
      } else {
        note(out, s);
      }
    }
  }
  readPreviewOf(file, sections, release, out);
}

}  // namespace detail

Status readDrawing(std::span<const std::uint8_t> data, const ReadRequest& request, Drawing& out) {
  return detail::readParts(data, request, out);
}

Status readDrawingFile(const std::filesystem::path& file, const ReadRequest& request, Drawing& out) {
  DrawingFile opened;
  if (Status looked = opened.open(file); !looked.ok()) {
    out = Drawing{};
    out.summary.version = opened.look().version;
    return looked;
  }
  return opened.read(request, out);
}

}  // namespace veldra::dwg
