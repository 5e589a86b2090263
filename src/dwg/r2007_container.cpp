// The R2007 (AC1021) container. After 0x80 bytes of plain metadata comes a
// Reed-Solomon coded, compressed file header giving where the page map and
// the section map lie. The page map lists every page of the file with its
// size (pages follow each other from file offset 0x480); the section map
// names each section and lists its pages, which are Reed-Solomon coded and
// compressed one by one.

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "r2007_codec.h"
#include "sections.h"

namespace veldra::dwg::detail {
namespace {

using r2007::kCodewordSize;

constexpr std::size_t kMaintenanceAt = 0x0b;
constexpr std::size_t kFileHeaderAt = 0x80;
constexpr std::size_t kFileHeaderCoded = 0x3d8;  // then 0x28 bytes of check data
constexpr std::size_t kFileHeaderBlocks = 3;
constexpr std::size_t kFileHeaderPrefix = 0x20;  // CRCs, key and sizes before the data
constexpr std::size_t kFileHeaderSize = 0x110;   // decoded file header fields
constexpr std::uint64_t kPagesStart = 0x480;     // file offset of the first page
constexpr std::size_t kSectionRecordSize = 0x40;
constexpr std::size_t kPageRecordSize = 0x38;

constexpr std::uint64_t kEncodingPlain = 1;        // stored bytes as they are, no parity
constexpr std::uint64_t kEncodingInterleaved = 4;  // Reed-Solomon code words, interleaved

const char* const kFileHeaderName = "file header";
const char* const kPageMapName = "page map";
const char* const kSectionMapName = "section map";

std::uint64_t le64(std::span<const std::uint8_t> data, std::size_t at) {
  std::uint64_t value = 0;
  for (std::size_t k = 8; k-- > 0;) value = (value << 8) | data[at + k];
  return value;
}

std::uint32_t le32(std::span<const std::uint8_t> data, std::size_t at) {
  std::uint32_t value = 0;
  for (std::size_t k = 4; k-- > 0;) value = (value << 8) | data[at + k];
  return value;
}

Status failure(ErrorKind kind, std::string message, std::uint64_t offset, std::string section) {
  return {kind, std::move(message), offset, std::move(section)};
}

// Names the section of a failure reported by a decoding layer and puts it at
// `offset` in the file.
Status inSection(Status status, std::uint64_t offset, const std::string& section) {
  status.offset = offset;
  status.section = section;
  status.message += " in " + section;
  return status;
}

struct FileHeader {
  std::uint64_t pageMapCorrection = 0;
  std::uint64_t pageMapOffset = 0;
  std::uint64_t pageMapCompressed = 0;
  std::uint64_t pageMapUncompressed = 0;
  std::uint64_t sectionMapCompressed = 0;
  std::uint64_t sectionMapId = 0;
  std::uint64_t sectionMapUncompressed = 0;
  std::uint64_t sectionMapCorrection = 0;
};

struct PageEntry {
  std::uint64_t id = 0;
  std::uint64_t offset = 0;  // file offset
  std::uint64_t size = 0;    // bytes the page takes in the file
};

struct PageRef {
  std::uint64_t dataOffset = 0;  // where the page's bytes go in the section
  std::uint64_t id = 0;
  std::uint64_t uncompressed = 0;
  std::uint64_t compressed = 0;
  std::uint32_t checksum = 0;
};

struct SectionEntry {
  std::string name;
  std::uint64_t dataSize = 0;
  std::uint64_t encryption = 0;
  std::uint64_t encoding = 0;
  std::vector<PageRef> pages;
};

class Container {
 public:
  explicit Container(std::span<const std::uint8_t> file)
      : file_(file),
        // Nothing decoded may grow past this: generous for real drawings,
        // whose sections compress a few times over, yet bounded by the input.
        limit_((std::uint64_t{4} << 20) + static_cast<std::uint64_t>(file.size()) * 128),
        budget_(file.size()) {}

