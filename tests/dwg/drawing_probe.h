#pragma once

// Reads, for the tests, what the summary reader leaves alone: the header
// variables after the creation date up to VERSIONGUID, and the sections and
// check values of the paged layout. Written from the format's description
// and checked against the sample drawings, so that the test writer's output
// is checked by something other than itself.

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

inline std::string ascii(const std::u16string& units) { return std::string(units.begin(), units.end()); }

// The header variables in stored order up to VERSIONGUID.
inline HeaderFacts readHeader(const detail::Sections& sections, Release release) {
  HeaderFacts facts;
  const std::span<const std::uint8_t> data(sections.header);
  BitReader r(data);
  r.skip(16 * 8);
  r.readRL();  // the size, read again below
  if (release >= Release::kR2018 || (release >= Release::kR2010 && sections.maintenance > 3)) r.readRL();
  const bool apart = release >= Release::kR2007;
  BitReader strings;
  if (apart) {
    const std::uint64_t field = r.position();
    const std::uint64_t bits = r.readRL();
    if (!detail::openStringStream(data, r.position(), field + bits, strings)) return facts;
    r = BitReader(data, r.position(), strings.position());
  } else {
    const std::uint64_t start = r.position();
    const std::uint64_t size = BitReader(data, start - 32, start).readRL();
    r = BitReader(data, start, start + size * 8);
  }
  const bool old = release <= Release::kR14;
  const auto text = [&]() -> std::string { return apart ? ascii(readUnits(strings)) : r.readTV(); };
  const auto handle = [&]() {
    if (!apart) r.readH();
  };
  const auto bits = [&](int n) {
    for (int i = 0; i < n; ++i) r.readB();
  };
  const auto shorts = [&](int n) {
    for (int i = 0; i < n; ++i) r.readBS();
  };
  const auto doubles = [&](int n) {
    for (int i = 0; i < n; ++i) r.readBD();
  };
  const auto color = [&]() {
    r.readBS();
    if (release < Release::kR2004) return;
    r.readBL();
    const std::uint8_t flags = r.readRC();
    if (flags & 1) text();
    if (flags & 2) text();
  };
  const auto stamp = [&](StoredDate& d) {
    d.days = r.readBL();
    d.milliseconds = r.readBL();
  };
  if (release >= Release::kR2013) r.readBLL();
  doubles(4);
  for (int i = 0; i < 4; ++i) text();
  r.readBL();
  r.readBL();
  if (old) r.readBS();
  if (release <= Release::kR2000) r.readH();
  bits(old ? 3 : 2);
  bits(7);
  if (old) bits(1);
  if (release >= Release::kR2004) bits(1);
  bits(4);
  if (old) bits(2);
  bits(2);
  if (old) bits(1);
  bits(3);
  if (old) bits(1);
  bits(2);
  shorts(old ? 2 : 1);
  shorts(5);
  if (old) shorts(1);
  shorts(1);
  if (old) shorts(1);
  shorts(1);
  if (old) shorts(1);
  if (release >= Release::kR2004)
    for (int i = 0; i < 3; ++i) r.readBL();
  shorts(19);
  doubles(21);
  text();  // MENUNAME
  stamp(facts.created);
  stamp(facts.updated);
  if (release >= Release::kR2004)
    for (int i = 0; i < 3; ++i) r.readBL();
  stamp(facts.editingTime);
  stamp(facts.userTimer);
  color();
  facts.handseed = r.readH().value;
  for (int i = 0; i < (apart ? 6 : 5); ++i) handle();  // CLAYER ... CMLSTYLE
  if (!old) r.readBD();
  for (int space = 0; space < 2; ++space) {
    doubles(9);
    r.readRD(), r.readRD(), r.readRD(), r.readRD();
    doubles(10);
    handle();
    if (old) continue;
    handle();
    r.readBS();
    handle();
    doubles(18);
  }
  if (old) {
    bits(11);
    r.readRC(), r.readRC();
    bits(2);
    r.readRC(), r.readRC(), r.readRC();
    bits(1);
    for (int i = 0; i < 4; ++i) r.readRC();
    shorts(6);
    handle();
    doubles(17);
    for (int i = 0; i < 5; ++i) text();
    shorts(3);
    for (int i = 0; i < 13 + 5; ++i) handle();
    if (release == Release::kR14) shorts(4);
    facts.unreadBits = r.remaining();
    facts.ok = !r.failed();
    return facts;
  }
  text();
  text();
  doubles(9);
  if (apart) {
    doubles(2);
    r.readBS();
    color();
  }
  bits(6);
  shorts(apart ? 4 : 3);
  doubles(9);
  bits(1);
  shorts(1);
  bits(4);
  for (int i = 0; i < 3; ++i) color();
  shorts(11);
  bits(2);
  shorts(4);
  bits(1);
  shorts(1);
  if (apart) bits(1);
  if (release >= Release::kR2010) {
    bits(1);
    r.readBD();
    text();
    r.readBD();
    text();
  }
  for (int i = 0; i < (apart ? 8 : 5); ++i) handle();
  shorts(2);
  for (int i = 0; i < (release <= Release::kR2000 ? 13 : 12); ++i) handle();
  shorts(2);
  text();
  text();
  for (int i = 0; i < 3; ++i) handle();
  if (release >= Release::kR2004) handle(), handle();
  if (apart) handle();
  if (release >= Release::kR2013) handle();
  r.readBL();
  r.readBS();
  if (r.readBS() == 3) handle();
  facts.fingerprintGuid = text();
  facts.versionGuid = text();
  if (release >= Release::kR2004) {
    for (int i = 0; i < 6; ++i) r.readRC();
    shorts(2);
    r.readRC(), r.readRC();
    text();  // PROJECTNAME
  }
  for (int i = 0; i < 5; ++i) handle();
  if (!apart) shorts(4);
  if (apart) {
    bits(1);
    r.readBL(), r.readBL();
    doubles(6);
    r.readRC(), r.readRC();
    doubles(6);
    r.readBS();
    r.readRC();
    doubles(3);
    r.readBL();
    for (int i = 0; i < 4; ++i) r.readRC();
    bits(1);
    color();
    handle(), handle();
    r.readRC();
    r.readBD();
  }
  facts.unreadBits = r.remaining();
  facts.ok = !r.failed() && !(apart && strings.failed());
  return facts;
}

