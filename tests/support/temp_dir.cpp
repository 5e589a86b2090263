#include "support/temp_dir.h"

#include <atomic>
#include <chrono>
#include <fstream>
#include <random>

#include "platform/platform.h"

namespace veldra::testing {

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  const auto base = std::filesystem::temp_directory_path();
  for (;;) {
    auto candidate = base / ("veldra-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (std::filesystem::create_directory(candidate, ec)) {
      path_ = candidate;
      return;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Make everything writable again so that read-only test files go too.
  for (auto it = std::filesystem::recursive_directory_iterator(path_, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    std::error_code ignored;
    std::filesystem::permissions(it->path(), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
  }
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                               std::filesystem::perm_options::add, ec);
  std::filesystem::remove_all(path_, ec);
}

std::filesystem::path TempDir::makeWorkspace() const {
  const auto ws = path_ / "ws";
  for (const char* folder : {"projects", "compares", "time conflicts", "handle conflicts", "date conflicts",
                             "resources"}) {
    std::filesystem::create_directories(ws / folder);
  }
  return ws;
}

std::filesystem::path TempDir::write(std::string_view relative, std::string_view content) const {
  const auto file = path_ / pathFromUtf8(relative);
  std::filesystem::create_directories(file.parent_path());
  std::ofstream out(file, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  return file;
}

std::string slurp(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::filesystem::path sharedDrawings() {
  return (std::filesystem::path(VELDRA_SOURCE_DIR) / "tests" / "data" / "drawings").lexically_normal();
}

}  // namespace veldra::testing
