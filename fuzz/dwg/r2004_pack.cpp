#include "r2004_pack.h"

#include <algorithm>
#include <array>

#include "checksum.h"

namespace veldra::dwg::fuzzing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPageBase = 0x100;
constexpr std::size_t kEncryptedAt = 0x80;
constexpr std::size_t kEncryptedSize = 0x6C;
constexpr std::uint32_t kPageMapType = 0x41630E3B;
constexpr std::uint32_t kSectionMapType = 0x4163003B;
constexpr std::uint32_t kDataPageType = 0x4163043B;
constexpr std::uint32_t kDataPageMask = 0x4164536B;
constexpr std::uint32_t kMaxPageData = 0x7400;
constexpr std::uint8_t kEndOpcode = 0x11;

void putRL(Bytes& b, std::size_t at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

void putRLL(Bytes& b, std::size_t at, std::uint64_t value) {
  putRL(b, at, static_cast<std::uint32_t>(value));
  putRL(b, at + 4, static_cast<std::uint32_t>(value >> 32));
}

void appendRL(Bytes& b, std::uint32_t value) {
  b.resize(b.size() + 4);
  putRL(b, b.size() - 4, value);
}

void mask(Bytes& file) {
  std::uint32_t seed = 1;
  for (std::size_t i = 0; i < kEncryptedSize; ++i) {
    seed = seed * 0x343FD + 0x269EC3;
    file[kEncryptedAt + i] ^= static_cast<std::uint8_t>(seed >> 16);
  }
}

// A page's data padded to the four bytes the shortest literal run holds.
Bytes compressed(std::span<const std::uint8_t> data) {
  Bytes padded(data.begin(), data.end());
  if (padded.size() < 4) padded.resize(4, 0);
  return literalStream(padded);
}

Bytes systemPage(std::uint32_t type, const Bytes& data) {
  const Bytes stored = compressed(data);
  Bytes page(20, 0);
  putRL(page, 0, type);
  putRL(page, 4, static_cast<std::uint32_t>(std::max<std::size_t>(data.size(), 4)));
  putRL(page, 8, static_cast<std::uint32_t>(stored.size()));
  putRL(page, 12, 2);
  putRL(page, 16, detail::pageChecksum(detail::pageChecksum(0, page), stored));
  page.insert(page.end(), stored.begin(), stored.end());
  return page;
}

}  // namespace

Bytes literalStream(std::span<const std::uint8_t> data) {
  Bytes out;
  const std::size_t length = data.size();
  if (length <= 18) {
    out.push_back(static_cast<std::uint8_t>(length - 3));
  } else {
    // 18 more than the opcode gives: runs of zero bytes add 255 each, and the
    // last byte the rest.
    out.push_back(0);
    std::size_t rest = length - 18;
    while (rest > 255) {
      out.push_back(0);
      rest -= 255;
    }
    out.push_back(static_cast<std::uint8_t>(rest));
  }
  out.insert(out.end(), data.begin(), data.end());
  out.push_back(kEndOpcode);
  return out;
}

