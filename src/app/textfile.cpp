#include "app/textfile.h"

#include <atomic>
#include <chrono>
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

std::filesystem::path temporarySibling(const std::filesystem::path& file) {
  static std::atomic<unsigned> counter{0};
  const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
  std::filesystem::path tmp = file;
  tmp += ".tmp~" + std::to_string(stamp % 1000000007) + "-" + std::to_string(counter++);
  return tmp;
}

}  // namespace

bool replaceFile(const std::filesystem::path& file, std::string_view content, std::string* error) {
  const std::filesystem::path tmp = temporarySibling(file);
  {
    std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
    if (!out) {
      if (error) *error = "cannot create " + utf8FromPath(tmp);
      return false;
    }
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    out.flush();
    if (!out) {
      out.close();
      std::error_code ignored;
      std::filesystem::remove(tmp, ignored);
      if (error) *error = "cannot write " + utf8FromPath(tmp);
      return false;
    }
  }
  std::error_code ec;
  std::filesystem::rename(tmp, file, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(tmp, ignored);
    if (error) *error = "cannot replace " + utf8FromPath(file) + ": " + ec.message();
    return false;
  }
  return true;
}

bool appendToFile(const std::filesystem::path& file, std::string_view content, std::string* error) {
  std::ofstream out(file, std::ios::binary | std::ios::app);
  if (!out) {
    if (error) *error = "cannot open " + utf8FromPath(file);
    return false;
  }
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  out.flush();
  if (!out) {
    if (error) *error = "cannot write " + utf8FromPath(file);
    return false;
  }
  return true;
}

bool touchFile(const std::filesystem::path& file) { return appendToFile(file, {}); }

}  // namespace veldra
