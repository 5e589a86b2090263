#include "dwgwrite/containers.h"

#include <algorithm>
#include <array>
#include <span>
#include <string_view>

#include "dwgwrite/bit_writer.h"
#include "dwgwrite/r2004_repack.h"

namespace veldra::dwgwrite::detail {
namespace {

using dwgwrite::literalStream;

void append(Bytes& out, std::span<const std::uint8_t> bytes) { out.insert(out.end(), bytes.begin(), bytes.end()); }

void appendRL(Bytes& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

void appendRLL(Bytes& out, std::uint64_t value) {
  appendRL(out, static_cast<std::uint32_t>(value));
  appendRL(out, static_cast<std::uint32_t>(value >> 32));
}

void appendRS(Bytes& out, std::uint16_t value) {
  out.push_back(static_cast<std::uint8_t>(value & 0xFF));
  out.push_back(static_cast<std::uint8_t>(value >> 8));
}

void putRL(Bytes& out, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putRLL(Bytes& out, std::size_t at, std::uint64_t value) {
  putRL(out, at, static_cast<std::uint32_t>(value));
  putRL(out, at + 4, static_cast<std::uint32_t>(value >> 32));
}

void appendVersion(Bytes& out, std::string_view version) {
  for (char c : version) out.push_back(static_cast<std::uint8_t>(c));
}

// ---- R13 to R2000

constexpr std::size_t kMaxMapSectionData = 2032;
constexpr std::uint8_t kR13FileHeaderFlag = 1;
// Release bytes of the saving program at 0x11, as a current CAD program writes them.
constexpr std::uint8_t kAppRelease[2] = {0x21, 0xE4};

std::uint8_t r13Maintenance(Release release) {
  return release == Release::kR2000 ? 0x0F : release == Release::kR14 ? 0x0A : 0x06;
}

// R2000 lists six section locators: header variables, classes, object map,
// the unused object free space record, the template and the unused
// auxiliary header; R13 and R14 have no auxiliary header. The check value
// of the file header is XORed with a constant for the locator count.
unsigned locatorCount(Release release) { return release == Release::kR2000 ? 6 : 5; }

std::uint16_t locatorCrcMask(unsigned count) { return count == 6 ? 0x8461 : 0x3CC4; }

// The file's own bytes of the second header: its place, the version, the
// section locators and the handles of the main tables and dictionaries.
struct Locator {
  std::uint8_t number;
  std::uint32_t seeker;
  std::uint32_t size;
};

using dwg::layout::kLocatorEnd;
using dwg::layout::kSecondHeaderEnd;
using dwg::layout::kSecondHeaderStart;

Bytes secondHeader(const R13Parts& parts, std::size_t at, const std::vector<Locator>& locators) {
  BitWriter w;
  w.writeBL(static_cast<std::uint32_t>(at));
  for (char c : parts.version) w.writeRC(static_cast<std::uint8_t>(c));
  for (int i = 0; i < 5; ++i) w.writeRC(0);
  w.writeRC(r13Maintenance(parts.release));
  w.writeBits(0, 4);
  // Fixed bits of unknown meaning, as the CAD program writes them.
  w.writeBits(0x10, 8);
  w.writeBits(0x87, 8);
  w.writeBits(0x90, 8);
  w.writeBits(0x78, 8);
  w.writeBits(0, 6);
  w.writeBS(static_cast<std::uint16_t>(locators.size()));
  for (const Locator& l : locators) {
    w.writeRC(l.number);
    w.writeBL(l.seeker);
    w.writeBL(l.size);
  }
  w.writeBS(static_cast<std::uint16_t>(parts.secondHeaderHandles.size()));
  for (std::size_t i = 0; i < parts.secondHeaderHandles.size(); ++i) {
    const std::uint64_t handle = parts.secondHeaderHandles[i];
    std::uint8_t count = 0;
    for (std::uint64_t rest = handle; rest != 0; rest >>= 8) ++count;
    if (count == 0) count = 1;
    w.writeRC(count);
    w.writeRC(static_cast<std::uint8_t>(i));
    for (unsigned k = count; k > 0; --k) w.writeRC(static_cast<std::uint8_t>(handle >> (8 * (k - 1))));
  }
  w.alignToByte();
  Bytes body;
  // Size from the size field to the end sentinel: size, data, check value
  // and eight bytes of padding.
  appendRL(body, static_cast<std::uint32_t>(4 + w.bytes().size() + 2 + 8));
  append(body, w.bytes());
  const std::uint16_t crc = crc16(body, kSectionCrcSeed);
  Bytes out(kSecondHeaderStart.begin(), kSecondHeaderStart.end());
  append(out, body);
  appendRS(out, crc);
  out.insert(out.end(), 8, 0);
  append(out, kSecondHeaderEnd);
  return out;
}

// ---- R2004 and later

constexpr std::size_t kPageBase = 0x100;
constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;
constexpr std::uint32_t kMaxPageData = 0x7400;
constexpr std::size_t kEncryptedHeaderSize = 0x6C;
constexpr std::size_t kPageAlign = 0x20;
constexpr char kFileId[] = "AcFssFcAJMB";

// The byte sequence of the format's linear congruential generator, seeded
// with 1: it encrypts the file header and fills the padding of pages.
const std::array<std::uint8_t, 256>& magicSequence() {
  static const std::array<std::uint8_t, 256> sequence = [] {
    std::array<std::uint8_t, 256> s{};
    std::uint32_t seed = 1;
    for (auto& b : s) {
      seed = seed * 0x343FD + 0x269EC3;
      b = static_cast<std::uint8_t>(seed >> 16);
    }
    return s;
  }();
  return sequence;
}

std::size_t aligned(std::size_t size) { return (size + kPageAlign - 1) / kPageAlign * kPageAlign; }

// A page map or section map page: a 20-byte header whose check value covers
// the header (with the value zeroed) and then the compressed data.
Bytes systemPage(std::uint32_t type, const Bytes& data) {
  const Bytes stored = literalStream(data);
  Bytes page;
  appendRL(page, type);
  appendRL(page, static_cast<std::uint32_t>(data.size()));
  appendRL(page, static_cast<std::uint32_t>(stored.size()));
  appendRL(page, 2);
  appendRL(page, 0);
  const std::uint32_t check = pageChecksum(pageChecksum(0, page), stored);
  putRL(page, 16, check);
  append(page, stored);
  page.resize(aligned(page.size()), 0);
  return page;
}

struct PlannedPage {
  std::uint32_t number = 0;
  std::uint32_t sectionId = 0;
  std::uint64_t startOffset = 0;
  Bytes stored;  // as written after the page header
};

struct PlannedSection {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t maxPageSize = kMaxPageData;
  bool compressed = true;
  std::uint32_t id = 0;
  std::vector<std::size_t> pages;  // indexes into the page list
};

// A data page: a 32-byte header masked with its file address, the stored
// bytes, and padding from the magic sequence to a multiple of 0x20. The
// header holds the page's size in the file at 0x0C, its header check value
// at 0x18 (seeded with the data check value, over the header with that field
// zeroed) and the data check value at 0x1C, as real drawings lay them out.
Bytes dataPage(const PlannedPage& page, std::uint64_t address) {
  const std::size_t total = aligned(32 + page.stored.size());
  const std::uint32_t dataCheck = pageChecksum(0, page.stored);
  Bytes header;
  appendRL(header, kDataPageType);
  appendRL(header, page.sectionId);
  appendRL(header, static_cast<std::uint32_t>(page.stored.size()));
  appendRL(header, static_cast<std::uint32_t>(total));
  appendRL(header, static_cast<std::uint32_t>(page.startOffset));
  appendRL(header, 0);
  appendRL(header, 0);
  appendRL(header, dataCheck);
  putRL(header, 0x18, pageChecksum(dataCheck, header));
  const std::uint32_t mask = kDataPageMask ^ static_cast<std::uint32_t>(address);
  for (std::size_t at = 0; at < header.size(); at += 4) {
    for (int i = 0; i < 4; ++i) header[at + i] ^= static_cast<std::uint8_t>(mask >> (8 * i));
  }
  Bytes out = header;
  append(out, page.stored);
  const std::size_t pad = total - out.size();
  out.insert(out.end(), magicSequence().begin(), magicSequence().begin() + static_cast<std::ptrdiff_t>(pad));
  return out;
}

}  // namespace

Bytes imageArea(std::uint64_t at, std::uint8_t code, const Bytes& picture) {
  // The header data: 80 bytes the CAD program leaves zero.
  constexpr std::size_t kHeaderData = 80;
  Bytes out(kImageStart.begin(), kImageStart.end());
  if (code == 0) {
    appendRL(out, 1);
    out.push_back(0);
  } else {
    const std::uint64_t entries = at + 16 + 4 + 1 + 2 * 9;
    appendRL(out, static_cast<std::uint32_t>(1 + 2 * 9 + kHeaderData + picture.size()));
    out.push_back(2);
    out.push_back(1);
    appendRL(out, static_cast<std::uint32_t>(entries));
    appendRL(out, kHeaderData);
    out.push_back(code);
    appendRL(out, static_cast<std::uint32_t>(entries + kHeaderData));
    appendRL(out, static_cast<std::uint32_t>(picture.size()));
    out.insert(out.end(), kHeaderData, 0);
    append(out, picture);
  }
  append(out, kImageEnd);
  return out;
}

Bytes objectMap(std::vector<std::pair<std::uint64_t, std::uint64_t>> entries) {
  std::sort(entries.begin(), entries.end());
  Bytes out;
  const auto flush = [&out](const Bytes& data) {
    Bytes section;
    const std::size_t size = data.size() + 2;
    section.push_back(static_cast<std::uint8_t>(size >> 8));
    section.push_back(static_cast<std::uint8_t>(size & 0xFF));
    append(section, data);
    const std::uint16_t crc = crc16(section, kSectionCrcSeed);
    append(out, section);
    out.push_back(static_cast<std::uint8_t>(crc >> 8));
    out.push_back(static_cast<std::uint8_t>(crc & 0xFF));
  };
  Bytes data;
  std::uint64_t lastHandle = 0;
  std::int64_t lastOffset = 0;
  for (const auto& [handle, offset] : entries) {
    BitWriter pair;
    pair.writeUMC(handle - lastHandle);
    pair.writeMC(static_cast<std::int64_t>(offset) - lastOffset);
    if (data.size() + pair.bytes().size() > kMaxMapSectionData) {
      flush(data);
      data.clear();
      pair = BitWriter();
      pair.writeUMC(handle);
      pair.writeMC(static_cast<std::int64_t>(offset));
    }
    append(data, pair.bytes());
    lastHandle = handle;
    lastOffset = static_cast<std::int64_t>(offset);
  }
  if (!data.empty()) flush(data);
  flush(Bytes{});
  return out;
}

Bytes buildR13File(const R13Parts& parts) {
  const unsigned count = locatorCount(parts.release);
  const std::size_t fileHeaderSize = 0x19 + count * 9 + 2 + 16;
  const std::size_t headerOffset = fileHeaderSize;
  const std::size_t classesOffset = headerOffset + parts.header.size();
  const std::size_t objectsOffset = classesOffset + parts.classes.size();
  std::vector<std::pair<std::uint64_t, std::uint64_t>> entries;
  for (const auto& [handle, offset] : parts.handleOffsets) entries.emplace_back(handle, objectsOffset + offset);
  const Bytes map = objectMap(std::move(entries));
  const std::size_t mapOffset = objectsOffset + parts.objects.size();
  const std::size_t secondOffset = mapOffset + map.size();
  // The template section holds an empty description and MEASUREMENT 0.
  const Bytes templ{0, 0, 0, 0};

  std::vector<Locator> locators{
      {0, static_cast<std::uint32_t>(headerOffset), static_cast<std::uint32_t>(parts.header.size())},
      {1, static_cast<std::uint32_t>(classesOffset), static_cast<std::uint32_t>(parts.classes.size())},
      {2, static_cast<std::uint32_t>(mapOffset), static_cast<std::uint32_t>(map.size())},
      {3, 0, 0},
      // The template's place is known once the second header's size is;
      // any placeholder of four bytes' encoding gives that size.
      {4, static_cast<std::uint32_t>(secondOffset), static_cast<std::uint32_t>(templ.size())},
  };
  if (count == 6) locators.push_back({5, 0, 0});
  const std::size_t templOffset = secondOffset + secondHeader(parts, secondOffset, locators).size();
  locators[4].seeker = static_cast<std::uint32_t>(templOffset);
  const Bytes second = secondHeader(parts, secondOffset, locators);
  const std::size_t imageOffset = templOffset + templ.size();

  Bytes file;
  appendVersion(file, parts.version);
  file.insert(file.end(), {0, 0, 0, 0, 0, r13Maintenance(parts.release), kR13FileHeaderFlag});
  appendRL(file, static_cast<std::uint32_t>(imageOffset));
  file.insert(file.end(), std::begin(kAppRelease), std::end(kAppRelease));
  appendRS(file, parts.codePage);
  appendRL(file, count);
  for (const Locator& l : locators) {
    file.push_back(l.number);
    appendRL(file, l.seeker);
    appendRL(file, l.size);
  }
  appendRS(file, static_cast<std::uint16_t>(crc16(file, 0) ^ locatorCrcMask(count)));
  append(file, kLocatorEnd);
  append(file, parts.header);
  append(file, parts.classes);
  append(file, parts.objects);
  append(file, map);
  append(file, second);
  append(file, templ);
  append(file, imageArea(imageOffset, parts.imageCode, parts.picture));
  return file;
}

Bytes buildR2004File(const R2004Parts& parts) {
  // Sections in page order, the preview right after the summary information
  // unless one is given.
  std::vector<NamedSection> sections = parts.sections;
  std::size_t previewIndex = 0;
  bool previewGiven = false;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    if (sections[i].name == "AcDb:SummaryInfo" && !previewGiven) previewIndex = i + 1;
    if (sections[i].name == "AcDb:Preview") {
      previewIndex = i;
      previewGiven = true;
    }
  }
  if (!previewGiven)
    sections.insert(sections.begin() + static_cast<std::ptrdiff_t>(previewIndex), {"AcDb:Preview", {}, false});

  // Plain sections keep one page of their size rounded up; compressed ones
  // are cut into pages of 0x7400 bytes. Page numbers count from 1 in file
  // order; the section map and the page map take the last two.
  std::vector<PlannedSection> planned;
  std::vector<PlannedPage> pages;
  std::uint64_t address = kPageBase;
  std::vector<std::uint64_t> addresses;
  std::uint64_t previewAddress = 0;
  std::uint64_t summaryAddress = 0;
  std::uint32_t nextId = 1;
  for (std::size_t i = 0; i < sections.size(); ++i) {
    NamedSection& s = sections[i];
    PlannedSection p;
    p.name = s.name;
    p.compressed = s.compressed;
    p.id = nextId++;
    if (i == previewIndex) {
      previewAddress = address + 32;
      if (!previewGiven) s.data = imageArea(previewAddress, parts.imageCode, parts.picture);
    }
    if (s.name == "AcDb:SummaryInfo") summaryAddress = address + 32;
    p.size = s.data.size();
    if (!s.compressed) p.maxPageSize = static_cast<std::uint32_t>(std::max<std::size_t>(aligned(s.data.size()), kPageAlign));
    for (std::uint64_t offset = 0; offset < s.data.size(); offset += p.maxPageSize) {
      const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(s.data.size(), offset + p.maxPageSize));
      Bytes chunk(s.data.begin() + static_cast<std::ptrdiff_t>(offset), s.data.begin() + static_cast<std::ptrdiff_t>(end));
      PlannedPage page;
      page.number = static_cast<std::uint32_t>(pages.size() + 1);
      page.sectionId = p.id;
      page.startOffset = offset;
      if (s.compressed) {
        page.stored = literalStream(chunk);
      } else {
        chunk.resize(p.maxPageSize, 0);
        page.stored = std::move(chunk);
      }
      p.pages.push_back(pages.size());
      addresses.push_back(address);
      address += aligned(32 + page.stored.size());
      pages.push_back(std::move(page));
    }
    planned.push_back(std::move(p));
  }

