#include "app/textfile.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fstream>
#include <system_error>

#include "app/utf8_text.h"
#include "platform/platform.h"

namespace veldra {

std::string quotedLine(std::string_view text) {
  std::string line;
  line.reserve(text.size() + 4);
  line += '"';
  line += text;
  line += '"';
  line += kLineEnd;
  return line;
}

std::optional<std::string> readWholeFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string content;
  in.seekg(0, std::ios::end);
  const auto size = in.tellg();
  if (size > 0) {
    content.resize(static_cast<std::size_t>(size));
    in.seekg(0, std::ios::beg);
    in.read(content.data(), size);
    if (!in) return std::nullopt;
  }
  return content;
}

std::optional<std::string> readTextFile(const std::filesystem::path& file) {
  auto content = readWholeFile(file);
  if (!content) return std::nullopt;
  return textFromStoredBytes(*content);
}

std::vector<std::string> splitLines(std::string_view content) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (c != '\r' && c != '\n') continue;
    lines.emplace_back(content.substr(start, i - start));
    if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < content.size()) lines.emplace_back(content.substr(start));
  return lines;
}

struct TextLineReader::Stream {
  std::ifstream in;
  std::vector<char> buffer = std::vector<char>(64 * 1024);
  std::size_t at = 0, size = 0;
};

TextLineReader::TextLineReader(const std::filesystem::path& file, std::size_t longestLine)
    : longest_(longestLine) {
  std::error_code ec;
  if (std::filesystem::is_directory(file, ec)) return;
  auto stream = std::make_unique<Stream>();
  stream->in.open(file, std::ios::binary);
  if (stream->in.is_open()) stream_ = std::move(stream);
}

TextLineReader::~TextLineReader() = default;

bool TextLineReader::opened() const { return stream_ != nullptr; }

// One line as stored, up to and with its LF (or the file's end). A lone CR
// within it ends a line too: those are cut when the stored line is split.
TextLineReader::Step TextLineReader::nextStoredLine() {
  stored_.clear();
  Stream& s = *stream_;
  for (;;) {
    if (s.at == s.size) {
      s.in.read(s.buffer.data(), static_cast<std::streamsize>(s.buffer.size()));
      s.size = static_cast<std::size_t>(s.in.gcount());
      s.at = 0;
      if (s.size == 0) {
        if (s.in.bad() || (!s.in.eof() && s.in.fail())) return Step::kFailed;
        return stored_.empty() ? Step::kEnd : Step::kLine;
      }
    }
    const char* from = s.buffer.data() + s.at;
    const auto* lf = static_cast<const char*>(std::memchr(from, '\n', s.size - s.at));
    const std::size_t take = lf ? static_cast<std::size_t>(lf - from) + 1 : s.size - s.at;
    // The line's end (CR LF) is no part of its length.
    if (stored_.size() + take > longest_ + 2) return Step::kTooLong;
    stored_.append(from, take);
    s.at += take;
    if (lf) return Step::kLine;
  }
}

TextLineReader::Step TextLineReader::next(std::string& line) {
  if (!stream_) return Step::kFailed;
  while (nextPending_ == pending_.size()) {
    if (finished_) return Step::kEnd;
    const Step step = nextStoredLine();
    if (step != Step::kLine) {
      finished_ = true;
      if (step == Step::kTooLong) ++lineNumber_;
      return step;
    }
    // Each stored line is UTF-8 or the system's code page by itself, as
    // textFromStoredBytes takes them.
    pending_ = splitLines(textFromStoredBytes(stored_));
    nextPending_ = 0;
  }
  line = std::move(pending_[nextPending_++]);
  ++lineNumber_;
  return Step::kLine;
}

std::vector<std::string> splitItems(std::string_view content) {
  std::vector<std::string> items;
  std::size_t i = 0;
  const std::size_t n = content.size();
  auto isBlank = [](char c) { return c == ' ' || c == '\t'; };
  auto atLineEnd = [&](std::size_t k) { return k < n && (content[k] == '\r' || content[k] == '\n'); };
  auto skipDelimiter = [&]() {
    while (i < n && isBlank(content[i])) ++i;
    if (i < n && content[i] == ',') {
      ++i;
    } else if (atLineEnd(i)) {
      if (content[i] == '\r' && i + 1 < n && content[i + 1] == '\n') ++i;
      ++i;
    }
  };
  while (i < n) {
    while (i < n && isBlank(content[i])) ++i;
    if (i >= n) break;
    if (content[i] == '"') {
      const std::size_t close = content.find('"', i + 1);
      const std::size_t end = close == std::string_view::npos ? n : close;
      items.emplace_back(content.substr(i + 1, end - i - 1));
      i = close == std::string_view::npos ? n : close + 1;
      // Text between the closing quote and the delimiter is dropped.
      while (i < n && content[i] != ',' && !atLineEnd(i)) ++i;
      skipDelimiter();
    } else {
      std::size_t end = i;
      while (end < n && content[end] != ',' && !atLineEnd(end)) ++end;
      std::size_t last = end;
      while (last > i && isBlank(content[last - 1])) --last;
      items.emplace_back(content.substr(i, last - i));
      i = end;
      skipDelimiter();
    }
  }
  return items;
}

