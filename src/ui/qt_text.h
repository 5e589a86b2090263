#pragma once

// The window's edge: Qt holds text in UTF-16, the rest of the program in
// UTF-8 std::string, and file names as std::filesystem::path.

#include <QFile>
#include <QString>

#include <filesystem>
#include <string>
#include <string_view>

namespace veldra {

inline QString qtText(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline std::string utf8Text(const QString& text) { return text.toStdString(); }

// A path with the system's own separators, as the folder lists show it.
inline QString qtPath(const std::filesystem::path& path) {
#ifdef _WIN32
  return QString::fromStdWString(path.native());
#else
  return QFile::decodeName(QByteArray::fromStdString(path.native()));
#endif
}

inline std::filesystem::path fsPath(const QString& path) {
#ifdef _WIN32
  return std::filesystem::path(path.toStdWString());
#else
  return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// A path and the text a field shows or the user typed, through UTF-16 on
// every system (the names the evidence window keeps).
inline std::filesystem::path pathOf(const QString& text) { return std::filesystem::path(text.toStdU16String()); }
inline QString textOf(const std::filesystem::path& path) { return QString::fromStdU16String(path.u16string()); }

}  // namespace veldra