  Status read(Sections& out) {
    if (file_.size() < 6) {
      return failure(ErrorKind::kTruncated, "the file ends inside its version", file_.size(), "");
    }
    out.version.assign(file_.begin(), file_.begin() + 6);
    if (file_.size() <= kMaintenanceAt) {
      return failure(ErrorKind::kTruncated, "the file ends before its maintenance release",
                     file_.size(), "");
    }
    out.maintenance = file_[kMaintenanceAt];

    FileHeader header;
    if (Status s = readFileHeader(header); !s.ok()) return s;
    if (Status s = readPageMap(header); !s.ok()) return s;
    std::vector<SectionEntry> sections;
    if (Status s = readSectionMap(header, sections); !s.ok()) return s;

    // The sections of the summary must be there; those of the evidence are
    // read when asked for and may be missing or unreadable.
    const struct {
      const char* name;
      std::vector<std::uint8_t>* target;
      Sections::Optional* optional;
    } wanted[] = {{"AcDb:Header", &out.header, nullptr},
                  {"AcDb:Classes", &out.classes, nullptr},
                  {"AcDb:Handles", &out.handles, nullptr},
                  {"AcDb:AcDbObjects", &out.objects, nullptr},
                  {"AcDb:SummaryInfo", &out.summaryInfo.bytes, &out.summaryInfo},
                  {"AcDb:Preview", &out.preview.bytes, &out.preview}};
    for (const auto& want : wanted) {
      if (want.optional != nullptr && !out.wantEvidence) continue;
      const auto found = std::find_if(sections.begin(), sections.end(),
                                      [&](const SectionEntry& e) { return e.name == want.name; });
      if (found == sections.end()) {
        if (want.optional != nullptr) continue;
        return failure(ErrorKind::kCorrupt,
                       std::string("the section map lists no ") + want.name + " section",
                       sectionMapAt_, kSectionMapName);
      }
      // The objects, the largest section, go to a buffer of their own that
      // is not cleared first, when the file outlives the sections.
      Status s = want.target == &out.objects && out.inPlace ? readObjectsInPlace(*found, out)
                                                             : readSection(*found, *want.target);
      if (want.optional != nullptr) {
        want.optional->present = true;
        if (!s.ok()) want.target->clear();
        want.optional->status = std::move(s);
      } else if (!s.ok()) {
        return s;
      }
    }
    out.costLeft = budget_.left();
    out.damage.insert(out.damage.end(), damage_.begin(), damage_.end());
    return Status::Ok();
  }

 private:
  Status readFileHeader(FileHeader& header) {
    if (file_.size() < kFileHeaderAt + kFileHeaderCoded) {
      return failure(ErrorKind::kTruncated, "the file ends inside its file header", file_.size(),
                     kFileHeaderName);
    }
    const std::vector<std::uint8_t> coded = r2007::deinterleave(
        file_.subspan(kFileHeaderAt, kFileHeaderBlocks * kCodewordSize), kFileHeaderBlocks,
        r2007::Code::kSystem);
    // A negative length means the fields are stored uncompressed.
    const auto length = static_cast<std::int32_t>(le32(coded, 0x18));
    const std::size_t room = coded.size() - kFileHeaderPrefix;
    const std::span<const std::uint8_t> stored(coded.data() + kFileHeaderPrefix, room);
    std::vector<std::uint8_t> fields;
    if (length < 0) {
      const std::uint64_t plain = -static_cast<std::int64_t>(length);
      if (plain < kFileHeaderSize || plain > room) {
        return failure(ErrorKind::kCorrupt,
                       "file header stores an impossible plain length " + std::to_string(plain),
                       kFileHeaderAt, kFileHeaderName);
      }
      fields.assign(stored.begin(), stored.begin() + kFileHeaderSize);
    } else {
      if (length == 0 || static_cast<std::size_t>(length) > room) {
        return failure(ErrorKind::kCorrupt,
                       "file header announces an impossible compressed length " +
                           std::to_string(length),
                       kFileHeaderAt, kFileHeaderName);
      }
      Status s = r2007::decompress(stored.first(static_cast<std::size_t>(length)),
                                   kFileHeaderSize, fields);
      // The coded bytes are interleaved, so no finer file offset can be given.
      if (!s.ok()) return inSection(std::move(s), kFileHeaderAt, kFileHeaderName);
    }
    header.pageMapCorrection = le64(fields, 0x18);
    header.pageMapOffset = le64(fields, 0x38);
    header.pageMapCompressed = le64(fields, 0x50);
    header.pageMapUncompressed = le64(fields, 0x58);
    header.sectionMapCompressed = le64(fields, 0xb0);
    header.sectionMapId = le64(fields, 0xc0);
    header.sectionMapUncompressed = le64(fields, 0xc8);
    header.sectionMapCorrection = le64(fields, 0xd8);
    return Status::Ok();
  }

