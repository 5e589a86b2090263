#pragma once

// What tells a drawing's file from every other: a digest of its bytes, the
// same wherever the file lies. The teacher's marks go with it, so that they
// follow a class folder that moves and never pass to another file put in a
// marked one's place. Not a guard against a forger: a 128-bit digest that
// two different files of a class do not share by chance.

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

namespace veldra::evidence {

// 32 hexadecimal digits.
std::string contentDigest(std::span<const std::uint8_t> bytes);
// Of the file's bytes; empty when the file cannot be read.
std::string fileDigest(const std::filesystem::path& file);

}  // namespace veldra::evidence