// ---- The paged layout, read independently of the reader's container code,
// with every check value verified.

inline std::uint32_t rl(std::span<const std::uint8_t> b, std::size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

inline std::uint32_t adler(std::uint32_t seed, std::span<const std::uint8_t> data) {
  std::uint32_t a = seed & 0xFFFF, b = seed >> 16;
  for (std::size_t at = 0; at < data.size();) {
    for (std::size_t end = std::min(data.size(), at + 0x15B0); at < end; ++at) b += a += data[at];
    a %= 0xFFF1;
    b %= 0xFFF1;
  }
  return (b << 16) | a;
}

inline std::uint32_t standardCrc32(std::span<const std::uint8_t> data) {
  std::uint32_t c = 0xFFFFFFFF;
  for (std::uint8_t byte : data) {
    c ^= byte;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xEDB88320 : c >> 1;
  }
  return ~c;
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
  if (standardCrc32(zeroed) != rl(header, 0x68)) problem("file header CRC-32");
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
    if (adler(adler(0, head), compressed) != rl(file, at + 16)) problem(std::string(what) + " check value");
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
      if (rl(head, 0x1C) != adler(0, data)) problem(name + " data check value");
      Bytes zeroedHead = head;
      std::fill(zeroedHead.begin() + 0x18, zeroedHead.begin() + 0x1C, 0);
      if (rl(head, 0x18) != adler(rl(head, 0x1C), zeroedHead)) problem(name + " page header check value");
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