  // System pages (the page map and the section map) repeat their stored bytes
  // `correction` times before Reed-Solomon coding, interleaved over all code
  // words; the first copy is enough for a clean file.
  Status readSystemPage(const char* name, std::uint64_t offset, std::uint64_t compressed,
                        std::uint64_t uncompressed, std::uint64_t correction,
                        std::vector<std::uint8_t>& out) {
    const std::uint64_t size = file_.size();
    if (compressed == 0 || compressed > size || uncompressed == 0 || uncompressed > limit_) {
      return failure(ErrorKind::kCorrupt,
                     std::string(name) + " announces impossible sizes (" + std::to_string(compressed) +
                         " stored, " + std::to_string(uncompressed) + " in all)",
                     offset, name);
    }
    if (!budget_.spend(uncompressed)) {
      return failure(ErrorKind::kCorrupt,
                     std::string(name) + " decompresses to more than one drawing may take", offset, name);
    }
    if (correction == 0) {
      return failure(ErrorKind::kCorrupt, std::string(name) + " announces a repeat count of 0",
                     offset, name);
    }
    // Every copy must fit in the file; checked first, the product below
    // cannot overflow.
    const std::uint64_t aligned = (compressed + 7) & ~std::uint64_t{7};
    const bool fits = correction <= size / aligned;
    const std::uint64_t blocks =
        fits ? r2007::blocksFor(aligned * correction, r2007::kSystemBlockData) : 0;
    const std::uint64_t coded = blocks * kCodewordSize;
    if (!fits || offset > size || coded > size - offset) {
      return failure(ErrorKind::kTruncated,
                     std::string(name) + " reaches past the end of the file", offset,
                     name);
    }
    // Only the words of the first copy are decoded.
    const std::vector<std::uint8_t> data =
        r2007::deinterleave(file_.subspan(offset, coded), blocks, r2007::Code::kSystem,
                            r2007::blocksFor(compressed, r2007::kSystemBlockData));
    return unpack(name, offset, std::span(data).first(compressed), uncompressed, out);
  }

  // Stored bytes are compressed only when that made them shorter. The
  // announced size has been counted against the drawing's bound by then.
  Status unpack(const std::string& name, std::uint64_t offset, std::span<const std::uint8_t> stored,
                std::uint64_t uncompressed, std::vector<std::uint8_t>& out) {
    out.resize(static_cast<std::size_t>(uncompressed));
    return unpackInto(name, offset, stored, out);
  }

  // The same into a place of the size the data announces.
  Status unpackInto(const std::string& name, std::uint64_t offset, std::span<const std::uint8_t> stored,
                    std::span<std::uint8_t> out) {
    if (stored.size() < out.size()) {
      Status s = r2007::decompress(stored, out);
      return s.ok() ? s : inSection(std::move(s), offset, name);
    }
    if (stored.size() > out.size()) {
      return failure(ErrorKind::kCorrupt,
                     name + " stores " + std::to_string(stored.size()) + " bytes for " +
                         std::to_string(out.size()) + " bytes of data",
                     offset, name);
    }
    std::copy(stored.begin(), stored.end(), out.begin());
    return Status::Ok();
  }

