#include "platform/platform.h"

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <system_error>

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>
#include <shellapi.h>
#else
#include <cerrno>
#include <dlfcn.h>
#include <fcntl.h>
#if defined(VELDRA_HAVE_MIMALLOC)
#include <mimalloc.h>
#include <sys/mman.h>
#elif defined(__GLIBC__)
#include <malloc.h>
#endif
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
extern char** environ;
#endif

namespace veldra {

namespace {

std::string readAll(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// What a finished program wrote to the two files that stood for its standard
// output and standard error, which then go.
ProgramRun takeOutput(ProgramRun run, const std::filesystem::path& outFile, const std::filesystem::path& errFile) {
  run.out = readAll(outFile);
  run.err = readAll(errFile);
  std::error_code ignored;
  std::filesystem::remove(outFile, ignored);
  std::filesystem::remove(errFile, ignored);
  return run;
}

unsigned long processId() {
#ifdef _WIN32
  return GetCurrentProcessId();
#else
  return static_cast<unsigned long>(getpid());
#endif
}

// A file name in the temporary folder that no other run of this or another
// process uses at the same time.
std::filesystem::path scratchFile(std::string_view tag) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::error_code ec;
  std::filesystem::path folder = std::filesystem::temp_directory_path(ec);
  if (ec) folder = ".";
  return folder / ("veldra-run-" + std::to_string(processId()) + "-" + std::to_string(stamp % 1000000007) + "-" +
                   std::to_string(counter++) + std::string(tag));
}

}  // namespace

#ifdef _WIN32

namespace {

std::wstring wideFrom(std::string_view text, UINT codePage) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int size = static_cast<int>(text.size());
  const int wide = MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
  if (wide <= 0) return {};
  std::wstring out(static_cast<std::size_t>(wide), L'\0');
  MultiByteToWideChar(codePage, 0, text.data(), size, out.data(), wide);
  return out;
}

std::string utf8From(std::wstring_view text) {
  if (text.empty() || text.size() > static_cast<std::size_t>(INT_MAX)) return {};
  const int size = static_cast<int>(text.size());
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return {};
  std::string out(static_cast<std::size_t>(bytes), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
  return out;
}

// The registry key and value name of a settings key "GROUP/NAME".
std::wstring registryKey(std::string_view organization, std::string_view application, std::string_view key,
                         std::wstring& valueName) {
  std::wstring path = L"Software\\" + wideFrom(organization, CP_UTF8) + L"\\" + wideFrom(application, CP_UTF8);
  const std::size_t slash = key.rfind('/');
  if (slash != std::string_view::npos) {
    std::wstring group = wideFrom(key.substr(0, slash), CP_UTF8);
    for (wchar_t& c : group)
      if (c == L'/') c = L'\\';
    path += L"\\" + group;
    key.remove_prefix(slash + 1);
  }
  valueName = wideFrom(key, CP_UTF8);
  return path;
}

// An argument as the receiving program's command-line parser takes it back:
// quoted when it holds blanks or quotes, with backslashes before a quote and
// at the end doubled.
std::wstring quoteArgument(const std::wstring& argument) {
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) return argument;
  std::wstring out = L"\"";
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++backslashes;
      ++i;
    }
    if (i == argument.size()) {
      out.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      out.append(backslashes * 2 + 1, L'\\');
    } else {
      out.append(backslashes, L'\\');
    }
    out.push_back(argument[i]);
  }
  out.push_back(L'"');
  return out;
}

HANDLE inheritableFile(const std::wstring& name, DWORD access, DWORD disposition) {
  SECURITY_ATTRIBUTES security{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, &security,
                     disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
}

}  // namespace

std::filesystem::path pathFromUtf8(std::string_view text) { return std::filesystem::path(wideFrom(text, CP_UTF8)); }

std::string utf8FromPath(const std::filesystem::path& path) { return utf8From(path.native()); }

std::string utf8FromAnsiCodePage(std::string_view bytes) { return utf8From(wideFrom(bytes, CP_ACP)); }

std::vector<std::string> utf8Arguments(int, char**) {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (!wide) return arguments;
  for (int i = 1; i < count; ++i) arguments.push_back(utf8From(wide[i]));
  LocalFree(wide);
  return arguments;
}

void useUtf8Console() { SetConsoleOutputCP(CP_UTF8); }

