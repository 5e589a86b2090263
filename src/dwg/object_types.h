#pragma once

// Object type numbers below 500 are fixed by the format; higher numbers are
// classes listed in the drawing's own class section.

#include <cstdint>
#include <string_view>

namespace veldra::dwg::detail {

inline constexpr std::uint16_t kBlockControlType = 0x30;
inline constexpr std::uint16_t kBlockHeaderType = 0x31;
inline constexpr std::uint16_t kProxyEntityType = 0x1F2;
inline constexpr std::uint16_t kFirstClassType = 500;

// The automation class name of an entity of a fixed type, or nullptr when the
// type is no entity (or unknown).
std::string_view fixedEntityName(std::uint16_t type);

}  // namespace veldra::dwg::detail