  Status readPageMap(const FileHeader& header) {
    const std::uint64_t offset = kPagesStart + std::min<std::uint64_t>(header.pageMapOffset,
                                                                       file_.size());
    std::vector<std::uint8_t> map;
    if (Status s = readSystemPage(kPageMapName, offset, header.pageMapCompressed,
                                  header.pageMapUncompressed, header.pageMapCorrection, map);
        !s.ok()) {
      return s;
    }
    if (map.size() % 16 != 0) {
      return failure(ErrorKind::kCorrupt, "page map size is not a whole number of entries",
                     offset, kPageMapName);
    }
    // Pages lie one after the other; an entry with a negative id is a gap.
    std::uint64_t at = kPagesStart;
    pages_.reserve(map.size() / 16);
    for (std::size_t k = 0; k < map.size(); k += 16) {
      const auto size = static_cast<std::int64_t>(le64(map, k));
      const auto id = static_cast<std::int64_t>(le64(map, k + 8));
      // A page past the end of a cut-short file is reported when it is read.
      if (size < 0 || static_cast<std::uint64_t>(size) > limit_) {
        return failure(ErrorKind::kCorrupt,
                       "page map lists an impossible page size " + std::to_string(size), offset,
                       kPageMapName);
      }
      if (id > 0) pages_.push_back({static_cast<std::uint64_t>(id), at,
                                    static_cast<std::uint64_t>(size)});
      if (static_cast<std::uint64_t>(size) > UINT64_MAX - at) {
        return failure(ErrorKind::kCorrupt, "page map lists pages past any possible file size",
                       offset, kPageMapName);
      }
      at += static_cast<std::uint64_t>(size);
    }
    std::sort(pages_.begin(), pages_.end(),
              [](const PageEntry& a, const PageEntry& b) { return a.id < b.id; });
    const auto duplicate = std::adjacent_find(
        pages_.begin(), pages_.end(),
        [](const PageEntry& a, const PageEntry& b) { return a.id == b.id; });
    if (duplicate != pages_.end()) {
      return failure(ErrorKind::kCorrupt,
                     "page map lists page " + std::to_string(duplicate->id) + " twice",
                     offset, kPageMapName);
    }
    return Status::Ok();
  }

  const PageEntry* findPage(std::uint64_t id) const {
    const auto found = std::lower_bound(
        pages_.begin(), pages_.end(), id,
        [](const PageEntry& entry, std::uint64_t wanted) { return entry.id < wanted; });
    return found != pages_.end() && found->id == id ? &*found : nullptr;
  }

  Status readSectionMap(const FileHeader& header, std::vector<SectionEntry>& sections) {
    const PageEntry* page = findPage(header.sectionMapId);
    if (page == nullptr) {
      return failure(ErrorKind::kCorrupt,
                     "section map page " + std::to_string(header.sectionMapId) +
                         " is not in the page map",
                     0, kSectionMapName);
    }
    std::vector<std::uint8_t> map;
    if (Status s = readSystemPage(kSectionMapName, page->offset, header.sectionMapCompressed,
                                  header.sectionMapUncompressed, header.sectionMapCorrection, map);
        !s.ok()) {
      return s;
    }
    const std::uint64_t where = page->offset;
    sectionMapAt_ = where;
    auto corrupt = [&](const std::string& what) {
      return failure(ErrorKind::kCorrupt, "section map " + what, where,
                     kSectionMapName);
    };
    std::size_t at = 0;
    while (map.size() - at >= kSectionRecordSize) {
      SectionEntry entry;
      entry.dataSize = le64(map, at);
      entry.encryption = le64(map, at + 0x10);
      const std::uint64_t nameBytes = le64(map, at + 0x20);
      entry.encoding = le64(map, at + 0x30);
      const std::uint64_t pageCount = le64(map, at + 0x38);
      at += kSectionRecordSize;
      if (nameBytes > map.size() - at || nameBytes % 2 != 0) {
        return corrupt("holds a section name of " + std::to_string(nameBytes) +
                       " bytes that does not fit");
      }
      // UTF-16 names, ended by a zero character; they are plain ASCII.
      for (std::size_t k = 0; k < nameBytes; k += 2) {
        const unsigned unit = map[at + k] | (static_cast<unsigned>(map[at + k + 1]) << 8);
        if (unit == 0) break;
        entry.name.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
      }
      at += nameBytes;
      if (pageCount > (map.size() - at) / kPageRecordSize) {
        return corrupt("lists " + std::to_string(pageCount) + " pages for " + entry.name +
                       ", more than it holds");
      }
      for (std::uint64_t k = 0; k < pageCount; ++k, at += kPageRecordSize) {
        PageRef ref;
        ref.dataOffset = le64(map, at);
        ref.id = le64(map, at + 0x10);
        ref.uncompressed = le64(map, at + 0x18);
        ref.compressed = le64(map, at + 0x20);
        ref.checksum = static_cast<std::uint32_t>(le64(map, at + 0x28));
        entry.pages.push_back(ref);
      }
      sections.push_back(std::move(entry));
    }
    return Status::Ok();
  }

