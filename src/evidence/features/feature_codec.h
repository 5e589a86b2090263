#pragma once

// A drawing's features as the evidence store keeps them: a compact byte
// form, read back with every length checked.

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "evidence/features/fingerprint.h"

namespace veldra::evidence {

std::vector<std::uint8_t> encodeFeatures(const DrawingFeatures& features);
// Nothing when the bytes are not features this program wrote.
std::optional<DrawingFeatures> decodeFeatures(std::span<const std::uint8_t> bytes);

// Sorted keys, eight bytes each.
std::vector<std::uint8_t> encodeKeys(std::span<const std::uint64_t> keys);
std::optional<std::vector<std::uint64_t>> decodeKeys(std::span<const std::uint8_t> bytes);

}  // namespace veldra::evidence
