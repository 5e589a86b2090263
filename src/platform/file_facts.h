#pragma once

// What the system says of a file without opening it for reading, and of the
// machine: asked for once where a run would otherwise ask again and again.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace veldra {

// The processors the machine offers, at least one; asked of the system once
// per program.
unsigned processorCount();

// The most memory the program has held at once, in bytes; nothing where
// the system does not say.
std::optional<std::uint64_t> peakResidentBytes();

// The processor time (user and system, in seconds) of the child processes
// that ended and were waited for; nothing where the system does not say.
std::optional<double> childProcessorSeconds();

// What a path leads to (links followed) and its size in bytes, asked of the
// system in one call; nothing when it cannot be looked at.
struct FileKind {
  std::filesystem::file_type type = std::filesystem::file_type::unknown;
  std::uint64_t size = 0;
};
std::optional<FileKind> fileKind(const std::filesystem::path& file);

// A file opened for reading and then asked what it is and how large: one
// look up of its path where a look before the open would take two. Only a
// regular file stays open; a folder, pipe or device is closed unread
// (opening one never waits for a writer). Read on any one thread at a time.
class OpenedFile {
 public:
  explicit OpenedFile(const std::filesystem::path& file);
  ~OpenedFile();
  OpenedFile(OpenedFile&& other) noexcept;
  OpenedFile& operator=(OpenedFile&& other) noexcept;

  // What the path leads to; nothing when it could not be opened or looked at.
  const std::optional<FileKind>& kind() const { return kind_; }
  bool isOpen() const;
  // Up to `count` bytes from where the last read ended, fewer only at the
  // end of the file; nothing when the system fails the read.
  std::optional<std::size_t> read(void* into, std::size_t count);

 private:
  void close();
  std::optional<FileKind> kind_;
  std::intptr_t handle_ = -1;  // a descriptor, or a Windows HANDLE
};

// What tells whether a file is still the one seen before: its size, the
// time it was last written (nanoseconds since 1970, as the file system keeps
// it) and its identity on its volume (device and file number on POSIX
// systems, volume serial and file index on Windows). A file replaced by
// another of the same size and time has another identity.
struct FileStamp {
  std::uint64_t size = 0;
  std::int64_t modifiedNs = 0;
  std::string identity;

  bool operator==(const FileStamp&) const = default;
};

// Nothing when the file cannot be looked at.
std::optional<FileStamp> fileStamp(const std::filesystem::path& file);

// An entry of a folder, as the folder's listing tells it.
struct FolderEntry {
  enum class Kind { kFile, kFolder, kLink, kOther, kUnknown };
  std::filesystem::path name;  // without the folder
  // kUnknown where the listing does not tell (some file systems); where the
  // system tells no links apart (Windows), a link is what it leads to.
  Kind kind = Kind::kUnknown;
};

// The entries of a folder, "." and ".." left out, in the order the system
// lists them: one pass over the folder, and no look at any entry itself.
// Nothing when the folder cannot be listed (missing, not a folder,
// unreadable, or failing part way).
std::optional<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder);

}  // namespace veldra