  // A section that owns the bytes of the objects, all filled once read.
  class FilledObjects : public Sections::PageSource {
   public:
    explicit FilledObjects(std::unique_ptr<std::uint8_t[]> bytes) : bytes_(std::move(bytes)) {}
    Status load(std::uint64_t, std::uint64_t) override { return Status::Ok(); }

   private:
    std::unique_ptr<std::uint8_t[]> bytes_;
  };

  Status readSection(const SectionEntry& section, std::vector<std::uint8_t>& out) {
    if (Status s = checkSection(section); !s.ok()) return s;
    out.assign(section.dataSize, 0);
    return fillSection(section, out);
  }

  Status readObjectsInPlace(const SectionEntry& section, Sections& out) {
    if (Status s = checkSection(section); !s.ok()) return s;
    const auto size = static_cast<std::size_t>(section.dataSize);
    auto bytes = std::make_unique_for_overwrite<std::uint8_t[]>(std::max<std::size_t>(size, 1));
    const std::span<std::uint8_t> objects(bytes.get(), size);
    if (Status s = fillSection(section, objects); !s.ok()) return s;
    out.objects.clear();
    out.objectsElsewhere = objects;
    out.objectPages = std::make_shared<FilledObjects>(std::move(bytes));
    return Status::Ok();
  }

  Status checkSection(const SectionEntry& section) {
    const std::string& name = section.name;
    if (section.encryption != 0) {
      return failure(ErrorKind::kUnsupported, name + " is encrypted; encrypted drawings are not read",
                     sectionMapAt_, name);
    }
    if (section.encoding != kEncodingPlain && section.encoding != kEncodingInterleaved) {
      return failure(ErrorKind::kCorrupt,
                     name + " uses an unknown page coding " + std::to_string(section.encoding),
                     sectionMapAt_, name);
    }
    if (section.dataSize > limit_) {
      return failure(ErrorKind::kCorrupt,
                     name + " announces an impossible size " + std::to_string(section.dataSize),
                     sectionMapAt_, name);
    }
    if (!budget_.spend(section.dataSize)) {
      return failure(ErrorKind::kCorrupt, name + " decompresses to more than one drawing may take",
                     sectionMapAt_, name);
    }
    return Status::Ok();
  }

  // Fills `out`, of the section's size, from the section's pages. Pages
  // holding only zeros are left out of the file, so what no page covers is
  // set to zero. Pages come in order and may not overlap, which also bounds
  // the work to the section's size.
  Status fillSection(const SectionEntry& section, std::span<std::uint8_t> out) {
    const std::string& name = section.name;
    std::uint64_t covered = 0;
    for (const PageRef& ref : section.pages) {
      if (ref.dataOffset < covered || ref.dataOffset > out.size() ||
          ref.uncompressed > out.size() - ref.dataOffset) {
        return failure(ErrorKind::kCorrupt,
                       "page " + std::to_string(ref.id) + " of " + name +
                           " overlaps another page or reaches past the section's " +
                           std::to_string(out.size()) + " bytes",
                       sectionMapAt_, name);
      }
      std::fill(out.begin() + static_cast<std::ptrdiff_t>(covered),
                out.begin() + static_cast<std::ptrdiff_t>(ref.dataOffset), std::uint8_t{0});
      const auto target = out.subspan(static_cast<std::size_t>(ref.dataOffset), static_cast<std::size_t>(ref.uncompressed));
      if (Status s = readDataPage(section, ref, target); !s.ok()) return s;
      covered = ref.dataOffset + ref.uncompressed;
    }
    std::fill(out.begin() + static_cast<std::ptrdiff_t>(covered), out.end(), std::uint8_t{0});
    return Status::Ok();
  }