  // The section map: a preamble, then each section with its pages, led by
  // the nameless empty section real drawings list first.
  Bytes sectionMap;
  const auto sectionCount = static_cast<std::uint32_t>(planned.size() + 1);
  for (std::uint32_t v : {sectionCount, 2u, kMaxPageData, 0u, sectionCount}) appendRL(sectionMap, v);
  const auto describe = [&](const std::string& name, std::uint64_t size, std::uint32_t pageCount,
                            std::uint32_t maxPage, bool compressed, std::uint32_t id) {
    appendRLL(sectionMap, size);
    appendRL(sectionMap, pageCount);
    appendRL(sectionMap, maxPage);
    appendRL(sectionMap, 1);
    appendRL(sectionMap, compressed ? 2 : 1);
    appendRL(sectionMap, id);
    appendRL(sectionMap, 0);  // not encrypted
    Bytes field(64, 0);
    std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 63), field.begin());
    append(sectionMap, field);
  };
  describe("", 0, 0, kMaxPageData, true, 0);
  for (const PlannedSection& p : planned) {
    describe(p.name, p.size, static_cast<std::uint32_t>(p.pages.size()), p.maxPageSize, p.compressed, p.id);
    for (std::size_t index : p.pages) {
      appendRL(sectionMap, pages[index].number);
      appendRL(sectionMap, static_cast<std::uint32_t>(pages[index].stored.size()));
      appendRLL(sectionMap, pages[index].startOffset);
    }
  }
  const Bytes sectionMapPage = systemPage(kSectionMapType, sectionMap);
  const auto sectionMapNumber = static_cast<std::uint32_t>(pages.size() + 1);
  address += sectionMapPage.size();

  // The page map lists every page with its size in file order, itself last;
  // its own size depends only on the number of entries.
  const auto pageMapNumber = sectionMapNumber + 1;
  const std::uint64_t pageMapAddress = address;
  const auto pageMapBytes = [&](std::uint32_t ownSize) {
    Bytes map;
    for (std::size_t i = 0; i < pages.size(); ++i) {
      appendRL(map, pages[i].number);
      appendRL(map, static_cast<std::uint32_t>(aligned(32 + pages[i].stored.size())));
    }
    appendRL(map, sectionMapNumber);
    appendRL(map, static_cast<std::uint32_t>(sectionMapPage.size()));
    appendRL(map, pageMapNumber);
    appendRL(map, ownSize);
    return map;
  };
  const std::uint32_t pageMapSize = static_cast<std::uint32_t>(systemPage(kPageMapType, pageMapBytes(0)).size());
  const Bytes pageMapPage = systemPage(kPageMapType, pageMapBytes(pageMapSize));
  const std::uint64_t end = pageMapAddress + pageMapPage.size();

  Bytes header(kEncryptedHeaderSize, 0);
  std::copy(std::begin(kFileId), std::end(kFileId), header.begin());
  putRL(header, 0x10, kEncryptedHeaderSize);
  putRL(header, 0x14, 4);
  putRL(header, 0x24, 1);
  putRL(header, 0x28, pageMapNumber);                 // last page
  putRLL(header, 0x2C, end - kPageBase);              // end of the last page
  putRLL(header, 0x34, end);                          // the copy of this header
  putRL(header, 0x40, pageMapNumber);                 // pages in all
  putRL(header, 0x44, 0x20);
  putRL(header, 0x48, 0x80);
  putRL(header, 0x4C, 0x40);
  putRL(header, 0x50, pageMapNumber);
  putRLL(header, 0x54, pageMapAddress - kPageBase);
  putRL(header, 0x5C, sectionMapNumber);
  putRL(header, 0x60, pageMapNumber);                 // page array size
  putRL(header, 0x68, crc32(header));
  for (std::size_t i = 0; i < header.size(); ++i) header[i] ^= magicSequence()[i];

  Bytes file;
  appendVersion(file, parts.version);
  file.insert(file.end(), {0, 0, 0, 0, 0, parts.maintenance, 3});
  appendRL(file, static_cast<std::uint32_t>(previewAddress));
  file.insert(file.end(), {0x21, 0});  // release of the saving program
  appendRS(file, parts.codePage);
  file.insert(file.end(), {0, 0, 0});
  appendRL(file, 0);  // security flags: none
  appendRL(file, 0);
  appendRL(file, static_cast<std::uint32_t>(summaryAddress));
  appendRL(file, 0);  // no VBA project
  appendRL(file, 0x80);
  file.resize(0x80, 0);
  append(file, header);
  file.insert(file.end(), magicSequence().begin(), magicSequence().begin() + 0x14);
  for (std::size_t i = 0; i < pages.size(); ++i) append(file, dataPage(pages[i], addresses[i]));
  append(file, sectionMapPage);
  append(file, pageMapPage);
  append(file, header);
  return file;
}

}  // namespace veldra::dwgwrite::detail

