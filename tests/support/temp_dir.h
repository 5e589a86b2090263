#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace veldra::testing {

// A fresh folder under the system's temporary folder, removed with its
// contents when the object goes.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // Creates the folders of a workspace (projects, compares, the three report
  // folders and resources) and returns the base folder.
  std::filesystem::path makeWorkspace() const;
  // Writes a file (creating its folders) and returns its path; the relative
  // path is UTF-8.
  std::filesystem::path write(std::string_view relative, std::string_view content) const;

 private:
  std::filesystem::path path_;
};

// The whole content of a file ("" when it cannot be read).
std::string slurp(const std::filesystem::path& file);

// The folder of the sample drawings kept in the repository
// (tests/data/drawings). It is always given: a clone without it is broken,
// and the tests that read it fail rather than skip.
std::filesystem::path sharedDrawings();

}  // namespace veldra::testing