  // Fills `out`, the page's place in its section, with what it holds.
  Status readDataPage(const SectionEntry& section, const PageRef& ref, std::span<std::uint8_t> out) {
    const std::string& name = section.name;
    const PageEntry* page = findPage(ref.id);
    if (page == nullptr) {
      return failure(ErrorKind::kCorrupt,
                     "page " + std::to_string(ref.id) + " of " + name + " is not in the page map", 0,
                     name);
    }
    const std::uint64_t where = page->offset;
    // Stored bytes are never more than the data: a page that did not shrink
    // is kept as it is.
    if (ref.compressed == 0 || ref.compressed > page->size || ref.compressed > ref.uncompressed) {
      return failure(ErrorKind::kCorrupt,
                     "page " + std::to_string(ref.id) + " of " + name + " announces impossible sizes (" +
                         std::to_string(ref.compressed) + " stored, " +
                         std::to_string(ref.uncompressed) + " in all)",
                     where, name);
    }
    // Interleaved pages are Reed-Solomon coded; plain pages hold their stored
    // bytes as they are.
    const bool interleaved = section.encoding == kEncodingInterleaved;
    const std::uint64_t aligned = (ref.compressed + 7) & ~std::uint64_t{7};
    const std::uint64_t blocks = r2007::blocksFor(aligned, r2007::kDataBlockData);
    const std::uint64_t coded = interleaved ? blocks * kCodewordSize : ref.compressed;
    if (coded > page->size) {
      return failure(ErrorKind::kCorrupt,
                     "page " + std::to_string(ref.id) + " of " + name + " is smaller than its " +
                         std::to_string(ref.compressed) + " stored bytes",
                     where, name);
    }
    if (where > file_.size() || coded > file_.size() - where) {
      return failure(ErrorKind::kTruncated,
                     "page " + std::to_string(ref.id) + " of " + name +
                         " reaches past the end of the file",
                     where, name);
    }
    const std::span<const std::uint8_t> raw = file_.subspan(where, coded);
    std::vector<std::uint8_t> data;
    std::span<const std::uint8_t> stored = raw;
    if (interleaved) {
      // The code words are corrected only when the page as stored does not
      // give its checksum: a sound page reads the same either way.
      // The page's words are turned into a buffer kept from page to page.
      if (asStored_.size() < blocks * r2007::kDataBlockData) asStored_.resize(blocks * r2007::kDataBlockData);
      const auto asStored = std::span<std::uint8_t>(asStored_).first(blocks * r2007::kDataBlockData);
      r2007::deinterleaveAsStored(raw, blocks, r2007::Code::kData, asStored);
      if (unpackInto(name, where, asStored.first(ref.compressed), out).ok() &&
          r2007::pageChecksum(0, out) == ref.checksum)
        return Status::Ok();
      data = r2007::deinterleave(raw, blocks, r2007::Code::kData);
      stored = std::span<const std::uint8_t>(data).first(ref.compressed);
    }
    if (Status s = unpackInto(name, where, stored, out); !s.ok()) return s;
    // What the page holds is kept, and doubted.
    if (r2007::pageChecksum(0, out) != ref.checksum) {
      damage_.push_back({name, where, "page " + std::to_string(ref.id) + " of " + name + " fails its checksum"});
    }
    return Status::Ok();
  }

  std::span<const std::uint8_t> file_;
  std::uint64_t limit_;
  CostBudget budget_;
  std::vector<Damage> damage_;
  std::vector<PageEntry> pages_;  // sorted by id
  std::vector<std::uint8_t> asStored_;  // a data page's words as stored, turned
  std::uint64_t sectionMapAt_ = 0;  // file offset of the section map
};

}  // namespace

Status readR2007Sections(std::span<const std::uint8_t> file, Sections& out) {
  return Container(file).read(out);
}

}  // namespace veldra::dwg::detail
