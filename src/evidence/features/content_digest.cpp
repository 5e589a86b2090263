#include "evidence/features/content_digest.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <optional>
#include <memory>
#include <vector>

#include "platform/file_facts.h"

namespace veldra::evidence {

namespace {

// MurmurHash3 (x64, 128 bits), taken block by block so that a file is read
// in pieces of any size.
class Digest {
 public:
  void add(std::span<const std::uint8_t> bytes) {
    total_ += bytes.size();
    std::size_t k = 0;
    while (held_ != 0 && k < bytes.size()) take(bytes[k++]);
    for (; k + 16 <= bytes.size(); k += 16) mix(word(bytes.data() + k), word(bytes.data() + k + 8));
    while (k < bytes.size()) take(bytes[k++]);
  }

  std::string text() {
    std::uint64_t k1 = 0, k2 = 0;
    for (std::size_t i = held_; i-- > 8;) k2 = (k2 << 8) | block_[i];
    for (std::size_t i = std::min<std::size_t>(held_, 8); i-- > 0;) k1 = (k1 << 8) | block_[i];
    if (held_ > 8) h2_ ^= rotl(k2 * kC2, 33) * kC1;
    if (held_ > 0) h1_ ^= rotl(k1 * kC1, 31) * kC2;
    h1_ ^= total_;
    h2_ ^= total_;
    h1_ += h2_;
    h2_ += h1_;
    h1_ = fmix(h1_);
    h2_ = fmix(h2_);
    h1_ += h2_;
    h2_ += h1_;
    static const char kHex[] = "0123456789abcdef";
    std::string out;
    for (const std::uint64_t h : {h1_, h2_})
      for (int s = 60; s >= 0; s -= 4) out += kHex[(h >> s) & 0xF];
    return out;
  }

 private:
  static constexpr std::uint64_t kC1 = 0x87c37b91114253d5ull, kC2 = 0x4cf5ad432745937full;
  static std::uint64_t rotl(std::uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }
  static std::uint64_t fmix(std::uint64_t k) {
    k ^= k >> 33;
    k *= 0xff51afd7ed558ccdull;
    k ^= k >> 33;
    k *= 0xc4ceb9fe1a85ec53ull;
    k ^= k >> 33;
    return k;
  }
  void take(std::uint8_t b) {
    block_[held_++] = b;
    if (held_ == 16) {
      mixBlock();
      held_ = 0;
    }
  }
  void mixBlock() { mix(word(block_.data()), word(block_.data() + 8)); }
  // Eight bytes as a little-endian number, on any machine.
  static std::uint64_t word(const std::uint8_t* p) {
    std::uint64_t v;
    if constexpr (std::endian::native == std::endian::little) {
      std::memcpy(&v, p, 8);
    } else {
      v = 0;
      for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
    }
    return v;
  }
  void mix(std::uint64_t k1, std::uint64_t k2) {
    h1_ ^= rotl(k1 * kC1, 31) * kC2;
    h1_ = (rotl(h1_, 27) + h2_) * 5 + 0x52dce729;
    h2_ ^= rotl(k2 * kC2, 33) * kC1;
    h2_ = (rotl(h2_, 31) + h1_) * 5 + 0x38495ab5;
  }

  std::uint64_t h1_ = 0, h2_ = 0, total_ = 0;
  std::array<std::uint8_t, 16> block_{};
  std::size_t held_ = 0;
};

}  // namespace

std::string contentDigest(std::span<const std::uint8_t> bytes) {
  Digest d;
  d.add(bytes);
  return d.text();
}

std::string fileDigest(const std::filesystem::path& file) {
  // Only a file is read: a pipe named like a drawing would wait for a
  // writer that never comes, a device give bytes without end.
  OpenedFile in(file);
  if (!in.isOpen()) return {};
  Digest d;
  constexpr std::size_t kPiece = std::size_t{64} << 10;
  const auto piece = std::make_unique_for_overwrite<std::uint8_t[]>(kPiece);
  for (;;) {
    const std::optional<std::size_t> got = in.read(piece.get(), kPiece);
    if (!got) return {};
    if (*got == 0) break;
    d.add(std::span<const std::uint8_t>(piece.get(), *got));
  }
  return d.text();
}

}  // namespace veldra::evidence
