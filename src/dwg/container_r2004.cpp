// The R2004 container, also used by R2010 and later: an encrypted header at
// 0x80 gives the page map; the page map gives the file address of every page;
// the section map lists each named section's pages, which are compressed and
// carry a masked 32-byte header.

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>

#include "checksum.h"
#include "veldra/dwg/layout.h"
#include "format.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::size_t kEncryptedHeaderOffset = 0x80;
constexpr std::size_t kEncryptedHeaderSize = 0x6C;
constexpr std::size_t kHeaderCrcOffset = 0x68;  // in the decrypted header
constexpr std::uint64_t kPageBase = 0x100;
constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;
constexpr std::size_t kSystemPageHeaderSize = 20;
constexpr std::size_t kSystemPageChecksumOffset = 16;
constexpr std::size_t kDataPageHeaderSize = 32;
// The drawings store the page's start offset in 8 bytes at 0x10, then the
// checksum of the header, then that of the compressed data.
constexpr std::size_t kDataPageHeaderChecksumOffset = 0x18;
constexpr std::size_t kDataPageDataChecksumOffset = 0x1C;
constexpr std::size_t kSectionNameSize = 64;
constexpr std::uint64_t kMaxPageSize = 0x100000;        // far above the 0x7400 the format uses
constexpr std::uint64_t kMaxCompressionRatio = 256;     // a long length adds 255 per input byte
constexpr char kFileId[] = "AcFssFcAJMB";

using layout::rawRL;

std::uint64_t rawRLL(std::span<const std::uint8_t> data, std::size_t at) {
  return rawRL(data, at) | (static_cast<std::uint64_t>(rawRL(data, at + 4)) << 32);
}

struct PageLocation {
  std::uint64_t address = 0;
  std::uint64_t size = 0;
};

struct SectionPage {
  std::uint32_t number = 0;
  std::uint32_t dataSize = 0;
  std::uint64_t startOffset = 0;
};

// Room for one whole page, kept from page to page and never cleared: a page
// decompressed into it is read only as far as it gave bytes.
class Scratch {
 public:
  std::span<std::uint8_t> page(std::size_t size) {
    if (size > size_) {
      bytes_ = std::make_unique_for_overwrite<std::uint8_t[]>(size);
      size_ = size;
    }
    return {bytes_.get(), size};
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::size_t size_ = 0;
};

// Decompresses (or copies) one page's data into `target`, the part of its
// section the page fills; what the data does not reach reads zero, as for a
// section read whole. A page may decompress to more than its section still
// needs (the last page is padded): that one is decompressed whole into
// `scratch` and what belongs is kept. Neither is cleared beforehand: only
// the bytes past what the page gives are.
Status fillPage(std::span<const std::uint8_t> data, std::uint64_t dataStart, bool compressed,
                std::uint32_t maxPageSize, std::span<std::uint8_t> target, Scratch& scratch,
                const std::string& name) {
  if (!compressed) {
    const std::size_t count = std::min<std::size_t>(data.size(), target.size());
    std::copy_n(data.begin(), count, target.begin());
    std::fill(target.begin() + static_cast<std::ptrdiff_t>(count), target.end(), std::uint8_t{0});
    return Status::Ok();
  }
  const bool whole = target.size() >= maxPageSize;
  const std::span<std::uint8_t> into = whole ? target : scratch.page(maxPageSize);
  std::size_t written = 0;
  Status s = decompressR2004(data, into, written);
  // A page that fails leaves its place as a page giving nothing would.
  std::size_t kept = whole ? written : std::min(written, target.size());
  if (!s.ok() && !whole) kept = 0;
  if (!whole) std::copy_n(into.begin(), kept, target.begin());
  std::fill(target.begin() + static_cast<std::ptrdiff_t>(kept), target.end(), std::uint8_t{0});
  if (!s.ok()) {
    s.offset += dataStart;
    s.section = name;
  }
  return s;
}

// A page of a section that is filled once a byte of it is wanted.
struct PendingPage {
  std::uint64_t start = 0;  // in the section
  std::span<std::uint8_t> target;
  std::span<const std::uint8_t> data;
  std::uint64_t dataStart = 0;  // in the file
  bool filled = false;
  Status failure;  // why filling failed, kept for the next time it is wanted
};

// The objects of a drawing whose bytes outlive its sections: every page was
// checked while the container was read; what is decompressed is only what
// the object readers open.
// The buffer the pages fill is never cleared as a whole: a large section of
// which a few pages are wanted costs only those pages.
class PagesOnDemand : public Sections::PageSource {
 public:
  PagesOnDemand(std::unique_ptr<std::uint8_t[]> bytes, std::vector<PendingPage> pages, std::uint64_t size,
                std::uint32_t maxPageSize, bool compressed, std::string name)
      : bytes_(std::move(bytes)), pages_(std::move(pages)), size_(size), maxPageSize_(maxPageSize),
        compressed_(compressed), name_(std::move(name)) {
    std::sort(pages_.begin(), pages_.end(),
              [](const PendingPage& a, const PendingPage& b) { return a.start < b.start; });
  }

