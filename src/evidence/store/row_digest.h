#pragma once

// What a drawing's row and its sketch hold, as one number: a row that would
// be written again with the same number is left as it is. Not a guard
// against tampering, only against writing what is there already.

#include <cstdint>
#include <cstring>
#include <span>
#include <string>

namespace veldra::evidence {

class RowDigest {
 public:
  RowDigest& add(std::uint64_t v) {
    h_ = (h_ ^ v) * 0xBF58476D1CE4E5B9ull;
    h_ ^= h_ >> 31;
    h_ *= 0x94D049BB133111EBull;
    h_ ^= h_ >> 29;
    return *this;
  }
  RowDigest& add(std::int64_t v) { return add(static_cast<std::uint64_t>(v)); }
  RowDigest& add(int v) { return add(static_cast<std::uint64_t>(static_cast<std::int64_t>(v))); }
  RowDigest& add(bool v) { return add(std::uint64_t{v ? 1u : 0u}); }
  RowDigest& add(std::span<const std::uint8_t> bytes) {
    add(static_cast<std::uint64_t>(bytes.size()));
    std::size_t k = 0;
    for (; k + 8 <= bytes.size(); k += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes.data() + k, 8);
      add(word);
    }
    std::uint64_t tail = 0;
    for (std::size_t s = 0; k < bytes.size(); ++k, s += 8) tail |= static_cast<std::uint64_t>(bytes[k]) << s;
    return add(tail);
  }
  RowDigest& add(const std::string& text) {
    return add(std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  std::int64_t value() const { return static_cast<std::int64_t>(h_); }

 private:
  std::uint64_t h_ = 0x9E3779B97F4A7C15ull;
};

}  // namespace veldra::evidence
