#include "platform/file_facts.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>
#include <utility>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace veldra {

OpenedFile::~OpenedFile() { close(); }

OpenedFile::OpenedFile(OpenedFile&& other) noexcept
    : kind_(std::move(other.kind_)), handle_(std::exchange(other.handle_, -1)) {}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept {
  if (this != &other) {
    close();
    kind_ = std::move(other.kind_);
    handle_ = std::exchange(other.handle_, -1);
  }
  return *this;
}

unsigned processorCount() {
  // Some systems read this from a file on every call.
  static const unsigned count = std::max(1u, std::thread::hardware_concurrency());
  return count;
}

#ifdef _WIN32

std::optional<std::uint64_t> peakResidentBytes() { return std::nullopt; }

std::optional<double> childProcessorSeconds() { return std::nullopt; }

std::optional<FileKind> fileKind(const std::filesystem::path& file) {
  std::error_code ec;
  FileKind kind;
  kind.type = std::filesystem::status(file, ec).type();
  if (ec) return std::nullopt;
  if (kind.type == std::filesystem::file_type::regular) {
    kind.size = std::filesystem::file_size(file, ec);
    if (ec) return std::nullopt;
  }
  return kind;
}

OpenedFile::OpenedFile(const std::filesystem::path& file) {
  // Asked first here: opening a pipe's name would wait for its writer.
  kind_ = fileKind(file);
  if (!kind_ || kind_->type != std::filesystem::file_type::regular) return;
  const HANDLE handle = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return;
  handle_ = reinterpret_cast<std::intptr_t>(handle);
}

bool OpenedFile::isOpen() const { return handle_ != -1; }

void OpenedFile::close() {
  if (handle_ != -1) CloseHandle(reinterpret_cast<HANDLE>(handle_));
  handle_ = -1;
}

std::optional<std::size_t> OpenedFile::read(void* into, std::size_t count) {
  if (handle_ == -1) return std::nullopt;
  std::size_t total = 0;
  while (total < count) {
    const DWORD ask = static_cast<DWORD>(std::min<std::size_t>(count - total, std::size_t{1} << 30));
    DWORD got = 0;
    if (!ReadFile(reinterpret_cast<HANDLE>(handle_), static_cast<char*>(into) + total, ask, &got, nullptr))
      return std::nullopt;
    if (got == 0) break;
    total += got;
  }
  return total;
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& file) {
  const HANDLE handle = CreateFileW(file.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info;
  const bool ok = GetFileInformationByHandle(handle, &info) != 0;
  CloseHandle(handle);
  if (!ok) return std::nullopt;
  FileStamp stamp;
  stamp.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
  // 100-nanosecond ticks since 1601, moved to 1970.
  const std::int64_t ticks = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(info.ftLastWriteTime.dwHighDateTime) << 32) | info.ftLastWriteTime.dwLowDateTime);
  stamp.modifiedNs = (ticks - 116444736000000000LL) * 100;
  const std::uint64_t index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  stamp.identity = std::to_string(info.dwVolumeSerialNumber) + ":" + std::to_string(index);
  return stamp;
}

#else

std::optional<std::uint64_t> peakResidentBytes() {
  struct rusage usage;
  if (::getrusage(RUSAGE_SELF, &usage) != 0) return std::nullopt;
#if defined(__APPLE__)
  return static_cast<std::uint64_t>(usage.ru_maxrss);  // bytes there
#else
  return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // kilobytes
#endif
}

std::optional<double> childProcessorSeconds() {
  struct rusage usage;
  if (::getrusage(RUSAGE_CHILDREN, &usage) != 0) return std::nullopt;
  const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

namespace {
FileKind kindOf(const struct stat& st) {
  using Type = std::filesystem::file_type;
  FileKind kind;
  kind.type = S_ISREG(st.st_mode)    ? Type::regular
              : S_ISDIR(st.st_mode)  ? Type::directory
              : S_ISFIFO(st.st_mode) ? Type::fifo
              : S_ISSOCK(st.st_mode) ? Type::socket
              : S_ISCHR(st.st_mode)  ? Type::character
              : S_ISBLK(st.st_mode)  ? Type::block
                                     : Type::unknown;
  kind.size = static_cast<std::uint64_t>(st.st_size);
  return kind;
}
}  // namespace

std::optional<FileKind> fileKind(const std::filesystem::path& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  return kindOf(st);
}

OpenedFile::OpenedFile(const std::filesystem::path& file) {
  // Without waiting: a pipe's name opens at once for reading, and the look
  // at the open file then turns it away.
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    // What could not be opened may still be told apart (a folder without
    // the right to list it, a file without the right to read it).
    kind_ = fileKind(file);
    return;
  }
  struct stat st;
  if (::fstat(fd, &st) != 0) {
    ::close(fd);
    return;
  }
  kind_ = kindOf(st);
  if (kind_->type != std::filesystem::file_type::regular) {
    ::close(fd);
    return;
  }
  handle_ = fd;
}

