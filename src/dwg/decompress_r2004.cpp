// The LZ77 variant of R2004 and later pages: literal runs and back
// references, each opcode telling the length and distance of a copy and how
// many literals follow it.

#include <algorithm>
#include <cstring>

#include "format.h"

namespace veldra::dwg::detail {
namespace {

constexpr std::uint8_t kEndOpcode = 0x11;
constexpr std::size_t kSlop = 32;

// A copy from `distance` back that overlaps what it writes repeats the last
// `distance` bytes. Each piece is copied from the start of the source and
// reaches up to where the copy has got, so that it never overlaps itself;
// the pieces double in length.
void repeat(std::uint8_t* to, std::size_t distance, std::size_t count) {
  const std::uint8_t* from = to - distance;
  if (count <= 2 * distance) {
    for (std::size_t i = 0; i < count; ++i) to[i] = from[i];
    return;
  }
  std::size_t done = 0;
  while (done < count) {
    const std::size_t piece = std::min(done + distance, count - done);
    std::memcpy(to + done, from, piece);
    done += piece;
  }
}

// The whole stream in one function, its places in the data and the output
// held as pointers of its own, which stay in registers across the copies.
Status decompress(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::size_t& written) {
  const std::uint8_t* const inBegin = in.data();
  const std::uint8_t* const inEnd = inBegin + in.size();
  const std::uint8_t* ip = inBegin;
  std::uint8_t* const outBegin = out.data();
  std::uint8_t* const outEnd = outBegin + out.size();
  std::uint8_t* op = outBegin;
  bool ok = true;

  // The short copies below may write up to kSlop bytes past their end, where
  // later output lands; what is past the last byte written is zero again.
  const auto finish = [&](Status status) {
    std::memset(op, 0, static_cast<std::size_t>(std::min<std::ptrdiff_t>(outEnd - op, kSlop)));
    written = static_cast<std::size_t>(op - outBegin);
    return status;
  };
  const auto error = [&](const char* what) {
    return finish(makeError(ErrorKind::kCorrupt, what, static_cast<std::uint64_t>(ip - inBegin)));
  };
  const auto next = [&]() -> std::uint8_t {
    if (ip >= inEnd) [[unlikely]] {
      ok = false;
      return kEndOpcode;
    }
    return *ip++;
  };
  const auto literalLength = [&](std::uint8_t opcode) -> std::uint64_t {
    if (opcode != 0) return opcode + 3u;
    std::uint64_t length = 0x0F;
    std::uint8_t byte = next();
    while (byte == 0 && ok) {
      length += 0xFF;
      if (length > out.size() + 0x12) {  // longer than any page: stop reading zeros
        ok = false;
        break;
      }
      byte = next();
    }
    return length + byte + 3;
  };
  const auto longLength = [&]() -> std::uint64_t {
    std::uint64_t length = 0;
    std::uint8_t byte = next();
    while (byte == 0 && ok) {
      length += 0xFF;
      if (length > out.size()) {
        ok = false;
        break;
      }
      byte = next();
    }
    return length + byte;
  };
  const auto twoByteOffset = [&](unsigned& trailing) -> std::uint64_t {
    const std::uint8_t first = next();
    const std::uint8_t second = next();
    trailing = first & 3;
    return (first >> 2) | (static_cast<std::uint64_t>(second) << 6);
  };
  const auto copyLiterals = [&](std::uint64_t count) {
    if (!ok) return true;  // reported as cut short
    const auto inLeft = static_cast<std::size_t>(inEnd - ip);
    const auto outLeft = static_cast<std::size_t>(outEnd - op);
    if (count > inLeft || count > outLeft) return false;
    if (count <= kSlop && inLeft >= kSlop && outLeft >= kSlop) {
      std::memcpy(op, ip, kSlop);
    } else {
      std::memcpy(op, ip, static_cast<std::size_t>(count));
    }
    op += count;
    ip += count;
    return true;
  };
  const auto copyBack = [&](std::uint64_t length, std::uint64_t distance) {
    if (distance > static_cast<std::size_t>(op - outBegin) || length > static_cast<std::size_t>(outEnd - op))
      return false;
    std::uint8_t* to = op;
    const std::uint8_t* from = to - distance;
    const auto count = static_cast<std::size_t>(length);
    op += count;
    if (distance >= 16 && outEnd - op >= 16) {
      // Sixteen at a time: each piece is read from output already written.
      for (std::size_t i = 0; i < count; i += 16) std::memcpy(to + i, from + i, 16);
    } else if (distance >= length) {
      std::memcpy(to, from, count);
    } else if (distance == 1) {
      std::memset(to, *from, count);
    } else {
      repeat(to, static_cast<std::size_t>(distance), count);
    }
    return true;
  };

  std::uint8_t opcode = next();
  if ((opcode & 0xF0) == 0) {
    if (!copyLiterals(literalLength(opcode))) return error("literal run goes past the page");
    opcode = next();
  }
  while (ok) {
    if (opcode == kEndOpcode) break;
    std::uint64_t length = 0;
    std::uint64_t distance = 0;
    unsigned trailing = 0;
    if (opcode >= 0x40) {
      length = (opcode >> 4) - 1;
      const std::uint8_t second = next();
      distance = ((static_cast<std::uint64_t>(second) << 2) | ((opcode >> 2) & 3)) + 1;
      trailing = opcode & 3;
    } else if (opcode >= 0x21) {
      length = opcode - 0x1E;
      distance = twoByteOffset(trailing) + 1;
    } else if (opcode == 0x20) {
      length = longLength() + 0x21;
      distance = twoByteOffset(trailing) + 1;
    } else if (opcode >= 0x10) {
      length = opcode & 7;
      length = length == 0 ? longLength() + 9 : length + 2;
      distance = twoByteOffset(trailing) + ((opcode & 8) ? 0x4000u : 0u) + 0x4000;
    } else {
      return error("unexpected opcode in compressed data");
    }
    if (!ok) break;
    if (!copyBack(length, distance)) return error("back reference outside the page");
    if (trailing == 0) {
      opcode = next();
      if ((opcode & 0xF0) == 0 && ok) {
        if (!copyLiterals(literalLength(opcode))) return error("literal run goes past the page");
        opcode = next();
      }
      continue;
    }
    if (!copyLiterals(trailing)) return error("literal run goes past the page");
    opcode = next();
  }
  if (!ok) return error("compressed data cut short");
  return finish(Status::Ok());
}

}  // namespace

Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  std::size_t written = 0;
  return decompress(in, out, written);
}

Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::size_t& written) {
  return decompress(in, out, written);
}

}  // namespace veldra::dwg::detail