namespace veldra::dwgwrite {

// The literal form of the page compression: one run of literals, then the
// end mark. A run is at least four bytes long, so shorter data is padded
// with zeros past its end (the section's size cuts them off again).
std::vector<std::uint8_t> literalStream(std::span<const std::uint8_t> data) {
  detail::Bytes padded(data.begin(), data.end());
  if (padded.size() < 4) padded.resize(4, 0);
  detail::Bytes out;
  const std::size_t length = padded.size();
  if (length <= 0x12) {
    out.push_back(static_cast<std::uint8_t>(length - 3));
  } else {
    out.push_back(0);
    std::size_t rest = length - 3 - 0x0F;
    while (rest > 0xFF) {
      out.push_back(0);
      rest -= 0xFF;
    }
    out.push_back(static_cast<std::uint8_t>(rest));
  }
  out.insert(out.end(), padded.begin(), padded.end());
  out.push_back(0x11);
  return out;
}

std::vector<std::uint8_t> repackR2004(std::span<const std::uint8_t> original,
                                      const std::vector<PackedSection>& sections) {
  constexpr std::size_t kFileHeader = 0x100;
  if (original.size() < kFileHeader) return {};
  detail::R2004Parts parts;
  parts.version.assign(original.begin(), original.begin() + 6);
  detail::Release release{};
  if (!detail::writtenRelease(parts.version, release) || release < detail::Release::kR2004) return {};
  parts.maintenance = original[0x0B];
  parts.codePage = static_cast<std::uint16_t>(original[0x13] | (original[0x14] << 8));
  for (const PackedSection& s : sections) parts.sections.push_back({s.name, s.data, true});
  return detail::buildR2004File(parts);
}

}  // namespace veldra::dwgwrite
