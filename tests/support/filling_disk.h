#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>

#include "app/textfile.h"

namespace veldra::testing {

// A disk that fills up: files open and are written on the real disk until
// `room` bytes in all have been written through it; every later write fails
// as on a full disk.
class FillingDisk : public FileDevice {
 public:
  explicit FillingDisk(std::size_t roomBytes) : room(roomBytes) {}
  std::unique_ptr<OpenFile> open(const std::filesystem::path& file, bool append) override;

  std::size_t room;
};

}  // namespace veldra::testing
