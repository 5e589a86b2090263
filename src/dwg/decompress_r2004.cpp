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

class Decompressor {
 public:
  Decompressor(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) : in_(in), out_(out) {}

  Status run() {
    std::uint8_t opcode = next();
    if ((opcode & 0xF0) == 0) {
      if (!copyLiterals(literalLength(opcode))) return error("literal run goes past the page");
      opcode = next();
    }
    while (ok_) {
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
      if (!ok_) break;
      if (!copyBack(length, distance)) return error("back reference outside the page");
      if (trailing == 0) {
        opcode = next();
        if ((opcode & 0xF0) == 0 && ok_) {
          if (!copyLiterals(literalLength(opcode))) return error("literal run goes past the page");
          opcode = next();
        }
        continue;
      }
      if (!copyLiterals(trailing)) return error("literal run goes past the page");
      opcode = next();
    }
    if (!ok_) return error("compressed data cut short");
    return Status::Ok();
  }

  // The short copies below may write up to kSlop bytes past their end, where
  // later output lands; what is past the last byte written is zero again.
  ~Decompressor() {
    const std::size_t end = std::min(out_.size(), written_ + kSlop);
    std::memset(out_.data() + written_, 0, end - written_);
  }

  std::size_t written() const { return written_; }

 private:
  std::uint8_t next() {
    if (at_ >= in_.size()) {
      ok_ = false;
      return kEndOpcode;
    }
    return in_[at_++];
  }

  std::uint64_t literalLength(std::uint8_t opcode) {
    if (opcode != 0) return opcode + 3u;
    std::uint64_t length = 0x0F;
    std::uint8_t byte = next();
    while (byte == 0 && ok_) {
      length += 0xFF;
      if (length > out_.size() + 0x12) {  // longer than any page: stop reading zeros
        ok_ = false;
        break;
      }
      byte = next();
    }
    return length + byte + 3;
  }

  std::uint64_t longLength() {
    std::uint64_t length = 0;
    std::uint8_t byte = next();
    while (byte == 0 && ok_) {
      length += 0xFF;
      if (length > out_.size()) {
        ok_ = false;
        break;
      }
      byte = next();
    }
    return length + byte;
  }

  std::uint64_t twoByteOffset(unsigned& trailing) {
    const std::uint8_t first = next();
    const std::uint8_t second = next();
    trailing = first & 3;
    return (first >> 2) | (static_cast<std::uint64_t>(second) << 6);
  }

  bool copyLiterals(std::uint64_t count) {
    if (!ok_) return true;  // reported as cut short
    if (count > in_.size() - at_ || count > out_.size() - written_) return false;
    if (count <= kSlop && in_.size() - at_ >= kSlop && out_.size() - written_ >= kSlop) {
      std::memcpy(out_.data() + written_, in_.data() + at_, kSlop);
    } else {
      std::memcpy(out_.data() + written_, in_.data() + at_, static_cast<std::size_t>(count));
    }
    written_ += static_cast<std::size_t>(count);
    at_ += static_cast<std::size_t>(count);
    return true;
  }

  bool copyBack(std::uint64_t length, std::uint64_t distance) {
    if (distance > written_ || length > out_.size() - written_) return false;
    std::uint8_t* to = out_.data() + written_;
    const std::uint8_t* from = to - distance;
    const auto count = static_cast<std::size_t>(length);
    written_ += count;
    if (distance >= 16 && out_.size() - written_ >= 16) {
      // Sixteen at a time: each piece is read from output already written.
      for (std::size_t i = 0; i < count; i += 16) std::memcpy(to + i, from + i, 16);
    } else if (distance >= length) {
      std::memcpy(to, from, count);
    } else if (distance == 1) {
      std::memset(to, *from, count);
    } else {
      repeat(to, distance, count);
    }
    return true;
  }

  // A copy from `distance` back that overlaps what it writes repeats the
  // last `distance` bytes. Each piece is copied from the start of the source
  // and reaches up to where the copy has got, so that it never overlaps
  // itself; the pieces double in length.
  static void repeat(std::uint8_t* to, std::size_t distance, std::size_t count) {
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

  Status error(const char* what) const { return makeError(ErrorKind::kCorrupt, what, at_); }

  std::span<const std::uint8_t> in_;
  std::span<std::uint8_t> out_;
  std::size_t at_ = 0;
  std::size_t written_ = 0;
  bool ok_ = true;
};

}  // namespace

Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out) {
  return Decompressor(in, out).run();
}

Status decompressR2004(std::span<const std::uint8_t> in, std::span<std::uint8_t> out, std::size_t& written) {
  Decompressor decompressor(in, out);
  Status s = decompressor.run();
  written = decompressor.written();
  return s;
}

}  // namespace veldra::dwg::detail
