#pragma once

// What differs between Windows and the POSIX systems. Everything else in the
// program is written once, in standard C++ (and Qt in the window).
//
// Text in this program is UTF-8 in std::string on every system. Paths are
// std::filesystem::path; a text becomes a path, and a path a text, only
// through pathFromUtf8 and utf8FromPath. On Windows a narrow std::string
// would pass through the ANSI code page and lose every letter outside it.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

// A UTF-8 text as a path, and a path as UTF-8. On POSIX systems the bytes
// pass unchanged (a name that is not UTF-8 stays as the file system has it);
// on Windows an ill-formed sequence becomes U+FFFD. Neither throws.
std::filesystem::path pathFromUtf8(std::string_view text);
std::string utf8FromPath(const std::filesystem::path& path);

// Text in the system's single-byte (ANSI) code page, as older programs wrote
// their files on Windows, turned into UTF-8. Elsewhere the bytes unchanged.
std::string utf8FromAnsiCodePage(std::string_view bytes);

// The program's arguments after the program name, as UTF-8. On Windows they
// come from the wide command line, since argv holds the ANSI code page.
std::vector<std::string> utf8Arguments(int argc, char** argv);

// Lets the console show what the program prints in UTF-8 (Windows); nothing
// elsewhere, where the terminal takes UTF-8 already.
void useUtf8Console();

// Lets the memory allocator keep what reading one drawing freed for the
// next, rather than give it back to the system and fault it in afresh (very
// large blocks still go back at once), and, with kLarge, take memory in
// large pages where it can: a run that holds much at once (the evidence
// check, the window) faults in far fewer pages, while one that holds little
// (a collection pass) would pay for clearing whole large pages it barely
// uses. Called first thing by the programs that read many drawings.
// Nothing where the allocator needs no telling.
enum class MemoryPages { kLarge, kSmall };
void keepFreedMemoryForReuse(MemoryPages pages = MemoryPages::kLarge);

// The root of the drive the system runs from ("C:\" on most Windows
// machines), or "/" on POSIX systems.
std::filesystem::path systemDrive();

#ifdef _WIN32
// One text value of the per-user registry, where Qt's native settings keep
// it: HKEY_CURRENT_USER\Software\ORGANIZATION\APPLICATION, with each "/" of
// KEY a sub-key and its last part the value's name.
std::optional<std::string> readUserSetting(std::string_view organization, std::string_view application,
                                           std::string_view key);
bool writeUserSetting(std::string_view organization, std::string_view application, std::string_view key,
                      std::string_view value);
// Removes HKEY_CURRENT_USER\Software\ORGANIZATION with everything under it.
bool removeUserSettings(std::string_view organization);
#endif

// Puts what was written to a closed file (or, on POSIX systems, the entries
// of a folder) on the disk itself, past the system's caches: fsync, or
// FlushFileBuffers on Windows, where a folder needs no such step and gives
// true. False, with errno set on POSIX systems, when it could not.
bool syncToDisk(const std::filesystem::path& fileOrFolder);

// A finished run of another program.
struct ProgramRun {
  bool started = false;  // false when the program could not be started
  int exitCode = -1;     // -1 when it did not end by itself
  std::string out, err;  // what it wrote to standard output and standard error
};

// Runs a program with the given arguments (UTF-8; passed one by one, no shell
// in between) and standard input empty, and waits for it to end.
ProgramRun runProgram(const std::filesystem::path& program, const std::vector<std::string>& arguments);

// A shared library of the system, loaded by the first of NAMES the system
// finds and kept to the end of the run, so that a program loads it only on
// the day it is needed; nullptr, with the system's reason in WHY, when none
// is found. A function of it by name, or nullptr.
void* loadSharedLibrary(const std::vector<std::string>& names, std::string& why);
void* sharedLibraryFunction(void* library, const char* name);

}  // namespace veldra
