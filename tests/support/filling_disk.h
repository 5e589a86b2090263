#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

#include "app/textfile.h"

namespace veldra::testing {

// A disk that fills up: files open and are written on the real disk until
// `room` bytes in all have been written through it; every later write fails
// as on a full disk. Nothing is buffered on the way: each piece a writer
// hands over reaches the file as it is.
class FillingDisk : public FileDevice {
 public:
  explicit FillingDisk(std::size_t roomBytes) : room(roomBytes) {}
  std::unique_ptr<OpenFile> open(const std::filesystem::path& file, bool append) override;

  std::size_t room;
  // The most bytes the writers handed over in one piece.
  std::size_t largestPiece = 0;
};

}  // namespace veldra::testing