  Status load(std::uint64_t begin, std::uint64_t end) override {
    end = std::min(end, size_);
    // Every page that starts before the first unfilled one is filled: the
    // objects are mostly opened in the order they lie, so most calls end here.
    if (begin >= end || end <= readyBelow_) return Status::Ok();
    // The pages do not overlap: the first that may hold `begin` is the last
    // one starting at or before it.
    auto it = std::upper_bound(pages_.begin(), pages_.end(), begin,
                               [](std::uint64_t at, const PendingPage& p) { return at < p.start; });
    if (it != pages_.begin()) --it;
    for (; it != pages_.end() && it->start < end; ++it) {
      if (it->filled || it->start + it->target.size() <= begin) continue;
      if (!it->failure.ok()) return it->failure;
      it->failure = fillPage(it->data, it->dataStart, compressed_, maxPageSize_, it->target, scratch_, name_);
      if (!it->failure.ok()) return it->failure;
      it->filled = true;
    }
    while (firstUnfilled_ < pages_.size() && pages_[firstUnfilled_].filled) ++firstUnfilled_;
    readyBelow_ = firstUnfilled_ < pages_.size() ? pages_[firstUnfilled_].start : size_;
    return Status::Ok();
  }

 private:
  std::unique_ptr<std::uint8_t[]> bytes_;
  std::vector<PendingPage> pages_;
  std::uint64_t size_;
  std::uint32_t maxPageSize_;
  bool compressed_;
  std::string name_;
  Scratch scratch_;
  std::size_t firstUnfilled_ = 0;  // in `pages_`; readyBelow_ is where it starts (the size when none is left)
};

struct SectionInfo {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t maxPageSize = 0;
  std::uint32_t compressed = 0;
  std::uint32_t encrypted = 0;
  std::vector<SectionPage> pages;
};

class R2004Container {
 public:
  explicit R2004Container(std::span<const std::uint8_t> file) : file_(file), budget_(file.size()) {}

