#pragma once

// The input of the section fuzz targets, and of the seeds made for them: a
// release byte, the maintenance release, then the bytes of one or more
// sections, each but the last preceded by its length (RL).

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "format.h"

namespace veldra::dwg::fuzzing {

inline constexpr std::uint8_t kReleaseCount = 8;

struct SectionInput {
  detail::Release release = detail::Release::kR13;
  std::uint8_t maintenance = 0;
  std::vector<std::span<const std::uint8_t>> parts;
};

// False when the input is too short to hold `count` parts.
inline bool splitInput(std::span<const std::uint8_t> data, std::size_t count, SectionInput& out) {
  if (data.size() < 2 || count == 0) return false;
  out.release = static_cast<detail::Release>(data[0] % kReleaseCount);
  out.maintenance = data[1];
  std::size_t at = 2;
  out.parts.clear();
  for (std::size_t k = 0; k + 1 < count; ++k) {
    if (data.size() - at < 4) return false;
    const std::size_t length = data[at] | (data[at + 1] << 8) | (data[at + 2] << 16) |
                               (static_cast<std::size_t>(data[at + 3]) << 24);
    at += 4;
    if (length > data.size() - at) return false;
    out.parts.push_back(data.subspan(at, length));
    at += length;
  }
  out.parts.push_back(data.subspan(at));
  return true;
}

inline std::vector<std::uint8_t> joinInput(detail::Release release, std::uint8_t maintenance,
                                           const std::vector<std::span<const std::uint8_t>>& parts) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(release), maintenance};
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (k + 1 < parts.size()) {
      const std::size_t length = parts[k].size();
      for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(length >> (8 * i)));
    }
    out.insert(out.end(), parts[k].begin(), parts[k].end());
  }
  return out;
}

// Every byte sequence the reader hands out as text must be valid UTF-8.
inline bool validUtf8(const std::string& text) {
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t length = c < 0x80 ? 1 : (c >> 5) == 6 ? 2 : (c >> 4) == 14 ? 3 : (c >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > text.size()) return false;
    for (std::size_t k = 1; k < length; ++k)
      if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) return false;
    i += length;
  }
  return true;
}

// Every failure says what went wrong, and what was read is whole.
inline void checkResult(const Status& status, const std::vector<Entity>& entities,
                        const std::vector<Damage>& damage) {
  if (!status.ok() && status.message.empty()) __builtin_trap();
  for (const Entity& entity : entities)
    if (entity.className.empty()) __builtin_trap();
  for (const Damage& d : damage)
    if (d.message.empty()) __builtin_trap();
}

}  // namespace veldra::dwg::fuzzing