void keepFreedMemoryForReuse(MemoryPages) {}

std::filesystem::path systemDrive() {
  wchar_t folder[MAX_PATH + 1];
  const UINT length = GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
  if (length >= 2 && length <= MAX_PATH && folder[1] == L':') return std::filesystem::path(std::wstring(folder, 2) + L"\\");
  return std::filesystem::path(L"C:\\");
}

std::optional<std::string> readUserSetting(std::string_view organization, std::string_view application,
                                           std::string_view key) {
  std::wstring valueName;
  const std::wstring path = registryKey(organization, application, key, valueName);
  DWORD bytes = 0;
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr, nullptr, &bytes) !=
      ERROR_SUCCESS)
    return std::nullopt;
  std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
  bytes = static_cast<DWORD>(value.size() * sizeof(wchar_t));
  if (RegGetValueW(HKEY_CURRENT_USER, path.c_str(), valueName.c_str(), RRF_RT_REG_SZ, nullptr, value.data(),
                   &bytes) != ERROR_SUCCESS)
    return std::nullopt;
  value.resize(wcsnlen(value.c_str(), value.size()));
  return utf8From(value);
}

bool writeUserSetting(std::string_view organization, std::string_view application, std::string_view key,
                      std::string_view value) {
  std::wstring valueName;
  const std::wstring path = registryKey(organization, application, key, valueName);
  HKEY handle = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) !=
      ERROR_SUCCESS)
    return false;
  const std::wstring text = wideFrom(value, CP_UTF8);
  const auto size = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
  const LSTATUS status =
      RegSetValueExW(handle, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()), size);
  RegCloseKey(handle);
  return status == ERROR_SUCCESS;
}

bool removeUserSettings(std::string_view organization) {
  const std::wstring path = L"Software\\" + wideFrom(organization, CP_UTF8);
  const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  const std::filesystem::path outFile = scratchFile(".out"), errFile = scratchFile(".err");
  std::wstring commandLine = quoteArgument(program.native());
  for (const auto& argument : arguments) commandLine += L" " + quoteArgument(wideFrom(argument, CP_UTF8));

  HANDLE in = inheritableFile(L"NUL", GENERIC_READ, OPEN_EXISTING);
  HANDLE out = inheritableFile(outFile.native(), GENERIC_WRITE, CREATE_ALWAYS);
  HANDLE err = inheritableFile(errFile.native(), GENERIC_WRITE, CREATE_ALWAYS);
  if (in != INVALID_HANDLE_VALUE && out != INVALID_HANDLE_VALUE && err != INVALID_HANDLE_VALUE) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = in;
    startup.hStdOutput = out;
    startup.hStdError = err;
    PROCESS_INFORMATION process{};
    // A start can fail for a moment while the system is busy making other
    // processes (a scanner holding the program file, a loaded desktop); a
    // program that is not there, or is no program, fails at once.
    bool made = false;
    for (int attempt = 0; attempt < 4 && !made; ++attempt) {
      if (attempt > 0) Sleep(250u << attempt);
      made = CreateProcessW(program.native().c_str(), commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                            nullptr, nullptr, &startup, &process) != 0;
      const DWORD why = made ? 0 : GetLastError();
      if (why == ERROR_FILE_NOT_FOUND || why == ERROR_PATH_NOT_FOUND || why == ERROR_BAD_EXE_FORMAT ||
          why == ERROR_ACCESS_DENIED)
        break;
    }
    if (made) {
      run.started = true;
      WaitForSingleObject(process.hProcess, INFINITE);
      DWORD code = 0;
      if (GetExitCodeProcess(process.hProcess, &code)) run.exitCode = static_cast<int>(code);
      CloseHandle(process.hThread);
      CloseHandle(process.hProcess);
    }
  }
  for (HANDLE handle : {in, out, err})
    if (handle != INVALID_HANDLE_VALUE) CloseHandle(handle);
  return takeOutput(std::move(run), outFile, errFile);
}

#else  // POSIX

std::filesystem::path pathFromUtf8(std::string_view text) { return std::filesystem::path(std::string(text)); }

std::string utf8FromPath(const std::filesystem::path& path) { return path.native(); }

std::string utf8FromAnsiCodePage(std::string_view bytes) { return std::string(bytes); }

std::vector<std::string> utf8Arguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

