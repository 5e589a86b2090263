#include "evidence/features/feature_codec.h"

#include <algorithm>
#include <bit>

namespace veldra::evidence {

namespace {

// The features' own version (2: shapes by their own sizes and places by
// nearest neighbours, whatever the order, turn, mirror or scale; 3: typed
// numbers told from work drawn freely; 4: with what each drawing was
// started from; 8: measures and places drawn freely told to nine digits,
// with the choices they were made of); features kept under 1 or 2 are not read back, so that an
// earlier project kept so must be judged again to compare. Those kept
// under 3 are read without what the drawings were started from: an earlier
// project needs none of it.
constexpr std::uint8_t kFormat = kFeatureVersion;
constexpr std::uint8_t kFormatWithoutStart = 3;

// Lays bytes into room set aside once, growing it only where the room
// guessed was too little.
class Writer {
 public:
  explicit Writer(std::size_t room) : out_(std::max<std::size_t>(room, 16)) {}
  void byte(std::uint8_t b) {
    make(1);
    out_[size_++] = b;
  }
  void varint(std::uint64_t v) {
    make(10);
    while (v >= 0x80) {
      out_[size_++] = static_cast<std::uint8_t>(v | 0x80);
      v >>= 7;
    }
    out_[size_++] = static_cast<std::uint8_t>(v);
  }
  void fixed(std::uint64_t v) {
    // Least significant byte first, whatever the machine's order.
    make(8);
    for (int k = 0; k < 8; ++k) out_[size_++] = static_cast<std::uint8_t>(v >> (8 * k));
  }
  std::vector<std::uint8_t> take() {
    out_.resize(size_);
    return std::move(out_);
  }

 private:
  void make(std::size_t n) {
    if (out_.size() - size_ < n) out_.resize(std::max(out_.size() * 2, size_ + n));
  }
  std::vector<std::uint8_t> out_;
  std::size_t size_ = 0;
};

class Reader {
 public:
  explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
  bool byte(std::uint8_t& b) {
    if (at_ >= bytes_.size()) return false;
    b = bytes_[at_++];
    return true;
  }
  bool varint(std::uint64_t& v) {
    v = 0;
    for (int shift = 0; shift < 64; shift += 7) {
      std::uint8_t b;
      if (!byte(b)) return false;
      v |= static_cast<std::uint64_t>(b & 0x7F) << shift;
      if (!(b & 0x80)) return true;
    }
    return false;
  }
  bool fixed(std::uint64_t& v) {
    if (bytes_.size() - at_ < 8) return false;
    v = 0;
    for (int k = 0; k < 8; ++k) v |= static_cast<std::uint64_t>(bytes_[at_++]) << (8 * k);
    return true;
  }
  // A count of items of at least `minBytes` each that can still be there.
  bool count(std::uint64_t& n, std::size_t minBytes) {
    return varint(n) && n <= (bytes_.size() - at_) / minBytes;
  }
  bool done() const { return at_ == bytes_.size(); }