  Status read(Sections& out) {
    if (file_.size() < kPageBase)
      return makeError(ErrorKind::kTruncated, "file header cut short", file_.size(), "file header");
    out.maintenance = file_[0x0B];

    std::array<std::uint8_t, kEncryptedHeaderSize> header{};
    std::uint32_t seed = 1;
    for (std::size_t i = 0; i < kEncryptedHeaderSize; ++i) {
      seed = seed * 0x343FD + 0x269EC3;
      header[i] = static_cast<std::uint8_t>(file_[kEncryptedHeaderOffset + i] ^ static_cast<std::uint8_t>(seed >> 16));
    }
    if (std::memcmp(header.data(), kFileId, sizeof kFileId) != 0)
      return makeError(ErrorKind::kCorrupt, "encrypted file header has no valid signature", kEncryptedHeaderOffset,
                       "file header");
    const std::span<const std::uint8_t> fields(header);
    {
      // The CRC is computed with its own field set to zero.
      std::array<std::uint8_t, kEncryptedHeaderSize> zeroed = header;
      std::fill_n(zeroed.begin() + kHeaderCrcOffset, 4, 0);
      if (crc32(zeroed) != rawRL(fields, kHeaderCrcOffset))
        damage_.push_back({"file header", kEncryptedHeaderOffset, "the encrypted file header fails its CRC"});
    }
    const std::uint64_t pageMapAddress = rawRLL(fields, 0x54) + kPageBase;
    const std::uint32_t sectionMapId = rawRL(fields, 0x5C);

    std::vector<std::uint8_t> pageMap;
    if (Status s = readSystemPage(pageMapAddress, kPageMapType, "page map", pageMap); !s.ok()) return s;
    if (Status s = parsePageMap(pageMap); !s.ok()) return s;

    const auto mapPage = pages_.find(sectionMapId);
    if (mapPage == pages_.end())
      return makeError(ErrorKind::kCorrupt, "section map page is not in the page map", 0x5C, "section map");
    std::vector<std::uint8_t> sectionMap;
    if (Status s = readSystemPage(mapPage->second.address, kSectionMapType, "section map", sectionMap); !s.ok())
      return s;
    std::vector<SectionInfo> sections;
    if (Status s = parseSectionMap(sectionMap, sections); !s.ok()) return s;

    struct Wanted {
      std::string_view name;
      std::vector<std::uint8_t>* target;
      std::shared_ptr<Sections::PageSource>* onDemand;
    };
    // The objects wait in their pages for the readers when the file stays.
    const Wanted wanted[] = {{kHeaderName, &out.header, nullptr},
                             {kClassesName, &out.classes, nullptr},
                             {kHandlesName, &out.handles, nullptr},
                             {kObjectsName, &out.objects, out.inPlace ? &out.objectPages : nullptr}};
    out.objectsElsewhere = {};
    for (const Wanted& w : wanted) {
      const auto it = std::find_if(sections.begin(), sections.end(), [&](const SectionInfo& s) { return s.name == w.name; });
      if (it == sections.end())
        return makeError(ErrorKind::kCorrupt, "section " + std::string(w.name) + " is missing", 0, "section map");
      if (Status s = readSection(*it, *w.target, w.onDemand, &out.objectsElsewhere); !s.ok()) return s;
    }
    if (out.wantEvidence) {
      readOptional(sections, kSummaryInfoName, out.summaryInfo);
      readOptional(sections, kPreviewName, out.preview);
    }
    out.costLeft = budget_.left();
    out.damage.insert(out.damage.end(), damage_.begin(), damage_.end());
    return Status::Ok();
  }