namespace {

// A file is written as its name with this and a number added, then renamed.
constexpr const char* kTemporaryMark = ".tmp~";

std::filesystem::path temporarySibling(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path tmp = file;
  tmp += kTemporaryMark + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++);
  return tmp;
}

// Temporary files of `file` left by a program that was stopped while it
// wrote them (killed, or the machine went down). One that has not been
// written to for an hour belongs to no write still going on.
void removeAbandonedTemporaries(const std::filesystem::path& file) {
  std::filesystem::path marked = file.filename();
  marked += kTemporaryMark;
  const auto& prefix = marked.native();
  std::error_code ec;
  const auto now = std::filesystem::file_time_type::clock::now();
  for (std::filesystem::directory_iterator it(file.parent_path().empty() ? "." : file.parent_path(), ec), end;
       !ec && it != end; it.increment(ec)) {
    const std::filesystem::path name = it->path().filename();
    if (name.native().size() <= prefix.size() || name.native().compare(0, prefix.size(), prefix) != 0) continue;
    std::error_code timeError;
    const auto written = std::filesystem::last_write_time(it->path(), timeError);
    if (timeError || now - written < std::chrono::hours(1)) continue;
    std::error_code ignored;
    if (it->is_regular_file(ignored)) std::filesystem::remove(it->path(), ignored);
  }
}

// The reason the system gave for the failure just met, when it gave one.
std::string systemReason() {
  const int code = errno;
  return code != 0 ? std::generic_category().message(code) : std::string("the system gave no reason");
}

class DiskFile : public OpenFile {
 public:
  DiskFile(const std::filesystem::path& file, bool append)
      : file_(file), out_(file, std::ios::binary | (append ? std::ios::app : std::ios::trunc)) {}
  bool isOpen() const { return out_.is_open(); }
  std::ostream& stream() override { return out_; }
  // What was written is on the disk when this returns true: a file renamed
  // over an older one must not be found empty after a crash.
  bool close() override {
    out_.close();
    return !out_.fail() && syncToDisk(file_);
  }

 private:
  std::filesystem::path file_;
  std::ofstream out_;
};

class Disk : public FileDevice {
 public:
  std::unique_ptr<OpenFile> open(const std::filesystem::path& file, bool append) override {
    auto opened = std::make_unique<DiskFile>(file, append);
    if (!opened->isOpen()) return nullptr;
    return opened;
  }
};

}  // namespace

FileDevice& diskDevice() {
  static Disk disk;
  return disk;
}

FileReplacement::FileReplacement(std::filesystem::path file, FileDevice& device)
    : file_(std::move(file)), temporary_(temporarySibling(file_)) {
  errno = 0;
  open_ = device.open(temporary_, false);
  if (!open_) fail("cannot write ", systemReason());
}

FileReplacement::~FileReplacement() { discard(); }

std::ostream& FileReplacement::stream() {
  // Without a file, writes go nowhere: a stream without a buffer is bad from the start.
  static thread_local std::ostream nowhere(nullptr);
  return open_ ? open_->stream() : nowhere;
}

bool FileReplacement::good() {
  if (done_ || !open_) return false;
  if (open_->stream().good()) return true;
  // Taken at once, while errno still holds the failed write's reason.
  fail("cannot write ", systemReason());
  return false;
}

void FileReplacement::fail(const char* what, const std::string& reason) {
  if (!error_.empty()) return;
  reason_ = reason;
  error_ = what + utf8FromPath(file_) + ": " + reason;
}

Status FileReplacement::commit() {
  auto failed = [this] { return failure(Failure::Kind::kCannotWrite, error_); };
  if (done_) return error_.empty() ? Status() : failed();
  done_ = true;
  if (!open_) return failed();
  // A write that failed before left its reason in errno: keep it.
  if (open_->stream().good()) errno = 0;
  const bool flushed = open_->stream().flush().good();
  const bool closed = open_->close();
  const std::string reason = systemReason();
  open_.reset();
  std::error_code ec;
  if (!flushed || !closed) {
    std::filesystem::remove(temporary_, ec);
    fail("cannot write ", reason);
    return failed();
  }
  std::filesystem::rename(temporary_, file_, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temporary_, ignored);
    fail("cannot replace ", ec.message());
    return failed();
  }
  // The rename itself reaches the disk before any later file is replaced,
  // so files replaced in turn are found in that order after a crash.
  syncToDisk(file_.parent_path().empty() ? std::filesystem::path(".") : file_.parent_path());
  removeAbandonedTemporaries(file_);
  return {};
}

void FileReplacement::discard() {
  if (done_) return;
  done_ = true;
  if (!open_) return;
  open_->close();
  open_.reset();
  std::error_code ignored;
  std::filesystem::remove(temporary_, ignored);
}

Status replaceFile(const std::filesystem::path& file, std::string_view content, FileDevice& device) {
  FileReplacement replacement(file, device);
  replacement.stream().write(content.data(), static_cast<std::streamsize>(content.size()));
  return replacement.commit();
}

Status appendToFile(const std::filesystem::path& file, std::string_view content) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (!out) return failure(Failure::Kind::kCannotWrite, "cannot open " + utf8FromPath(file));
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.flush();
  if (!out) return failure(Failure::Kind::kCannotWrite, "cannot write " + utf8FromPath(file));
  return {};
}

bool touchFile(const std::filesystem::path& file) { return appendToFile(file, {}).ok(); }

}  // namespace veldra
