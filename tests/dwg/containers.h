#pragma once

// Containers of the paged layouts made here, to be broken field by field:
// an R2004-family container whose sections are stored uncompressed unless
// given compressed pages, and a small AC1021 (R2007) container whose pages
// are interleaved Reed-Solomon code words. The sample drawings hold each
// layout as a CAD program writes it; these hold what no real drawing would.

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "checksum.h"
#include "drawing_bytes.h"
#include "format.h"
#include "r2007_codec.h"
#include "sections.h"

namespace veldra::dwg::testbytes {

namespace r2004 {

using detail::crc32;
using detail::pageChecksum;

constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;

inline void putRLL(Bytes& b, std::size_t at, std::uint64_t value) {
  putRL(b, at, static_cast<std::uint32_t>(value));
  putRL(b, at + 4, static_cast<std::uint32_t>(value >> 32));
}

// The file header at 0x80 is masked with a fixed byte sequence; masking
// twice unmasks.
inline void maskFileHeader(Bytes& b) {
  std::uint32_t seed = 1;
  for (std::size_t i = 0; i < 0x6C; ++i) {
    seed = seed * 0x343FD + 0x269EC3;
    b[0x80 + i] ^= static_cast<std::uint8_t>(seed >> 16);
  }
}


struct PageRef {
  std::uint32_t id = 0;
  std::uint64_t start = 0;
};

struct SectionPlan {
  std::string name;
  std::uint64_t size = 0;
  std::uint32_t maxPageSize = 0x7400;
  std::uint32_t compressed = 1;
  std::vector<PageRef> pages;
};

struct DataPage {
  std::uint32_t id = 0;
  std::uint32_t section = 0;
  Bytes data;                   // as stored
  bool wrongChecksum = false;
};

struct ContainerPlan {
  std::vector<DataPage> pages;
  std::vector<SectionPlan> sections;
  std::size_t padTo = 0;  // file size at least this
  bool wrongPageMapChecksum = false;
};

inline Bytes systemPage(std::uint32_t type, const Bytes& data, bool wrongChecksum) {
  Bytes page(20, 0);
  putRL(page, 0, type);
  putRL(page, 4, static_cast<std::uint32_t>(data.size()));
  putRL(page, 8, static_cast<std::uint32_t>(data.size()));
  putRL(page, 12, 1);  // stored as it is
  putRL(page, 16, pageChecksum(pageChecksum(0, page), data) ^ (wrongChecksum ? 1u : 0u));
  page.insert(page.end(), data.begin(), data.end());
  return page;
}

inline Bytes buildContainer(const ContainerPlan& plan) {
  Bytes file(0x100, 0);
  const std::string version = "AC1018";
  std::copy(version.begin(), version.end(), file.begin());
  std::vector<std::pair<std::uint32_t, std::uint32_t>> listed;  // id, size
  std::uint32_t lastId = 0;
  for (const DataPage& page : plan.pages) {
    const auto address = static_cast<std::uint32_t>(file.size());
    Bytes header(32, 0);
    putRL(header, 0, kDataPageType);
    putRL(header, 4, page.section);
    putRL(header, 8, static_cast<std::uint32_t>(page.data.size()));
    putRL(header, 12, static_cast<std::uint32_t>(page.data.size()));
    const std::uint32_t dataChecksum = pageChecksum(0, page.data) ^ (page.wrongChecksum ? 1u : 0u);
    putRL(header, 0x1C, dataChecksum);
    putRL(header, 0x18, pageChecksum(dataChecksum, header));
    const std::uint32_t mask = kDataPageMask ^ address;
    for (std::size_t k = 0; k < 32; ++k) header[k] ^= static_cast<std::uint8_t>(mask >> (8 * (k % 4)));
    file.insert(file.end(), header.begin(), header.end());
    file.insert(file.end(), page.data.begin(), page.data.end());
    listed.emplace_back(page.id, static_cast<std::uint32_t>(32 + page.data.size()));
    lastId = std::max(lastId, page.id);
  }
  Bytes map(20, 0);
  putRL(map, 0, static_cast<std::uint32_t>(plan.sections.size()));
  for (const SectionPlan& s : plan.sections) {
    Bytes d(96, 0);
    putRLL(d, 0, s.size);
    putRL(d, 8, static_cast<std::uint32_t>(s.pages.size()));
    putRL(d, 12, s.maxPageSize);
    putRL(d, 20, s.compressed);
    std::copy(s.name.begin(), s.name.end(), d.begin() + 32);
    for (const PageRef& p : s.pages) {
      Bytes ref(16, 0);
      putRL(ref, 0, p.id);
      putRLL(ref, 8, p.start);
      d.insert(d.end(), ref.begin(), ref.end());
    }
    map.insert(map.end(), d.begin(), d.end());
  }
  const std::uint32_t sectionMapId = lastId + 1;
  const Bytes sectionMap = systemPage(kSectionMapType, map, false);
  file.insert(file.end(), sectionMap.begin(), sectionMap.end());
  listed.emplace_back(sectionMapId, static_cast<std::uint32_t>(sectionMap.size()));
  Bytes pageMap;
  for (const auto& [id, size] : listed) {
    Bytes entry(8, 0);
    putRL(entry, 0, id);
    putRL(entry, 4, size);
    pageMap.insert(pageMap.end(), entry.begin(), entry.end());
  }
  const std::uint64_t pageMapAddress = file.size();
  const Bytes pageMapPage = systemPage(kPageMapType, pageMap, plan.wrongPageMapChecksum);
  file.insert(file.end(), pageMapPage.begin(), pageMapPage.end());
  if (file.size() < plan.padTo) file.resize(plan.padTo, 0);

  const std::string id = "AcFssFcAJMB";
  std::copy(id.begin(), id.end(), file.begin() + 0x80);
  putRLL(file, 0x80 + 0x54, pageMapAddress - 0x100);
  putRL(file, 0x80 + 0x5C, sectionMapId);
  putRL(file, 0x80 + 0x68, crc32(std::span(file).subspan(0x80, 0x6C)));
  maskFileHeader(file);
  return file;
}

inline Bytes pattern(std::size_t size, std::uint8_t salt) {
  Bytes b(size);
  for (std::size_t i = 0; i < size; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + salt);
  return b;
}

// The four sections the summary needs, each of one page; the objects of two.
inline ContainerPlan soundPlan() {
  ContainerPlan plan;
  const char* names[] = {"AcDb:Header", "AcDb:Classes", "AcDb:Handles", "AcDb:AcDbObjects"};
  std::uint32_t id = 1;
  for (std::uint32_t s = 0; s < 4; ++s) {
    SectionPlan section{names[s], 0, 0x100, 1, {}};
    for (int k = 0; k < (s == 3 ? 2 : 1); ++k) {
      plan.pages.push_back({id, s + 1, pattern(0x100, static_cast<std::uint8_t>(id)), false});
      section.pages.push_back({id, section.size});
      section.size += 0x100;
      ++id;
    }
    plan.sections.push_back(section);
  }
  return plan;
}

}  // namespace r2004

namespace r2007 {

using detail::r2007::kCodewordSize;
namespace codec = detail::r2007;

inline void put64(Bytes& out, std::size_t at, std::uint64_t value) {
  for (std::size_t k = 0; k < 8; ++k) out[at + k] = static_cast<std::uint8_t>(value >> (8 * k));
}
inline void append64(Bytes& out, std::initializer_list<std::uint64_t> values) {
  for (std::uint64_t value : values) {
    out.resize(out.size() + 8);
    put64(out, out.size() - 8, value);
  }
}
inline Bytes padTo(Bytes bytes, std::size_t multiple) {
  bytes.resize((bytes.size() + multiple - 1) / multiple * multiple, 0);
  return bytes;
}
// Reed-Solomon parity as the format stores it, worked out independently of
// the reader: byte j of a word is the coefficient of x^j, data first; the
// generator's roots are a^1 .. a^parity.
inline Bytes codeWord(Bytes data, unsigned polynomial) {
  const std::size_t parity = kCodewordSize - data.size();
  std::uint8_t exp[255], log[256] = {};
  for (unsigned i = 0, x = 1; i < 255; ++i, x = (x << 1) ^ ((x & 0x80) ? polynomial : 0)) {
    exp[i] = static_cast<std::uint8_t>(x);
    log[x] = static_cast<std::uint8_t>(i);
  }
  auto mul = [&](std::uint8_t a, std::uint8_t b) -> std::uint8_t {
    return (a && b) ? exp[(log[a] + log[b]) % 255] : 0;
  };
  Bytes g = {1};  // prod (x + a^i), lowest coefficient first
  for (std::size_t i = 1; i <= parity; ++i) {
    Bytes next(g.size() + 1, 0);
    for (std::size_t k = 0; k < g.size(); ++k) {
      next[k + 1] ^= g[k];
      next[k] ^= mul(g[k], exp[i]);
    }
    g = next;
  }
  Bytes rest(parity, 0);  // data(x) * x^parity mod g(x)
  for (std::size_t j = data.size(); j-- > 0;) {
    const std::uint8_t feedback = data[j] ^ rest[parity - 1];
    for (std::size_t t = parity - 1; t > 0; --t) rest[t] = rest[t - 1] ^ mul(feedback, g[t]);
    rest[0] = mul(feedback, g[0]);
  }
  data.insert(data.end(), rest.begin(), rest.end());
  return data;
}

// Spreads `data` over as many interleaved code words as it needs.
inline Bytes interleave(const Bytes& data, std::size_t dataPerBlock) {
  const std::size_t blocks = std::max<std::size_t>(1, codec::blocksFor(data.size(), dataPerBlock));
  Bytes coded(blocks * kCodewordSize, 0);
  for (std::size_t b = 0; b < blocks; ++b) {
    Bytes block(dataPerBlock, 0);
    for (std::size_t j = 0; j < dataPerBlock && b * dataPerBlock + j < data.size(); ++j) {
      block[j] = data[b * dataPerBlock + j];
    }
    const Bytes word = codeWord(block, dataPerBlock == codec::kDataBlockData ? 0x11d : 0x169);
    for (std::size_t j = 0; j < kCodewordSize; ++j) coded[j * blocks + b] = word[j];
  }
  return padTo(coded, 0x20);
}
inline Bytes bytesOf(const std::string& text) { return Bytes(text.begin(), text.end()); }

struct PageSpec {
  std::uint64_t id, listedId, dataOffset, uncompressed, compressed, checksum;
  Bytes stored;
};
inline PageSpec page(std::uint64_t id, std::uint64_t dataOffset, const Bytes& data,
              std::optional<Bytes> compressed = std::nullopt) {
  const Bytes stored = compressed.value_or(data);
  return {id, id, dataOffset, data.size(), stored.size(), codec::pageChecksum(0, data), stored};
}

struct SectionSpec {
  std::string name;
  std::uint64_t dataSize, encoding, encryption, nameBytes, pageCount;
  std::vector<PageSpec> pages;
};
inline SectionSpec section(const std::string& name, std::uint64_t dataSize, std::uint64_t encoding,
                    std::vector<PageSpec> pages) {
  return {name, dataSize, encoding, 0, 2 * name.size() + 2, pages.size(), std::move(pages)};
}

struct Layout {
  std::vector<SectionSpec> sections;
  std::uint64_t pageMapRepeats = 3, sectionMapRepeats = 2;
  std::optional<std::uint64_t> pageMapRepeatsField, sectionMapIdField;
  std::int32_t headerLength = -0x110;  // negative: the header fields are stored plain
};

inline Layout smallLayout() {
  Layout layout;
  Bytes header(70);
  for (std::size_t k = 0; k < header.size(); ++k) header[k] = static_cast<std::uint8_t>(k * 7);
  layout.sections.push_back(section("AcDb:Header", header.size(), 4, {page(2, 0, header)}));
  // Stored compressed: one 'x', then 256 more copied from one byte back.
  layout.sections.push_back(section(
      "AcDb:Classes", 257, 4,
      {page(3, 0, Bytes(257, 'x'), Bytes{0x20, 0, 0, 0x01, 'x', 0x28, 0, 0, 0, 0})}));
  layout.sections.push_back(section("AcDb:Handles", 4, 1, {page(4, 0, Bytes{0, 2, 0, 0})}));
  // Two pages around a left-out zero page; the second spans three code words.
  Bytes second(600);
  for (std::size_t k = 0; k < second.size(); ++k) second[k] = static_cast<std::uint8_t>(k % 251);
  layout.sections.push_back(section("AcDb:AcDbObjects", 630, 4,
                                    {page(5, 0, bytesOf("objects...")), page(6, 30, second)}));
  return layout;
}

inline Bytes systemPage(const Bytes& data, std::uint64_t repeats) {
  Bytes repeated;
  for (std::uint64_t k = 0; k < repeats; ++k) {
    const Bytes aligned = padTo(data, 8);
    repeated.insert(repeated.end(), aligned.begin(), aligned.end());
  }
  return interleave(repeated, codec::kSystemBlockData);
}

inline Bytes build(const Layout& layout) {
  constexpr std::uint64_t kPageMapId = 1, kSectionMapId = 9;
  std::vector<std::pair<std::uint64_t, Bytes>> pages;  // id, coded page
  Bytes sectionMap;
  for (const SectionSpec& s : layout.sections) {
    append64(sectionMap, {s.dataSize, 0xf800, s.encryption, 0, s.nameBytes, 0, s.encoding,
                          s.pageCount});
    for (char c : s.name) sectionMap.insert(sectionMap.end(), {static_cast<std::uint8_t>(c), 0});
    sectionMap.insert(sectionMap.end(), {0, 0});
    for (const PageSpec& p : s.pages) {
      append64(sectionMap, {p.dataOffset, p.uncompressed, p.listedId, p.uncompressed, p.compressed,
                            p.checksum, 0});
      const Bytes stored = padTo(p.stored, 8);
      pages.emplace_back(p.id, s.encoding == 1 ? padTo(stored, 0x20)
                                               : interleave(stored, codec::kDataBlockData));
    }
  }
  const Bytes sectionPage = systemPage(sectionMap, layout.sectionMapRepeats);

  // The page map lists itself, the data pages and the section map.
  const std::size_t entries = pages.size() + 2;
  Bytes pageMap;
  append64(pageMap, {systemPage(Bytes(entries * 16), layout.pageMapRepeats).size(), kPageMapId});
  for (const auto& [id, coded] : pages) append64(pageMap, {coded.size(), id});
  append64(pageMap, {sectionPage.size(), kSectionMapId});

  Bytes header(3 * codec::kSystemBlockData, 0);
  for (std::size_t k = 0; k < 4; ++k) {
    header[0x18 + k] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(layout.headerLength) >> (8 * k));
  }
  const std::pair<std::size_t, std::uint64_t> fields[] = {
      {0x00, 0x70},
      {0x18, layout.pageMapRepeatsField.value_or(layout.pageMapRepeats)},
      {0x50, pageMap.size()},
      {0x58, pageMap.size()},
      {0xb0, sectionMap.size()},
      {0xc0, layout.sectionMapIdField.value_or(kSectionMapId)},
      {0xc8, sectionMap.size()},
      {0xd8, layout.sectionMapRepeats}};
  for (const auto& [at, value] : fields) put64(header, 0x20 + at, value);

  Bytes file = bytesOf("AC1021");
  file.resize(0x480, 0);
  file[0x0b] = 0x1f;
  const Bytes codedHeader = interleave(header, codec::kSystemBlockData);
  std::copy(codedHeader.begin(), codedHeader.begin() + 3 * kCodewordSize, file.begin() + 0x80);
  const Bytes pageMapPage = systemPage(pageMap, layout.pageMapRepeats);
  file.insert(file.end(), pageMapPage.begin(), pageMapPage.end());
  for (const auto& page : pages) file.insert(file.end(), page.second.begin(), page.second.end());
  file.insert(file.end(), sectionPage.begin(), sectionPage.end());
  return file;
}

}  // namespace r2007

}  // namespace veldra::dwg::testbytes
