#pragma once

// Reads, for the tests, what the summary reader leaves alone: the header
// variables to the last one (through the reader), and the sections and
// check values of the paged layout (independently of the reader's container
// code). Checked against the sample drawings, so that the writer's
// output is checked by something other than itself.

#include <algorithm>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "bit_reader.h"
#include "format.h"
#include "sections.h"

namespace veldra::dwg::probe {

using Bytes = std::vector<std::uint8_t>;
using detail::BitReader;
using detail::Release;

inline detail::Release releaseOf(std::span<const std::uint8_t> file) {
  Release release = Release::kR2000;
  detail::releaseOf(std::string(file.begin(), file.begin() + 6), release);
  return release;
}

inline Status sectionsOf(std::span<const std::uint8_t> file, detail::Sections& out) {
  out.version.assign(file.begin(), file.begin() + 6);
  const Release release = releaseOf(file);
  if (release <= Release::kR2000) return detail::readR13Sections(file, out);
  if (release == Release::kR2007) return detail::readR2007Sections(file, out);
  return detail::readR2004Sections(file, out);
}

struct HeaderFacts {
  StoredDate created, updated, editingTime, userTimer;
  std::uint64_t handseed = 0;
  std::optional<std::string> fingerprintGuid, versionGuid;
  std::uint64_t unreadBits = 0;  // left in the data stream after the last variable
  bool ok = false;
};

// Units as stored, without the reader's replacement of non-ASCII characters.
inline std::u16string readUnits(BitReader& r) {
  std::u16string out;
  const auto count = static_cast<std::uint16_t>(r.readBS());
  for (std::uint16_t i = 0; i < count && !r.failed(); ++i) out.push_back(static_cast<char16_t>(r.readRS()));
  return out;
}

// The header variables read by the reader to the last one, with the bits
// left after it: real drawings hold the layout's table to account.
inline HeaderFacts readHeader(const detail::Sections& sections, Release release) {
  HeaderFacts facts;
  Evidence evidence;
  Status damage;
  const Status status = detail::readWholeHeader(sections, release, facts.created, evidence, damage, facts.unreadBits);
  facts.updated = evidence.updated.value_or(StoredDate{});
  facts.editingTime = evidence.editingTime.value_or(StoredDate{});
  facts.userTimer = evidence.userTimer.value_or(StoredDate{});
  facts.handseed = evidence.handseed.value_or(0);
  facts.fingerprintGuid = evidence.fingerprintGuid;
  facts.versionGuid = evidence.versionGuid;
  facts.ok = status.ok() && damage.ok();
  return facts;
}

// The header variables of a whole drawing file; `ok` false when its
// sections or header cannot be read.
inline HeaderFacts headerOf(std::span<const std::uint8_t> file) {
  detail::Sections sections;
  if (!sectionsOf(file, sections).ok()) return {};
  return readHeader(sections, releaseOf(file));
}

// ---- The paged layout, read independently of the reader's container code,
// with every check value verified by the layout's own.

inline std::uint32_t rl(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

struct PagedFile {
  std::map<std::string, Bytes> sections;
  std::vector<std::string> problems;  // every check value that does not match
  std::uint32_t previewAddress = 0;   // file header 0x0D
  std::uint32_t summaryAddress = 0;   // file header 0x20
};

inline PagedFile readPaged(std::span<const std::uint8_t> file) {
  PagedFile out;
  const auto problem = [&out](std::string what) { out.problems.push_back(std::move(what)); };
  out.previewAddress = rl(file, 0x0D);
  out.summaryAddress = rl(file, 0x20);
  Bytes header(file.begin() + 0x80, file.begin() + 0xEC);
  std::uint32_t seed = 1;
  for (auto& b : header) {
    seed = seed * 0x343FD + 0x269EC3;
    b ^= static_cast<std::uint8_t>(seed >> 16);
  }
  Bytes zeroed = header;
  std::fill(zeroed.begin() + 0x68, zeroed.begin() + 0x6C, 0);
  if (layout::crc32(zeroed) != rl(header, 0x68)) problem("file header CRC-32");
  // The copy of the file header at the end is stored encrypted too.
  Bytes copy(file.end() - 0x6C, file.end());
  std::uint32_t copySeed = 1;
  for (auto& b : copy) {
    copySeed = copySeed * 0x343FD + 0x269EC3;
    b ^= static_cast<std::uint8_t>(copySeed >> 16);
  }
  if (copy != header) problem("file header copy at the end");
  const auto systemPage = [&](std::size_t at, std::uint32_t type, const char* what) {
    Bytes data;
    if (rl(file, at) != type) {
      problem(std::string(what) + " type");
      return data;
    }
    Bytes head(file.begin() + at, file.begin() + at + 20);
    std::fill(head.begin() + 16, head.end(), 0);
    const std::size_t stored = rl(file, at + 8);
    const auto compressed = file.subspan(at + 20, stored);
    if (layout::pageChecksum(layout::pageChecksum(0, head), compressed) != rl(file, at + 16)) problem(std::string(what) + " check value");
    data.assign(rl(file, at + 4), 0);
    if (!detail::decompressR2004(compressed, data).ok()) problem(std::string(what) + " data");
    return data;
  };
  const Bytes pageMap = systemPage(rl(header, 0x54) + 0x100, 0x41630E3B, "page map");
  std::map<std::uint32_t, std::size_t> pages;
  std::size_t address = 0x100;
  for (std::size_t at = 0; at + 8 <= pageMap.size(); at += 8) {
    pages[rl(pageMap, at)] = address;
    address += rl(pageMap, at + 4);
  }
  if (address + 0x6C != file.size()) problem("page sizes do not add up to the file");
  const Bytes sectionMap = systemPage(pages[rl(header, 0x5C)], 0x4163003B, "section map");
  if (sectionMap.size() < 20) return out;
  std::size_t at = 20;
  for (std::uint32_t s = 0; s < rl(sectionMap, 0) && at + 96 <= sectionMap.size(); ++s) {
    const std::uint64_t size = rl(sectionMap, at);
    const std::uint32_t count = rl(sectionMap, at + 8);
    const std::uint32_t maxPage = rl(sectionMap, at + 12);
    const bool compressed = rl(sectionMap, at + 20) == 2;
    const std::string name(reinterpret_cast<const char*>(sectionMap.data() + at + 32));
    at += 96;
    Bytes content(size, 0);
    for (std::uint32_t p = 0; p < count && at + 16 <= sectionMap.size(); ++p, at += 16) {
      const std::size_t page = pages[rl(sectionMap, at)];
      const std::uint32_t offset = rl(sectionMap, at + 8);
      Bytes head(file.begin() + page, file.begin() + page + 32);
      const std::uint32_t mask = 0x4164536B ^ static_cast<std::uint32_t>(page);
      for (std::size_t k = 0; k < 32; ++k) head[k] ^= static_cast<std::uint8_t>(mask >> (8 * (k % 4)));
      const std::uint32_t stored = rl(head, 8);
      const auto data = file.subspan(page + 32, stored);
      if (rl(head, 0) != 0x4163043B) problem(name + " page type");
      if (rl(head, 0x1C) != layout::pageChecksum(0, data)) problem(name + " data check value");
      Bytes zeroedHead = head;
      std::fill(zeroedHead.begin() + 0x18, zeroedHead.begin() + 0x1C, 0);
      if (rl(head, 0x18) != layout::pageChecksum(rl(head, 0x1C), zeroedHead)) problem(name + " page header check value");
      if (rl(sectionMap, at + 4) != stored) problem(name + " stored size in the section map");
      Bytes plain(maxPage, 0);
      if (compressed) {
        if (!detail::decompressR2004(data, plain).ok()) problem(name + " data");
      } else {
        std::copy_n(data.begin(), std::min<std::size_t>(data.size(), plain.size()), plain.begin());
      }
      for (std::size_t k = 0; k < plain.size() && offset + k < content.size(); ++k) content[offset + k] = plain[k];
    }
    out.sections[name] = std::move(content);
  }
  return out;
}

}  // namespace veldra::dwg::probe