bool OpenedFile::isOpen() const { return handle_ != -1; }

void OpenedFile::close() {
  if (handle_ != -1) ::close(static_cast<int>(handle_));
  handle_ = -1;
}

std::optional<std::size_t> OpenedFile::read(void* into, std::size_t count) {
  if (handle_ == -1) return std::nullopt;
  std::size_t total = 0;
  while (total < count) {
    const ssize_t got = ::read(static_cast<int>(handle_), static_cast<char*>(into) + total, count - total);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    total += static_cast<std::size_t>(got);
  }
  return total;
}

std::optional<FileStamp> fileStamp(const std::filesystem::path& file) {
  struct stat st;
  if (::stat(file.c_str(), &st) != 0) return std::nullopt;
  FileStamp stamp;
  stamp.size = static_cast<std::uint64_t>(st.st_size);
#if defined(__APPLE__)
  const auto& written = st.st_mtimespec;
#else
  const auto& written = st.st_mtim;
#endif
  stamp.modifiedNs = static_cast<std::int64_t>(written.tv_sec) * 1000000000LL + static_cast<std::int64_t>(written.tv_nsec);
  stamp.identity = std::to_string(static_cast<std::uint64_t>(st.st_dev)) + ":" +
                   std::to_string(static_cast<std::uint64_t>(st.st_ino));
  return stamp;
}

#endif

#if defined(__linux__)

std::optional<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder) {
  // The folder's entries straight from the system, each with its kind: an
  // open, a read or two and a close, without the look at the open folder
  // that a directory stream takes first.
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  std::vector<FolderEntry> entries;
  alignas(8) char buffer[32 << 10];
  for (;;) {
    const ssize_t got = ::getdents64(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ::close(fd);
      if (got < 0) return std::nullopt;
      return entries;
    }
    for (ssize_t at = 0; at < got;) {
      const auto* entry = reinterpret_cast<const struct dirent64*>(buffer + at);
      at += entry->d_reclen;
      const char* name = entry->d_name;
      if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0) continue;
      FolderEntry& out = entries.emplace_back();
      out.name = name;
      switch (entry->d_type) {
        case DT_REG: out.kind = FolderEntry::Kind::kFile; break;
        case DT_DIR: out.kind = FolderEntry::Kind::kFolder; break;
        case DT_LNK: out.kind = FolderEntry::Kind::kLink; break;
        case DT_UNKNOWN: out.kind = FolderEntry::Kind::kUnknown; break;
        default: out.kind = FolderEntry::Kind::kOther; break;
      }
    }
  }
}

#else

std::optional<std::vector<FolderEntry>> listFolderEntries(const std::filesystem::path& folder) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  if (ec) return std::nullopt;
  std::vector<FolderEntry> entries;
  for (const std::filesystem::directory_iterator end; it != end; it.increment(ec)) {
    if (ec) return std::nullopt;
    FolderEntry& out = entries.emplace_back();
    out.name = it->path().filename();
    // The kinds come with the listing where the system gives them.
    std::error_code kindError;
    const auto kind = it->symlink_status(kindError).type();
    if (kindError) continue;  // kUnknown
    switch (kind) {
      case std::filesystem::file_type::regular: out.kind = FolderEntry::Kind::kFile; break;
      case std::filesystem::file_type::directory: out.kind = FolderEntry::Kind::kFolder; break;
      case std::filesystem::file_type::symlink: out.kind = FolderEntry::Kind::kLink; break;
      default: out.kind = FolderEntry::Kind::kOther; break;
    }
  }
  if (ec) return std::nullopt;
  return entries;
}

#endif

}  // namespace veldra
