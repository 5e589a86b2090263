#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/result.h"

namespace veldra {

inline constexpr std::string_view kLineEnd = "\r\n";

// A text enclosed in double quotes and ended by CR LF, as every list, record
// and report file of the workspace stores its lines.
std::string quotedLine(std::string_view text);

// The whole content of a file, or nothing when it cannot be opened or read.
std::optional<std::string> readWholeFile(const std::filesystem::path& file);

// The content of a list, record or report file as UTF-8 text, the
// encoding this program writes them in on every system. Lines that older
// single-byte programs wrote on Windows are read in the system's ANSI code
// page (see textFromStoredBytes). Nothing when it cannot be read.
std::optional<std::string> readTextFile(const std::filesystem::path& file);

// Lines as a line reader returns them: ended by CR LF, LF or CR; a last line
// without an end counts when it is not empty.
std::vector<std::string> splitLines(std::string_view content);

// Reads a list, record or report file a line at a time, as splitLines cuts
// its content after readTextFile, holding one line of the file at most,
// however long the file is. A line of more than `longestLine` bytes is not
// read: next() refuses it, and reading ends there.
class TextLineReader {
 public:
  TextLineReader(const std::filesystem::path& file, std::size_t longestLine);
  ~TextLineReader();
  TextLineReader(const TextLineReader&) = delete;
  TextLineReader& operator=(const TextLineReader&) = delete;

  // False when the file cannot be opened (absent, a folder, not readable).
  bool opened() const;
  enum class Step { kLine, kEnd, kTooLong, kFailed };
  // The next line into `line`; kEnd after the last one, kTooLong for a line
  // past the bound and kFailed when reading failed half-way.
  Step next(std::string& line);
  // The number of the line last given or refused, from 1.
  std::size_t lineNumber() const { return lineNumber_; }

 private:
  Step nextStoredLine();

  struct Stream;
  std::unique_ptr<Stream> stream_;
  std::size_t longest_;
  std::string stored_;                 // one line as stored, with its end
  std::vector<std::string> pending_;   // lines of the stored line not yet given
  std::size_t nextPending_ = 0;
  std::size_t lineNumber_ = 0;
  bool finished_ = false;
};

// Items as a reader of comma-delimited quoted fields returns them: a quoted
// item runs to its closing quote (commas inside are kept); an unquoted item
// runs to the next comma or line end. Leading blanks are skipped.
std::vector<std::string> splitItems(std::string_view content);

// A file open for writing.
class OpenFile {
 public:
  virtual ~OpenFile() = default;
  virtual std::ostream& stream() = 0;
  // Writes out what is still buffered and closes the file: false when any
  // of what was written did not reach it.
  virtual bool close() = 0;
};

// Where the program's files are written: the disk, or in tests a device
// that fails on purpose (a disk that fills up).
class FileDevice {
 public:
  virtual ~FileDevice() = default;
  // Opens a file to write it from its start (created, or emptied), or at its
  // end when `append`. Nothing when it cannot be opened; errno then tells why.
  virtual std::unique_ptr<OpenFile> open(const std::filesystem::path& file, bool append) = 0;
};

FileDevice& diskDevice();

// A file written in pieces that replaces the old one whole: the pieces go to
// a temporary file in the same folder, which commit() renames over the file.
// Until then, and whenever a step fails, the old file stays as it was; a
// replacement dropped without commit removes its temporary file.
class FileReplacement {
 public:
  explicit FileReplacement(std::filesystem::path file, FileDevice& device = diskDevice());
  ~FileReplacement();
  FileReplacement(const FileReplacement&) = delete;
  FileReplacement& operator=(const FileReplacement&) = delete;

  const std::filesystem::path& file() const { return file_; }
  // Where the content goes. Writes after a failure are lost, and commit()
  // then fails.
  std::ostream& stream();
  // The temporary file could be created and every write so far succeeded.
  bool good();
  // Puts the new file in place. A failure (kCannotWrite) when the content
  // could not be written whole or the rename failed, saying
  // "cannot write FILE: REASON" or "cannot replace FILE: REASON".
  Status commit();
  // Removes the temporary file; the old file stays.
  void discard();
  // The reason of a failure alone, in the system's words ("No space left on
  // device").
  const std::string& reason() const { return reason_; }

 private:
  void fail(const char* what, const std::string& reason);

  std::filesystem::path file_;
  std::filesystem::path temporary_;
  std::unique_ptr<OpenFile> open_;
  std::string error_, reason_;
  bool done_ = false;
};

// Replaces a file whole through a FileReplacement, so a failed write leaves
// the old file as it was; it fails as FileReplacement::commit() does.
Status replaceFile(const std::filesystem::path& file, std::string_view content,
                   FileDevice& device = diskDevice());

// Appends to a file, creating it when absent. A failure (kCannotWrite) says
// "cannot open FILE" or "cannot write FILE".
Status appendToFile(const std::filesystem::path& file, std::string_view content);

// Creates the file empty when it is absent; leaves an existing one alone.
bool touchFile(const std::filesystem::path& file);

}  // namespace veldra