 private:
  std::span<const std::uint8_t> bytes_;
  std::size_t at_ = 0;
};

}  // namespace

std::vector<std::uint8_t> encodeFeatures(const DrawingFeatures& f) {
  // Room for the whole, at most a number's varint of 10 bytes each.
  Writer w(32 + f.geometry.size() * 18 + f.handles.size() * 26 + f.handleNumbers.size() * 10 +
           f.startKeys.size() * 20 + f.freeChoices.size() * 26);
  w.byte(kFormat);
  w.varint(f.entities);
  w.byte(f.geometryKnown ? 1 : 0);
  w.varint(f.geometry.size());
  for (const auto& x : f.geometry) {
    w.fixed(x.key);
    w.varint(x.count);
  }
  w.varint(f.handles.size());
  for (std::size_t k = 0; k < f.handles.size(); ++k) {
    w.fixed(f.handles[k].key);
    w.varint(f.handles[k].count);
    w.fixed(k < f.handleShapes.size() ? f.handleShapes[k] : 0);
  }
  w.varint(f.handleNumbers.size());
  std::uint64_t previous = 0;
  for (const std::uint64_t h : f.handleNumbers) {
    w.varint(h - previous);
    previous = h;
  }
  // What the drawing started from: per entity its handle feature, then its
  // features by their place in the list above (each is one of them).
  std::size_t entities = 0;
  for (std::size_t k = 0; k < f.startKeys.size(); ++k)
    entities += k == 0 || f.startKeys[k].first != f.startKeys[k - 1].first;
  w.varint(entities);
  for (std::size_t k = 0; k < f.startKeys.size();) {
    std::size_t end = k + 1;
    while (end < f.startKeys.size() && f.startKeys[end].first == f.startKeys[k].first) ++end;
    w.fixed(f.startKeys[k].first);
    w.varint(end - k);
    std::uint64_t before = 0;
    for (; k < end; ++k) {
      const auto at = std::lower_bound(f.geometry.begin(), f.geometry.end(), f.startKeys[k].second,
                                       [](const Feature& x, std::uint64_t v) { return x.key < v; });
      const auto index = static_cast<std::uint64_t>(at - f.geometry.begin());
      w.varint(index - before);  // ascending, as the keys are
      before = index;
    }
  }
  w.varint(f.freeChoices.size());
  for (const FreeChoice& c : f.freeChoices) {
    w.fixed(c.key);
    w.fixed(std::bit_cast<std::uint64_t>(c.measure));
    w.varint(c.piece);
  }
  return w.take();
}

std::optional<DrawingFeatures> decodeFeatures(std::span<const std::uint8_t> bytes) {
  Reader r(bytes);
  DrawingFeatures f;
  std::uint8_t format = 0, known = 0;
  std::uint64_t n = 0, v = 0;
  if (!r.byte(format) || (format != kFormat && format != kFormatWithoutStart)) return std::nullopt;
  if (!r.varint(v) || v > 0xFFFFFFFFu || !r.byte(known)) return std::nullopt;
  f.entities = static_cast<std::uint32_t>(v);
  f.geometryKnown = known != 0;
  if (!r.count(n, 9)) return std::nullopt;
  f.geometry.resize(n);
  for (auto& x : f.geometry) {
    if (!r.fixed(x.key) || !r.varint(v) || v > 0xFFFFFFFFu) return std::nullopt;
    x.count = static_cast<std::uint32_t>(v);
  }
  if (!r.count(n, 17)) return std::nullopt;
  f.handles.resize(n);
  f.handleShapes.resize(n);
  for (std::size_t k = 0; k < n; ++k) {
    if (!r.fixed(f.handles[k].key) || !r.varint(v) || v > 0xFFFFFFFFu || !r.fixed(f.handleShapes[k]))
      return std::nullopt;
    f.handles[k].count = static_cast<std::uint32_t>(v);
  }
  if (!r.count(n, 1)) return std::nullopt;
  f.handleNumbers.resize(n);
  std::uint64_t previous = 0;
  for (auto& h : f.handleNumbers) {
    if (!r.varint(v)) return std::nullopt;
    h = previous += v;
  }
  if (format == kFormat) {
    if (!r.count(n, 9)) return std::nullopt;
    for (std::uint64_t e = 0; e < n; ++e) {
      std::uint64_t handle = 0, keys = 0, index = 0;
      if (!r.fixed(handle) || !r.count(keys, 1)) return std::nullopt;
      for (std::uint64_t k = 0; k < keys; ++k) {
        if (!r.varint(v) || v > f.geometry.size() || (k > 0 && v == 0)) return std::nullopt;
        index += v;
        if (index >= f.geometry.size()) return std::nullopt;
        f.startKeys.emplace_back(handle, f.geometry[index].key);
      }
    }
    if (!std::is_sorted(f.startKeys.begin(), f.startKeys.end())) return std::nullopt;
    if (!r.count(n, 17)) return std::nullopt;
    f.freeChoices.resize(n);
    for (FreeChoice& c : f.freeChoices) {
      std::uint64_t bits = 0;
      if (!r.fixed(c.key) || !r.fixed(bits) || !r.varint(v) || v > 0xFFFFFFFFu) return std::nullopt;
      c.measure = std::bit_cast<double>(bits);
      c.piece = static_cast<std::uint32_t>(v);
    }
    for (std::size_t k = 1; k < f.freeChoices.size(); ++k)
      if (f.freeChoices[k - 1].key >= f.freeChoices[k].key) return std::nullopt;
  }
  if (!r.done()) return std::nullopt;
  // Keys must be in order, each once, for the measures that merge them.
  for (std::size_t k = 1; k < f.geometry.size(); ++k)
    if (f.geometry[k - 1].key >= f.geometry[k].key) return std::nullopt;
  for (std::size_t k = 1; k < f.handles.size(); ++k)
    if (f.handles[k - 1].key >= f.handles[k].key) return std::nullopt;
  return f;
}

std::vector<std::uint8_t> encodeKeys(std::span<const std::uint64_t> keys) {
  Writer w(keys.size() * 8);
  for (const std::uint64_t k : keys) w.fixed(k);
  return w.take();
}

std::optional<std::vector<std::uint64_t>> decodeKeys(std::span<const std::uint8_t> bytes) {
  if (bytes.size() % 8 != 0) return std::nullopt;
  Reader r(bytes);
  std::vector<std::uint64_t> keys(bytes.size() / 8);
  for (auto& k : keys) r.fixed(k);
  for (std::size_t k = 1; k < keys.size(); ++k)
    if (keys[k - 1] >= keys[k]) return std::nullopt;
  return keys;
}

}  // namespace veldra::evidence
