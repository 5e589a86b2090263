#include "support/filling_disk.h"

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <streambuf>

namespace veldra::testing {
namespace {

// Passes writes on to a file until the disk's room is used up.
class RoomLimitedBuffer : public std::streambuf {
 public:
  RoomLimitedBuffer(std::filebuf& target, FillingDisk& disk) : target_(target), disk_(disk) {}

 protected:
  std::streamsize xsputn(const char* text, std::streamsize count) override {
    disk_.largestPiece = std::max(disk_.largestPiece, static_cast<std::size_t>(count));
    const auto allowed = std::min<std::streamsize>(count, static_cast<std::streamsize>(disk_.room));
    const std::streamsize put = allowed > 0 ? target_.sputn(text, allowed) : 0;
    disk_.room -= static_cast<std::size_t>(put);
    if (put < count) errno = ENOSPC;
    return put;
  }
  int_type overflow(int_type c) override {
    if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
    const char ch = traits_type::to_char_type(c);
    return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
  }
  int sync() override { return target_.pubsync(); }

 private:
  std::filebuf& target_;
  FillingDisk& disk_;
};

class RoomLimitedFile : public OpenFile {
 public:
  RoomLimitedFile(const std::filesystem::path& file, bool append, FillingDisk& disk)
      : buffer_(file_, disk), stream_(&buffer_) {
    file_.open(file, std::ios::binary | std::ios::out | (append ? std::ios::app : std::ios::trunc));
  }
  bool isOpen() const { return file_.is_open(); }
  std::ostream& stream() override { return stream_; }
  bool close() override {
    stream_.flush();
    const bool written = !stream_.fail();
    return file_.close() != nullptr && written;
  }

 private:
  std::filebuf file_;
  RoomLimitedBuffer buffer_;
  std::ostream stream_;
};

}  // namespace

std::unique_ptr<OpenFile> FillingDisk::open(const std::filesystem::path& file, bool append) {
  auto opened = std::make_unique<RoomLimitedFile>(file, append, *this);
  if (!opened->isOpen()) return nullptr;
  return opened;
}

}  // namespace veldra::testing