Bytes packR2004(std::span<const std::uint8_t> original, const std::vector<PackedSection>& sections) {
  if (original.size() < kPageBase) return {};
  Bytes file(original.begin(), original.begin() + kPageBase);
  std::vector<std::pair<std::uint32_t, std::uint32_t>> pages;  // id, size in the file
  Bytes map(20, 0);
  putRL(map, 0, static_cast<std::uint32_t>(sections.size()));
  putRL(map, 4, 2);
  putRL(map, 8, kMaxPageData);
  putRL(map, 16, static_cast<std::uint32_t>(sections.size()));
  std::uint32_t id = 0;
  for (std::size_t s = 0; s < sections.size(); ++s) {
    const PackedSection& section = sections[s];
    const std::size_t count = (section.data.size() + kMaxPageData - 1) / kMaxPageData;
    Bytes description(32 + 64, 0);
    putRLL(description, 0, section.data.size());
    putRL(description, 8, static_cast<std::uint32_t>(count));
    putRL(description, 12, kMaxPageData);
    putRL(description, 20, 2);
    putRL(description, 24, static_cast<std::uint32_t>(s + 1));
    std::copy_n(section.name.begin(), std::min<std::size_t>(section.name.size(), 63), description.begin() + 32);
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t start = k * kMaxPageData;
      const std::size_t length = std::min<std::size_t>(kMaxPageData, section.data.size() - start);
      const auto part = std::span(section.data).subspan(start, length);
      const Bytes stored = compressed(part);
      const auto address = static_cast<std::uint32_t>(file.size());
      Bytes header(32, 0);
      putRL(header, 0, kDataPageType);
      putRL(header, 4, static_cast<std::uint32_t>(s + 1));
      putRL(header, 8, static_cast<std::uint32_t>(stored.size()));
      putRL(header, 12, static_cast<std::uint32_t>(stored.size() + 32));
      putRLL(header, 0x10, start);
      const std::uint32_t dataChecksum = detail::pageChecksum(0, stored);
      putRL(header, 0x1C, dataChecksum);
      putRL(header, 0x18, detail::pageChecksum(dataChecksum, header));
      const std::uint32_t pageMask = kDataPageMask ^ address;
      for (std::size_t i = 0; i < 32; ++i) header[i] ^= static_cast<std::uint8_t>(pageMask >> (8 * (i % 4)));
      file.insert(file.end(), header.begin(), header.end());
      file.insert(file.end(), stored.begin(), stored.end());
      pages.emplace_back(++id, static_cast<std::uint32_t>(32 + stored.size()));
      Bytes ref(16, 0);
      putRL(ref, 0, id);
      putRL(ref, 4, static_cast<std::uint32_t>(stored.size()));
      putRLL(ref, 8, start);
      description.insert(description.end(), ref.begin(), ref.end());
    }
    map.insert(map.end(), description.begin(), description.end());
  }
  const std::uint32_t sectionMapId = ++id;
  const Bytes sectionMap = systemPage(kSectionMapType, map);
  file.insert(file.end(), sectionMap.begin(), sectionMap.end());
  pages.emplace_back(sectionMapId, static_cast<std::uint32_t>(sectionMap.size()));
  const std::uint32_t pageMapId = ++id;
  const std::uint64_t pageMapAddress = file.size();
  Bytes pageMap;
  for (const auto& [page, size] : pages) {
    appendRL(pageMap, page);
    appendRL(pageMap, size);
  }
  // The page map lists itself last; the value of its own size does not
  // change the length of its data.
  appendRL(pageMap, pageMapId);
  appendRL(pageMap, 0);
  putRL(pageMap, pageMap.size() - 4, static_cast<std::uint32_t>(systemPage(kPageMapType, pageMap).size()));
  const Bytes pageMapPage = systemPage(kPageMapType, pageMap);
  file.insert(file.end(), pageMapPage.begin(), pageMapPage.end());

  mask(file);
  putRL(file, kEncryptedAt + 0x28, pageMapId);  // the last page
  putRLL(file, kEncryptedAt + 0x2C, file.size() - kPageBase);
  putRL(file, kEncryptedAt + 0x40, id);
  putRL(file, kEncryptedAt + 0x50, pageMapId);
  putRLL(file, kEncryptedAt + 0x54, pageMapAddress - kPageBase);
  putRL(file, kEncryptedAt + 0x5C, sectionMapId);
  putRL(file, kEncryptedAt + 0x60, id);
  putRL(file, kEncryptedAt + 0x68, 0);
  putRL(file, kEncryptedAt + 0x68, detail::crc32(std::span(file).subspan(kEncryptedAt, kEncryptedSize)));
  mask(file);
  return file;
}

}  // namespace veldra::dwg::fuzzing
