#include "platform/file_facts.h"

#include <algorithm>
#include <thread>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#endif

namespace veldra {

unsigned processorCount() {
  // Some systems read this from a file on every call.
  static const unsigned count = std::max(1u, std::thread::hardware_concurrency());
  return count;
}

#ifdef _WIN32

std::optional<std::uint64_t> peakResidentBytes() { return std::nullopt; }

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

}  // namespace veldra
