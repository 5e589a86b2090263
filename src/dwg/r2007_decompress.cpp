#include <algorithm>
#include <array>
#include <cstring>
#include <string>

#include "r2007_codec.h"

namespace veldra::dwg::detail::r2007 {
namespace {

// Literal runs are stored with their bytes in a shuffled order. A run is
// copied in chunks of 32 bytes and one shorter rest; each length 1..32 has its
// own order, built from the orders of smaller lengths. Each entry lists
// (length, source offset) pieces in the order they are written out.
struct Piece {
  std::uint8_t length;
  std::uint8_t offset;
};
constexpr Piece kPieces[33][5] = {
    {},
    {{1, 0}},
    {{1, 1}, {1, 0}},
    {{1, 2}, {1, 1}, {1, 0}},
    {{1, 0}, {1, 1}, {1, 2}, {1, 3}},
    {{1, 4}, {4, 0}},
    {{1, 5}, {4, 1}, {1, 0}},
    {{2, 5}, {4, 1}, {1, 0}},
    {{4, 0}, {4, 4}},
    {{1, 8}, {8, 0}},
    {{1, 9}, {8, 1}, {1, 0}},
    {{2, 9}, {8, 1}, {1, 0}},
    {{4, 8}, {8, 0}},
    {{1, 12}, {4, 8}, {8, 0}},
    {{1, 13}, {4, 9}, {8, 1}, {1, 0}},
    {{2, 13}, {4, 9}, {8, 1}, {1, 0}},
    {{8, 8}, {8, 0}},
    {{8, 9}, {1, 8}, {8, 0}},
    {{1, 17}, {16, 1}, {1, 0}},
    {{3, 16}, {16, 0}},
    {{4, 16}, {16, 0}},
    {{1, 20}, {4, 16}, {16, 0}},
    {{2, 20}, {4, 16}, {16, 0}},
    {{3, 20}, {4, 16}, {16, 0}},
    {{8, 16}, {16, 0}},
    {{8, 17}, {1, 16}, {16, 0}},
    {{1, 25}, {8, 17}, {1, 16}, {16, 0}},
    {{2, 25}, {8, 17}, {1, 16}, {16, 0}},
    {{4, 24}, {8, 16}, {16, 0}},
    {{1, 28}, {4, 24}, {8, 16}, {16, 0}},
    {{2, 28}, {4, 24}, {8, 16}, {16, 0}},
    {{1, 30}, {4, 26}, {8, 18}, {16, 2}, {2, 0}},
    {{16, 16}, {16, 0}},
};

using Order = std::array<std::uint8_t, 32>;

constexpr void expand(std::size_t length, std::size_t base, Order& order, std::size_t& at) {
  if (length == 1) {
    order[at++] = static_cast<std::uint8_t>(base);
    return;
  }
  for (const Piece& piece : kPieces[length]) {
    if (piece.length == 0) break;
    expand(piece.length, base + piece.offset, order, at);
  }
}

// kOrders[n][k]: which byte of an n-byte literal chunk goes to output position k.
constexpr std::array<Order, 33> makeOrders() {
  std::array<Order, 33> orders{};
  for (std::size_t n = 1; n <= 32; ++n) {
    std::size_t at = 0;
    expand(n, 0, orders[n], at);
  }
  return orders;
}
constexpr std::array<Order, 33> kOrders = makeOrders();
constexpr bool quartersReversed(const Order& order) {
  for (std::size_t k = 0; k < 32; ++k)
    if (order[k] != 24 - 8 * (k / 8) + k % 8) return false;
  return true;
}
static_assert(quartersReversed(kOrders[32]), "the copy of whole chunks below relies on this order");

// The order of a shorter chunk as runs of bytes kept in order (1, 4 or 8
// long), by where each run goes: with room past the chunk in both the data
// and the output, each run is copied as eight bytes, the next run writing
// over what the previous one copied past its end.
struct Runs {
  std::uint8_t count = 0;
  std::array<std::uint8_t, 8> to{};
  std::array<std::uint8_t, 8> from{};
};
constexpr std::array<Runs, 32> makeRuns() {
  std::array<Runs, 32> all{};
  for (std::size_t n = 1; n < 32; ++n) {
    const Order& order = kOrders[n];
    Runs& runs = all[n];
    for (std::size_t k = 0; k < n; ++k) {
      if (k > 0 && order[k] == order[k - 1] + 1 && k - runs.to[runs.count - 1] < 8) continue;
      runs.to[runs.count] = static_cast<std::uint8_t>(k);
      runs.from[runs.count] = order[k];
      ++runs.count;
    }
  }
  return all;
}
constexpr std::array<Runs, 32> kRuns = makeRuns();
constexpr bool runsFit() {
  for (const Runs& runs : kRuns)
    if (runs.count > runs.to.size()) return false;
  return true;
}
static_assert(runsFit());

// The steps of the decoder below are lambdas sharing its variables: each is
// put in place, so that the variables never leave registers.
#if defined(__GNUC__)
#define VELDRA_INLINE_LAMBDA __attribute__((always_inline))
#else
#define VELDRA_INLINE_LAMBDA
#endif

// Why a stream was refused; the message is made once it has been.
enum class Fault {
  kNone,
  kFirstInstruction,
  kEndsInside,
  kLiteralPastData,
  kMoreThanAnnounced,
  kBackTooFar,
  kWrongSize,
};

// The whole stream in one function, its places in the data and the output
// held in variables of its own, which stay in registers across the copies.
// It is long on purpose: it is the hot loop of reading an R2007 drawing
// (about half of its instructions). Split into functions or a class, the
// places went through memory around every copy and each step's refusal had
// to be checked again by its caller; as lambdas put in place they stay in
// registers and a refusal is told once, after the loop. Its steps are the
// lambdas above the loop, each small and named for what it reads.
Status decode(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  const std::uint8_t* const data = in.data();
  const std::size_t size = in.size();
  std::uint8_t* const outData = out.data();
  const std::size_t outSize = out.size();
  std::size_t pos = 0;
  std::size_t written = 0;
  // Where a short chunk of a literal run may start and still have room for
  // its eight-byte copies in both the data and the output.
  const std::uint8_t* const dataRoomEnd = size >= 40 ? data + (size - 40) : data;
  std::uint8_t* const outRoomEnd = outSize >= 40 ? outData + (outSize - 40) : outData;
  const bool roomAtAll = size >= 40 && outSize >= 40;
  Fault fault = Fault::kNone;
  std::size_t faultAt = 0;

  const auto fail = [&](Fault why) VELDRA_INLINE_LAMBDA {
    fault = why;
    faultAt = pos;
    return false;
  };
  const auto next = [&](std::uint8_t& byte) VELDRA_INLINE_LAMBDA {
    if (pos < size) [[likely]] {
      byte = data[pos++];
      return true;
    }
    return fail(Fault::kEndsInside);
  };
  const auto literalLength = [&](std::uint8_t op, std::size_t& length) VELDRA_INLINE_LAMBDA {
    length = static_cast<std::size_t>(op) + 8;
    if (length != 0x17) return true;
    std::uint8_t extra = 0;
    if (!next(extra)) return false;
    length += extra;
    if (extra != 0xff) return true;
    std::uint32_t more = 0;
    do {
      std::uint8_t lo = 0;
      std::uint8_t hi = 0;
      if (!next(lo) || !next(hi)) return false;
      more = lo | (static_cast<std::uint32_t>(hi) << 8);
      length += more;
    } while (more == 0xffff);
    return true;
  };
  // The longest instruction takes four bytes: with as many left (`roomy`),
  // its bytes are taken without asking each time whether the data ends.
  const auto instruction = [&](bool roomy, std::uint8_t& op, std::size_t& offset, std::size_t& length) VELDRA_INLINE_LAMBDA {
    const auto take = [&](std::uint8_t& byte) VELDRA_INLINE_LAMBDA {
      if (roomy) {
        byte = data[pos++];
        return true;
      }
      return next(byte);
    };
    std::uint8_t a = 0;
    std::uint8_t b = 0;
    switch (op >> 4) {
      case 0:
        if (!take(a) || !take(b)) return false;
        length = (op & 0xfu) + 0x13u + ((b >> 3) & 0x10u);
        offset = ((b & 0x78u) << 5) + 1 + a;
        op = b;
        return true;
      case 1:
        if (!take(a) || !take(b)) return false;
        length = (op & 0xfu) + 3;
        offset = ((b & 0xf8u) << 5) + 1 + a;
        op = b;
        return true;
      case 2: {
        if (!take(a) || !take(b)) return false;
        offset = a | (static_cast<std::size_t>(b) << 8);
        length = op & 7u;
        std::uint8_t c = 0;
        if ((op & 8) == 0) {
          if (!take(c)) return false;
          length += c & 0xf8u;
          op = c;
        } else {
          std::uint8_t d = 0;
          if (!take(c) || !take(d)) return false;
          ++offset;
          length += (static_cast<std::size_t>(c) << 3) + ((d & 0xf8u) << 8) + 0x100;
          op = d;
        }
        return true;
      }
      default:
        if (!take(a)) return false;
        length = op >> 4;
        offset = (op & 15u) + ((a & 0xf8u) << 1) + 1;
        op = a;
        return true;
    }
  };
  const auto copyLiteral = [&](std::size_t length) VELDRA_INLINE_LAMBDA {
    if (length > size - pos) return fail(Fault::kLiteralPastData);
    if (length > outSize - written) return fail(Fault::kMoreThanAnnounced);
    const std::uint8_t* src = data + pos;
    std::uint8_t* to = outData + written;
    pos += length;
    written += length;
    // A whole chunk of 32 is its four 8-byte quarters from last to first.
    for (; length >= 32; length -= 32, src += 32, to += 32) {
      std::memcpy(to, src + 24, 8);
      std::memcpy(to + 8, src + 16, 8);
      std::memcpy(to + 16, src + 8, 8);
      std::memcpy(to + 24, src, 8);
    }
    if (length == 0) return true;
    // A run of the last byte of 31 reaches 38 bytes.
    if (roomAtAll && src <= dataRoomEnd && to <= outRoomEnd) {
      const Runs& runs = kRuns[length];
      for (std::size_t r = 0; r < runs.count; ++r) std::memcpy(to + runs.to[r], src + runs.from[r], 8);
      return true;
    }
    const Order& order = kOrders[length];
    for (std::size_t k = 0; k < length; ++k) to[k] = src[order[k]];
    return true;
  };
  const auto copyMatch = [&](std::size_t offset, std::size_t length) VELDRA_INLINE_LAMBDA {
    if (offset == 0 || offset > written) return fail(Fault::kBackTooFar);
    if (length > outSize - written) return fail(Fault::kMoreThanAnnounced);
    const std::size_t room = outSize - written;
    std::uint8_t* to = outData + written;
    written += length;
    const std::uint8_t* from = to - offset;
    if (offset >= 16 && room >= length + 16) {
      // Sixteen at a time, each piece read from output already written; the
      // last may run past the copy into room later output fills.
      // The first piece is copied whatever the length: there is room for it.
      std::size_t k = 0;
      do {
        std::memcpy(to + k, from + k, 16);
        k += 16;
      } while (k < length);
    } else if (offset >= 8 && room >= length + 8) {
      for (std::size_t k = 0; k < length; k += 8) std::memcpy(to + k, from + k, 8);
    } else if (offset >= length) {
      std::memcpy(to, from, length);
    } else if (offset == 1) {
      std::memset(to, *from, length);
    } else if (length <= 2 * offset) {
      // Byte by byte: the source overlaps what this copy writes.
      for (std::size_t k = 0; k < length; ++k) to[k] = from[k];
    } else {
      // The copy repeats the last `offset` bytes: in pieces from the start of
      // the source up to where the copy has got, doubling each time.
      for (std::size_t done = 0; done < length;) {
        const std::size_t piece = std::min(done + offset, length - done);
        std::memcpy(to + done, from, piece);
        done += piece;
      }
    }
    return true;
  };

  // Literal runs and back references until the data ends.
  const auto stream = [&]() VELDRA_INLINE_LAMBDA {
    if (size == 0) return true;
    std::size_t literal = 0;
    if ((data[0] >> 4) == 2) {
      // A stream may open with a four-byte lead whose last byte gives a short
      // first literal run.
      if (size < 4) return fail(Fault::kFirstInstruction);
      pos = 4;
      literal = data[3] & 7u;
    } else {
      std::uint8_t op = 0;
      if (!next(op) || !literalLength(op, literal)) return false;
    }
    while (true) {
      if (!copyLiteral(literal)) return false;
      if (pos >= size) break;
      std::uint8_t op = 0;
      if (!next(op)) return false;
      literal = 0;
      // One or more back references follow a literal run; the low bits of the
      // last instruction byte give the next literal's length, or a fresh
      // opcode with a zero high half starts a longer literal.
      while (true) {
        std::size_t offset = 0;
        std::size_t length = 0;
        if (!(size - pos >= 4 ? instruction(true, op, offset, length) : instruction(false, op, offset, length)) ||
            !copyMatch(offset, length))
          return false;
        literal = op & 7u;
        if (literal != 0 || pos >= size) break;
        if (!next(op)) return false;
        if ((op >> 4) == 0) {
          if (!literalLength(op, literal)) return false;
          break;
        }
        if ((op >> 4) == 15) op &= 15;
      }
      if (pos >= size && literal == 0) break;
    }
    return true;
  };

  if (stream() && written != outSize) fail(Fault::kWrongSize);
  std::string message;
  switch (fault) {
    case Fault::kNone:
      return Status::Ok();
    case Fault::kFirstInstruction:
      message = "compressed data ends inside its first instruction";
      break;
    case Fault::kEndsInside:
      message = "compressed data ends inside an instruction";
      break;
    case Fault::kLiteralPastData:
      message = "a literal run reaches past the end of the compressed data";
      break;
    case Fault::kMoreThanAnnounced:
      message = "compressed data gives more than the announced " + std::to_string(outSize) + " bytes";
      break;
    case Fault::kBackTooFar:
      message = "a back reference points before the start of the data";
      break;
    case Fault::kWrongSize:
      message = "compressed data gives " + std::to_string(written) + " bytes, " + std::to_string(outSize) +
                " announced";
      break;
  }
  return {ErrorKind::kCorrupt, std::move(message), faultAt, ""};
}

}  // namespace

Status decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) { return decode(in, out); }

// The announced size has been counted against the drawing's bound by then.
Status decompress(std::span<const std::uint8_t> in, std::size_t outSize,
                  std::vector<std::uint8_t>& out) {
  out.resize(outSize);
  return decompress(in, std::span<std::uint8_t>(out));
}

}  // namespace veldra::dwg::detail::r2007
