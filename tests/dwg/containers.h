#pragma once

// An R2004-family container made here, to be broken field by field: its
// sections stored uncompressed unless given compressed pages. The sample
// drawings hold the layout as a CAD program writes it; this holds what no
// real drawing would (pages overlapping, a section that would expand past
// what one drawing may take).

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "checksum.h"
#include "drawing_bytes.h"
#include "format.h"

namespace veldra::dwg::testbytes::r2004 {

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

}  // namespace veldra::dwg::testbytes::r2004