 private:
  // A page with a 20-byte plain header: type, decompressed size, compressed
  // size, compression type, checksum.
  Status readSystemPage(std::uint64_t address, std::uint32_t type, const char* what, std::vector<std::uint8_t>& out) {
    if (address > file_.size() || file_.size() - address < kSystemPageHeaderSize)
      return makeError(ErrorKind::kCorrupt, std::string(what) + " lies outside the file", address, what);
    const auto at = static_cast<std::size_t>(address);
    if (rawRL(file_, at) != type)
      return makeError(ErrorKind::kCorrupt, std::string(what) + " has the wrong page type", address, what);
    const std::uint64_t decompressedSize = rawRL(file_, at + 4);
    const std::uint64_t compressedSize = rawRL(file_, at + 8);
    const std::uint32_t compression = rawRL(file_, at + 12);
    const std::uint64_t dataStart = address + kSystemPageHeaderSize;
    if (compressedSize > file_.size() - dataStart)
      return makeError(ErrorKind::kTruncated, std::string(what) + " cut short", address, what);
    const auto data = file_.subspan(static_cast<std::size_t>(dataStart), static_cast<std::size_t>(compressedSize));
    // The checksum of the header with its own field set to zero seeds that
    // of the data.
    std::array<std::uint8_t, kSystemPageHeaderSize> header{};
    std::copy_n(file_.begin() + static_cast<std::ptrdiff_t>(at), kSystemPageHeaderSize, header.begin());
    std::fill_n(header.begin() + kSystemPageChecksumOffset, 4, 0);
    if (pageChecksum(pageChecksum(0, header), data) != rawRL(file_, at + kSystemPageChecksumOffset))
      damage_.push_back({what, address, std::string("the ") + what + " fails its checksum"});
    if (!budget_.spend(compression == 2 ? decompressedSize : compressedSize) ||
        (compression == 2 && decompressedSize > compressedSize * kMaxCompressionRatio + 64))
      return makeError(ErrorKind::kCorrupt, std::string(what) + " announces an absurd size", address, what);
    if (compression != 2) {
      out.assign(data.begin(), data.end());
      return Status::Ok();
    }
    out.assign(static_cast<std::size_t>(decompressedSize), 0);
    Status s = decompressR2004(data, out);
    if (!s.ok()) {
      s.offset += dataStart;
      s.section = what;
    }
    return s;
  }

  // Pairs of page number and page size; pages lie one after another from
  // 0x100. A negative number marks a gap, followed by four more values.
  Status parsePageMap(std::span<const std::uint8_t> map) {
    std::uint64_t address = kPageBase;
    std::size_t at = 0;
    while (map.size() - at >= 8) {
      const auto number = static_cast<std::int32_t>(rawRL(map, at));
      const std::uint64_t size = rawRL(map, at + 4);
      at += 8;
      if (number >= 0) {
        pages_[static_cast<std::uint32_t>(number)] = PageLocation{address, size};
      } else {
        if (map.size() - at < 16) break;
        at += 16;
      }
      address += size;
    }
    return Status::Ok();
  }

  Status parseSectionMap(std::span<const std::uint8_t> map, std::vector<SectionInfo>& sections) {
    constexpr std::size_t kPreamble = 20;
    constexpr std::size_t kDescriptionSize = 8 + 6 * 4 + kSectionNameSize;
    if (map.size() < kPreamble) return makeError(ErrorKind::kTruncated, "section map cut short", 0, "section map");
    const std::uint32_t count = rawRL(map, 0);
    if (count > map.size() / kDescriptionSize)
      return makeError(ErrorKind::kCorrupt, "section map announces too many sections", 0, "section map");
    std::size_t at = kPreamble;
    for (std::uint32_t i = 0; i < count; ++i) {
      if (map.size() - at < kDescriptionSize)
        return makeError(ErrorKind::kTruncated, "section map cut short", at, "section map");
      SectionInfo info;
      info.size = rawRLL(map, at);
      const std::uint32_t pageCount = rawRL(map, at + 8);
      info.maxPageSize = rawRL(map, at + 12);
      info.compressed = rawRL(map, at + 20);
      info.encrypted = rawRL(map, at + 28);
      const char* name = reinterpret_cast<const char*>(map.data() + at + 32);
      info.name.assign(name, strnlen(name, kSectionNameSize));
      at += kDescriptionSize;
      if (pageCount > (map.size() - at) / 16)
        return makeError(ErrorKind::kCorrupt, "section map announces too many pages", at, "section map");
      info.pages.reserve(pageCount);
      for (std::uint32_t p = 0; p < pageCount; ++p, at += 16)
        info.pages.push_back(SectionPage{rawRL(map, at), rawRL(map, at + 4), rawRLL(map, at + 8)});
      sections.push_back(std::move(info));
    }
    return Status::Ok();
  }

