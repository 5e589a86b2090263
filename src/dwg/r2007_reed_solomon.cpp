#include <algorithm>
#include <array>

#include "r2007_codec.h"

#if defined(__SSE2__) || defined(_M_X64) || (defined(_M_IX86_FP) && _M_IX86_FP >= 2)
#include <emmintrin.h>
#define VELDRA_DWG_SSE2 1
#endif

#if defined(__GNUC__)
#define VELDRA_IN_PLACE __attribute__((always_inline))
#else
#define VELDRA_IN_PLACE
#endif

namespace veldra::dwg::detail::r2007 {
namespace {

constexpr std::size_t kMaxParity = kCodewordSize - kSystemBlockData;

// GF(256) arithmetic by logarithm tables; `exp` is doubled so that sums of
// two logarithms need no reduction. `byRoot[i]` multiplies by a^(i+1), the
// roots at which every clean code word is zero: checking a word is then one
// table look-up per byte and root.
struct Field {
  std::array<std::uint8_t, 512> exp{};
  std::array<std::uint8_t, 256> log{};
  std::array<std::array<std::uint8_t, 256>, kMaxParity> byRoot{};

  constexpr std::uint8_t mul(std::uint8_t a, std::uint8_t b) const {
    return (a == 0 || b == 0) ? 0 : exp[log[a] + log[b]];
  }
  std::uint8_t div(std::uint8_t a, std::uint8_t b) const {  // b != 0
    return a == 0 ? 0 : exp[log[a] + 255 - log[b]];
  }
  std::uint8_t power(unsigned n) const { return exp[n % 255]; }
};

constexpr Field makeField(unsigned polynomial) {
  Field field;
  unsigned x = 1;
  for (unsigned i = 0; i < 255; ++i) {
    field.exp[i] = field.exp[i + 255] = static_cast<std::uint8_t>(x);
    field.log[x] = static_cast<std::uint8_t>(i);
    x <<= 1;
    if (x & 0x100) x ^= polynomial;
  }
  field.exp[510] = field.exp[0];
  field.exp[511] = field.exp[1];
  for (std::size_t i = 0; i < kMaxParity; ++i) {
    for (unsigned v = 1; v < 256; ++v) field.byRoot[i][v] = field.exp[field.log[v] + i + 1];
  }
  return field;
}

// Data pages: x^8+x^4+x^3+x^2+1, 4 parity bytes. System pages (and the file
// header): x^8+x^6+x^5+x^3+1, 16 parity bytes. In both, byte j of a code word
// is the coefficient of x^j and the generator's roots are a^1 .. a^parity.
constexpr Field kDataField = makeField(0x11d);
constexpr Field kSystemField = makeField(0x169);

using Word = std::array<std::uint8_t, kCodewordSize>;

// A word is clean when the generator g(x) = (x + a^1) .. (x + a^parity)
// divides it, which is when all its syndromes are zero. The remainder is
// worked out as a CRC is, from the highest coefficient down: `byFeedback[f]`
// holds f * g(x) without its leading term, byte k the coefficient of x^k, so
// that each byte of the word costs one look-up instead of one per root.
template <std::size_t Parity>
struct Divisor {
  std::array<std::array<std::uint8_t, Parity>, 256> byFeedback{};
};

template <std::size_t Parity>
constexpr Divisor<Parity> makeDivisor(const Field& f) {
  std::array<std::uint8_t, Parity + 1> g{1};  // lowest coefficient first
  for (std::size_t i = 1; i <= Parity; ++i) {
    for (std::size_t k = i; k > 0; --k) g[k] = g[k - 1] ^ f.mul(g[k], f.exp[i]);
    g[0] = f.mul(g[0], f.exp[i]);
  }
  Divisor<Parity> divisor;
  for (unsigned v = 0; v < 256; ++v)
    for (std::size_t k = 0; k < Parity; ++k) divisor.byFeedback[v][k] = f.mul(static_cast<std::uint8_t>(v), g[k]);
  return divisor;
}

// The remainder's bytes as one or two 64-bit numbers, byte k at bits 8k.
struct Remainder16 {
  std::array<std::uint64_t, 256> low{};
  std::array<std::uint64_t, 256> high{};
};
struct Remainder4 {
  std::array<std::uint32_t, 256> bytes{};
};

constexpr Remainder16 packed(const Divisor<16>& d) {
  Remainder16 r;
  for (std::size_t v = 0; v < 256; ++v)
    for (std::size_t k = 0; k < 8; ++k) {
      r.low[v] |= std::uint64_t{d.byFeedback[v][k]} << (8 * k);
      r.high[v] |= std::uint64_t{d.byFeedback[v][k + 8]} << (8 * k);
    }
  return r;
}
constexpr Remainder4 packed(const Divisor<4>& d) {
  Remainder4 r;
  for (std::size_t v = 0; v < 256; ++v)
    for (std::size_t k = 0; k < 4; ++k) r.bytes[v] |= std::uint32_t{d.byFeedback[v][k]} << (8 * k);
  return r;
}

constexpr Remainder16 kSystemRemainder = packed(makeDivisor<16>(kSystemField));
constexpr Remainder4 kDataRemainder = packed(makeDivisor<4>(kDataField));

// Words are checked four at a time: their remainders are independent, so
// that the look-ups of one need not wait for those of another.
constexpr std::size_t kGroup = 4;
using Group = std::array<Word, kGroup>;

std::array<bool, kGroup> findClean(const Remainder16& t, const Group& words) {
  std::array<std::uint64_t, kGroup> low{};
  std::array<std::uint64_t, kGroup> high{};
  for (std::size_t k = kCodewordSize; k-- > 0;) {
    for (std::size_t w = 0; w < kGroup; ++w) {
      const auto feedback = static_cast<std::uint8_t>(high[w] >> 56);
      high[w] = ((high[w] << 8) | (low[w] >> 56)) ^ t.high[feedback];
      low[w] = ((low[w] << 8) | words[w][k]) ^ t.low[feedback];
    }
  }
  std::array<bool, kGroup> clean{};
  for (std::size_t w = 0; w < kGroup; ++w) clean[w] = (low[w] | high[w]) == 0;
  return clean;
}

std::array<bool, kGroup> findClean(const Remainder4& t, const Group& words) {
  std::array<std::uint32_t, kGroup> rest{};
  for (std::size_t k = kCodewordSize; k-- > 0;)
    for (std::size_t w = 0; w < kGroup; ++w) rest[w] = ((rest[w] << 8) | words[w][k]) ^ t.bytes[rest[w] >> 24];
  std::array<bool, kGroup> clean{};
  for (std::size_t w = 0; w < kGroup; ++w) clean[w] = rest[w] == 0;
  return clean;
}

// Evaluates the polynomial with coefficients `p` (lowest first) at x.
std::uint8_t evaluate(const Field& f, std::span<const std::uint8_t> p, std::uint8_t x) {
  std::uint8_t value = 0;
  for (std::size_t k = p.size(); k-- > 0;) value = f.mul(value, x) ^ p[k];
  return value;
}

// Corrects up to parity / 2 wrong bytes of `word` in place (Berlekamp-Massey,
// Chien search, Forney). Returns false, leaving `word` as it was, when the
// damage is beyond what the code can correct.
bool correct(const Field& f, std::size_t parity, Word& word) {
  std::array<std::uint8_t, kMaxParity> syndromes{};
  for (std::size_t k = word.size(); k-- > 0;) {
    for (std::size_t i = 0; i < parity; ++i) syndromes[i] = f.byRoot[i][syndromes[i]] ^ word[k];
  }
  if (std::all_of(syndromes.begin(), syndromes.end(), [](std::uint8_t v) { return v == 0; })) {
    return true;
  }

  // Error locator lambda(x) = prod(1 - X_k x) from the syndromes.
  std::array<std::uint8_t, kMaxParity + 1> lambda{1};
  std::array<std::uint8_t, kMaxParity + 1> previous{1};
  std::size_t errors = 0;
  std::size_t shift = 1;
  std::uint8_t previousDiscrepancy = 1;
  for (std::size_t n = 0; n < parity; ++n) {
    std::uint8_t discrepancy = syndromes[n];
    for (std::size_t i = 1; i <= errors; ++i) discrepancy ^= f.mul(lambda[i], syndromes[n - i]);
    if (discrepancy == 0) {
      ++shift;
      continue;
    }
    const auto saved = lambda;
    const std::uint8_t scale = f.div(discrepancy, previousDiscrepancy);
    for (std::size_t i = 0; i + shift <= parity; ++i) lambda[i + shift] ^= f.mul(scale, previous[i]);
    if (2 * errors <= n) {
      errors = n + 1 - errors;
      previous = saved;
      previousDiscrepancy = discrepancy;
      shift = 1;
    } else {
      ++shift;
    }
  }
  if (errors > parity / 2) return false;

  // Error values omega(x) = S(x) lambda(x) mod x^parity, and the formal
  // derivative of lambda for Forney's formula.
  std::array<std::uint8_t, kMaxParity> omega{};
  for (std::size_t i = 0; i < parity; ++i) {
    for (std::size_t j = 0; j <= i && j <= errors; ++j) omega[i] ^= f.mul(syndromes[i - j], lambda[j]);
  }
  std::array<std::uint8_t, kMaxParity + 1> derivative{};
  for (std::size_t i = 1; i <= errors; i += 2) derivative[i - 1] = lambda[i];

  Word fixed = word;
  std::size_t found = 0;
  for (std::size_t j = 0; j < word.size(); ++j) {
    // Byte j is wrong when lambda has a root at a^-j.
    const std::uint8_t inverse = f.power(static_cast<unsigned>(255 - j));
    if (evaluate(f, std::span(lambda).first(errors + 1), inverse) != 0) continue;
    const std::uint8_t slope = evaluate(f, std::span(derivative).first(errors), inverse);
    if (slope == 0) return false;
    fixed[j] ^= f.div(evaluate(f, std::span(omega).first(parity), inverse), slope);
    ++found;
  }
  if (found != errors) return false;
  word = fixed;
  return true;
}

}  // namespace

std::vector<std::uint8_t> deinterleave(std::span<const std::uint8_t> coded,
                                       std::size_t blockCount, Code code) {
  return deinterleave(coded, blockCount, code, blockCount);
}

std::vector<std::uint8_t> deinterleave(std::span<const std::uint8_t> coded, std::size_t blockCount, Code code,
                                       std::size_t words) {
  std::vector<std::uint8_t> data;
  if (blockCount == 0 || coded.size() / kCodewordSize < blockCount) return data;
  words = std::min(words, blockCount);
  const bool system = code == Code::kSystem;
  const Field& field = system ? kSystemField : kDataField;
  const std::size_t dataPerBlock = system ? kSystemBlockData : kDataBlockData;
  data.reserve(words * dataPerBlock);
  Group group{};  // past the last word, what an earlier group held: checked, not kept
  for (std::size_t first = 0; first < words; first += kGroup) {
    const std::size_t count = std::min(kGroup, words - first);
    for (std::size_t j = 0; j < kCodewordSize; ++j)
      for (std::size_t w = 0; w < count; ++w) group[w][j] = coded[j * blockCount + first + w];
    const std::array<bool, kGroup> clean =
        system ? findClean(kSystemRemainder, group) : findClean(kDataRemainder, group);
    for (std::size_t w = 0; w < count; ++w) {
      // A word past correcting is passed on as stored: the page checksum or
      // the structure that fails to parse then reports the damage.
      if (!clean[w]) correct(field, kCodewordSize - dataPerBlock, group[w]);
      data.insert(data.end(), group[w].begin(), group[w].begin() + static_cast<std::ptrdiff_t>(dataPerBlock));
    }
  }
  return data;
}

std::vector<std::uint8_t> deinterleaveAsStored(std::span<const std::uint8_t> coded,
                                               std::size_t blockCount, Code code) {
  std::vector<std::uint8_t> data;
  if (blockCount == 0 || coded.size() / kCodewordSize < blockCount) return data;
  data.resize(blockCount * (code == Code::kSystem ? kSystemBlockData : kDataBlockData));
  deinterleaveAsStored(coded, blockCount, code, data);
  return data;
}

void deinterleaveAsStored(std::span<const std::uint8_t> coded, std::size_t blockCount, Code code,
                          std::span<std::uint8_t> data) {
  const std::size_t dataPerBlock = code == Code::kSystem ? kSystemBlockData : kDataBlockData;
  if (blockCount == 0 || coded.size() / kCodewordSize < blockCount || data.size() != blockCount * dataPerBlock)
    return;
  // The stored bytes are a table of one row per byte of a word and one
  // column per word; the data is that table turned over. It is turned in
  // squares of 8 by 8, then what is left over byte by byte.
  std::size_t rows = 0;  // the bytes j of every word done
#ifdef VELDRA_DWG_SSE2
  rows = dataPerBlock - dataPerBlock % 8;
  // Past the last whole square, the last eight words are turned again when
  // there are as many: the words already done get the same bytes. Fewer
  // than eight words are one square, of which only those words are kept;
  // its rows are read eight bytes long, which the stored bytes still hold
  // (the rows of the parity follow those of the data).
  const bool overlap = blockCount % 8 != 0 && blockCount >= 8;
  // Written out without loops and put in place, so that the square stays
  // in registers.
  const auto square = [&](std::size_t j, std::size_t b, std::size_t words) VELDRA_IN_PLACE {
    const std::uint8_t* in = coded.data() + j * blockCount + b;
    const auto load = [&](std::size_t k) VELDRA_IN_PLACE {
      return _mm_loadl_epi64(reinterpret_cast<const __m128i*>(in + k * blockCount));
    };
    const __m128i t0 = _mm_unpacklo_epi8(load(0), load(1));
    const __m128i t1 = _mm_unpacklo_epi8(load(2), load(3));
    const __m128i t2 = _mm_unpacklo_epi8(load(4), load(5));
    const __m128i t3 = _mm_unpacklo_epi8(load(6), load(7));
    const __m128i u0 = _mm_unpacklo_epi16(t0, t1);
    const __m128i u1 = _mm_unpackhi_epi16(t0, t1);
    const __m128i u2 = _mm_unpacklo_epi16(t2, t3);
    const __m128i u3 = _mm_unpackhi_epi16(t2, t3);
    std::uint8_t* out = data.data() + b * dataPerBlock + j;
    const auto store = [&](std::size_t k, __m128i pair) VELDRA_IN_PLACE {
      if (2 * k < words) _mm_storel_epi64(reinterpret_cast<__m128i*>(out + 2 * k * dataPerBlock), pair);
      if (2 * k + 1 < words)
        _mm_storel_epi64(reinterpret_cast<__m128i*>(out + (2 * k + 1) * dataPerBlock), _mm_unpackhi_epi64(pair, pair));
    };
    store(0, _mm_unpacklo_epi32(u0, u2));
    store(1, _mm_unpackhi_epi32(u0, u2));
    store(2, _mm_unpacklo_epi32(u1, u3));
    store(3, _mm_unpackhi_epi32(u1, u3));
  };
  for (std::size_t j = 0; j < rows; j += 8) {
    for (std::size_t b = 0; b + 8 <= blockCount; b += 8) square(j, b, 8);
    if (overlap) square(j, blockCount - 8, 8);
    if (blockCount < 8) square(j, 0, blockCount);
  }
#endif
  // Byte j of every word lies in one run of the stored bytes.
  for (std::size_t j = rows; j < dataPerBlock; ++j) {
    const std::uint8_t* run = coded.data() + j * blockCount;
    std::uint8_t* to = data.data() + j;
    for (std::size_t block = 0; block < blockCount; ++block) to[block * dataPerBlock] = run[block];
  }
}

}  // namespace veldra::dwg::detail::r2007