void useUtf8Console() {}

void keepFreedMemoryForReuse(MemoryPages pages) {
#if defined(VELDRA_HAVE_MIMALLOC)
  if (pages == MemoryPages::kSmall) return;
  // mimalloc keeps what was freed for reuse by itself. It is asked to take
  // memory from the system in large pages where the system gives them (one
  // fault for two megabytes instead of five hundred), unless
  // MIMALLOC_LARGE_OS_PAGES says otherwise. The block of memory it took for
  // this thread before the program started (the libraries' own set-up) is
  // advised so too, for what of it is not yet used. A thread's first block
  // is taken in large pages like the rest (mimalloc would otherwise take it
  // in small ones, and a worker that reads and fingerprints drawings faults
  // in its memory four kilobytes at a time), unless
  // MIMALLOC_EAGER_COMMIT_DELAY says otherwise.
  if (!std::getenv("MIMALLOC_EAGER_COMMIT_DELAY")) mi_option_set(mi_option_eager_commit_delay, 0);
  if (std::getenv("MIMALLOC_LARGE_OS_PAGES")) return;
  mi_option_set(mi_option_large_os_pages, 1);
  constexpr std::uintptr_t kBlock = std::uintptr_t{32} << 20;  // mimalloc's segment
  if (void* some = mi_malloc(1)) {
    madvise(reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(some) & ~(kBlock - 1)), kBlock, MADV_HUGEPAGE);
    mi_free(some);
  }
#elif defined(__GLIBC__)
  (void)pages;
  // Blocks below the first bound come from the heap and are reused; free
  // memory at its top goes back only past the second. Without them, the C
  // library maps each block of a drawing's sections anew and unmaps it when
  // freed, and every page is faulted in again for the next drawing.
  mallopt(M_MMAP_THRESHOLD, 32 << 20);
  mallopt(M_TRIM_THRESHOLD, 64 << 20);
#endif
}

std::filesystem::path systemDrive() { return std::filesystem::path("/"); }

ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  ProgramRun run;
  const std::filesystem::path outFile = scratchFile(".out"), errFile = scratchFile(".err");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::string programName = program.native();
  std::vector<std::string> texts(arguments);
  std::vector<char*> argv{programName.data()};
  for (auto& text : texts) argv.push_back(text.data());
  argv.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, programName.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned == 0) {
    run.started = true;
    int status = 0;
    pid_t waited;
    do {
      waited = waitpid(pid, &status, 0);
    } while (waited < 0 && errno == EINTR);
    if (waited == pid && WIFEXITED(status)) run.exitCode = WEXITSTATUS(status);
  }
  return takeOutput(std::move(run), outFile, errFile);
}

#endif

bool syncToDisk(const std::filesystem::path& fileOrFolder) {
#ifdef _WIN32
  std::error_code ec;
  if (std::filesystem::is_directory(fileOrFolder, ec)) return true;
  const HANDLE file = CreateFileW(fileOrFolder.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  const bool flushed = FlushFileBuffers(file) != 0;
  CloseHandle(file);
  return flushed;
#else
  const int fd = ::open(fileOrFolder.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  bool synced = ::fsync(fd) == 0;
  // Some file systems take no fsync of a folder; what they keep is kept.
  if (!synced && (errno == EINVAL || errno == ENOTSUP)) synced = true;
  const int saved = errno;
  ::close(fd);
  errno = saved;
  return synced;
#endif
}

void* loadSharedLibrary(const std::vector<std::string>& names, std::string& why) {
  why.clear();
  for (const std::string& name : names) {
#ifdef _WIN32
    if (HMODULE library = LoadLibraryW(pathFromUtf8(name).c_str())) return reinterpret_cast<void*>(library);
    if (why.empty()) why = name + ": error " + std::to_string(GetLastError());
#else
    if (void* library = ::dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL)) return library;
    if (why.empty()) {
      const char* reason = ::dlerror();
      why = reason ? reason : name + ": not found";
    }
#endif
  }
  return nullptr;
}

void* sharedLibraryFunction(void* library, const char* name) {
  if (!library) return nullptr;
#ifdef _WIN32
  return reinterpret_cast<void*>(GetProcAddress(reinterpret_cast<HMODULE>(library), name));
#else
  return ::dlsym(library, name);
#endif
}

}  // namespace veldra