  // Reads the section into `out`, checking every page. With `onDemand`, the
  // pages are left to fill when their bytes are wanted, through the source
  // set there.
  Status readSection(const SectionInfo& info, std::vector<std::uint8_t>& out,
                     std::shared_ptr<Sections::PageSource>* onDemand = nullptr,
                     std::span<const std::uint8_t>* demandBytes = nullptr) {
    const std::string name = info.name;
    if (info.encrypted == 1)
      return makeError(ErrorKind::kUnsupported, "encrypted sections are not read", 0, name);
    if (info.maxPageSize == 0 || info.maxPageSize > kMaxPageSize ||
        info.size > static_cast<std::uint64_t>(info.pages.size()) * info.maxPageSize)
      return makeError(ErrorKind::kCorrupt, "section size does not fit its pages", 0, name);
    // Checked before anything is decompressed: a drawing that expands past
    // its bound is refused at once.
    if (!budget_.spend(info.size))
      return makeError(ErrorKind::kCorrupt, "section decompresses to more than one drawing may take", 0, name);
    if (Status s = checkPagesApart(info); !s.ok()) return s;
    // Read whole, the section goes to `out`; left to its pages, to a buffer
    // of their own that `demandBytes` shows.
    std::unique_ptr<std::uint8_t[]> demanded;
    std::span<std::uint8_t> bytes;
    if (onDemand) {
      demanded.reset(new std::uint8_t[std::max<std::size_t>(1, static_cast<std::size_t>(info.size))]);
      bytes = {demanded.get(), static_cast<std::size_t>(info.size)};
      out.clear();
    } else {
      out.assign(static_cast<std::size_t>(info.size), 0);
      bytes = out;
    }
    std::vector<PendingPage> pending;
    for (const SectionPage& page : info.pages) {
      const auto location = pages_.find(page.number);
      if (location == pages_.end())
        return makeError(ErrorKind::kCorrupt, "page " + std::to_string(page.number) + " is not in the page map", 0, name);
      const std::uint64_t address = location->second.address;
      if (address > file_.size() || file_.size() - address < kDataPageHeaderSize)
        return makeError(ErrorKind::kCorrupt, "page lies outside the file", address, name);
      const std::uint32_t mask = kDataPageMask ^ static_cast<std::uint32_t>(address);
      const auto at = static_cast<std::size_t>(address);
      // The header is stored masked with a value taken from its address.
      std::array<std::uint8_t, kDataPageHeaderSize> header{};
      for (std::size_t k = 0; k < kDataPageHeaderSize; ++k)
        header[k] = static_cast<std::uint8_t>(file_[at + k] ^ (mask >> (8 * (k % 4))));
      const std::span<const std::uint8_t> fields(header);
      if (rawRL(fields, 0) != kDataPageType)
        return makeError(ErrorKind::kCorrupt, "page has the wrong page type", address, name);
      const std::uint64_t compressedSize = rawRL(fields, 8);
      const std::uint64_t dataStart = address + kDataPageHeaderSize;
      if (compressedSize > file_.size() - dataStart)
        return makeError(ErrorKind::kTruncated, "page data cut short", address, name);
      const auto data = file_.subspan(static_cast<std::size_t>(dataStart), static_cast<std::size_t>(compressedSize));
      checkDataPage(header, data, page.number, address, name);
      if (page.startOffset >= info.size) {
        if (info.size == 0) continue;
        return makeError(ErrorKind::kCorrupt, "page starts outside its section", address, name);
      }
      const std::uint64_t room = std::min<std::uint64_t>(info.maxPageSize, info.size - page.startOffset);
      const auto target = bytes.subspan(static_cast<std::size_t>(page.startOffset), static_cast<std::size_t>(room));
      if (onDemand) {
        pending.push_back(PendingPage{page.startOffset, target, data, dataStart, false, Status::Ok()});
        continue;
      }
      if (Status s = fillPage(data, dataStart, info.compressed == 2, info.maxPageSize, target, scratch_, name); !s.ok())
        return s;
    }
    if (onDemand) {
      clearWhereNoPageIs(bytes, pending);
      if (demandBytes) *demandBytes = bytes;
      *onDemand = std::make_shared<PagesOnDemand>(std::move(demanded), std::move(pending), info.size,
                                                  info.maxPageSize, info.compressed == 2, name);
    }
    return Status::Ok();
  }

