#pragma once

// The findings of a run as the evidence store keeps them, so that the
// window shows the last result without reading a drawing: a compact byte
// form, read back with every length checked. The teacher's marks are kept
// apart from it and are not part of it.

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "evidence/judging/findings.h"

namespace veldra::evidence {

// Whether the pictures drawn from the drawings go with the findings, or
// are left to where each drawing's own evidence is kept beside them.
enum class WithPictures { kYes, kNo };
std::vector<std::uint8_t> encodeFindings(const Findings& findings, WithPictures pictures = WithPictures::kYes);
// Nothing when the bytes are not findings this version of the program wrote.
std::optional<Findings> decodeFindings(std::span<const std::uint8_t> bytes);
// Where the time of the run ends in encoded findings: what follows is the
// same for two runs that found the same.
std::optional<std::size_t> runTimeEnd(std::span<const std::uint8_t> bytes);

// A drawing's facts whole (its drawn picture too), as the shared store keeps
// them in one field; nothing when the bytes are not such.
std::vector<std::uint8_t> encodeDrawingFacts(const DrawingFacts& facts);
std::optional<DrawingFacts> decodeDrawingFacts(std::span<const std::uint8_t> bytes);

// What a drawing's facts hold that its reading made and the store keeps
// beside them: the picture drawn from its entities and why it shows no
// preview. Bytes that are not such leave `facts` as they were.
std::vector<std::uint8_t> encodeDrawnPicture(const DrawingFacts& facts);
void decodeDrawnPicture(std::span<const std::uint8_t> bytes, DrawingFacts& facts);

}  // namespace veldra::evidence