  // Bytes of a section that no page covers read as zero.
  static void clearWhereNoPageIs(std::span<std::uint8_t> bytes, std::vector<PendingPage> pages) {
    std::sort(pages.begin(), pages.end(), [](const PendingPage& a, const PendingPage& b) { return a.start < b.start; });
    std::size_t covered = 0;
    for (const PendingPage& page : pages) {
      const auto start = static_cast<std::size_t>(page.start);
      if (start > covered) std::fill(bytes.begin() + covered, bytes.begin() + start, std::uint8_t{0});
      covered = std::max(covered, start + page.target.size());
    }
    if (covered < bytes.size()) std::fill(bytes.begin() + covered, bytes.end(), std::uint8_t{0});
  }

  // The pages of a section may not overlap, which keeps the work of
  // decompressing them within the section's size and one page.
  Status checkPagesApart(const SectionInfo& info) const {
    if (info.size == 0 || info.pages.size() < 2) return Status::Ok();
    std::vector<std::uint64_t> starts;
    starts.reserve(info.pages.size());
    for (const SectionPage& page : info.pages) starts.push_back(page.startOffset);
    std::sort(starts.begin(), starts.end());
    for (std::size_t k = 1; k < starts.size(); ++k) {
      const std::uint64_t left = info.size - std::min(info.size, starts[k - 1]);
      const std::uint64_t room = std::min<std::uint64_t>(info.maxPageSize, left);
      if (starts[k] - starts[k - 1] < room)
        return makeError(ErrorKind::kCorrupt, "pages of the section overlap", 0, info.name);
    }
    return Status::Ok();
  }

  // The data checksum covers the compressed bytes from seed 0; the header
  // checksum covers the unmasked header, its own field set to zero, seeded
  // with the data checksum.
  void checkDataPage(std::array<std::uint8_t, kDataPageHeaderSize> header, std::span<const std::uint8_t> data,
                     std::uint32_t number, std::uint64_t address, const std::string& name) {
    const std::span<const std::uint8_t> fields(header);
    const std::uint32_t storedData = rawRL(fields, kDataPageDataChecksumOffset);
    const std::uint32_t storedHeader = rawRL(fields, kDataPageHeaderChecksumOffset);
    const std::uint32_t dataChecksum = pageChecksum(0, data);
    std::fill_n(header.begin() + kDataPageHeaderChecksumOffset, 4, 0);
    if (dataChecksum != storedData || pageChecksum(dataChecksum, header) != storedHeader)
      damage_.push_back({name, address, "page " + std::to_string(number) + " fails its checksum"});
  }

  // A section the drawing may lack; a failure stays with the section.
  void readOptional(const std::vector<SectionInfo>& sections, std::string_view name, Sections::Optional& target) {
    const auto it = std::find_if(sections.begin(), sections.end(), [&](const SectionInfo& s) { return s.name == name; });
    if (it == sections.end()) return;
    target.present = true;
    target.status = readSection(*it, target.bytes);
    if (!target.status.ok()) target.bytes.clear();
  }

  std::span<const std::uint8_t> file_;
  std::unordered_map<std::uint32_t, PageLocation> pages_;
  CostBudget budget_;
  Scratch scratch_;
  std::vector<Damage> damage_;
};

}  // namespace

Status readR2004Sections(std::span<const std::uint8_t> file, Sections& out) { return R2004Container(file).read(out); }

}  // namespace veldra::dwg::detail
