#include "app/workspace_setup.h"

#include <fstream>
#include <iterator>
#include <system_error>
#include <vector>

#include "app/textfile.h"
#include "app/workspace.h"
#include "platform/platform.h"

namespace veldra {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHelpStartDocument = "quorvix.rtf";

bool readWhole(const fs::path& file, std::string& content) {
  std::ifstream in(file, std::ios::binary);
  if (!in) return false;
  content.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

// Replaces `to` by a copy of `from`; a failed copy leaves `to` as it was.
void copyOver(const fs::path& from, const fs::path& to, std::vector<std::string>& problems) {
  std::string content;
  if (!readWhole(from, content)) {
    problems.push_back("cannot copy " + utf8FromPath(from.filename()) + ": cannot read " + utf8FromPath(from));
    return;
  }
  if (const Status copied = replaceFile(to, content); !copied)
    problems.push_back("cannot copy " + utf8FromPath(from.filename()) + ": " + copied.message());
}

}  // namespace

WorkspaceSetup layDownWorkspace(const fs::path& base, const fs::path& resources) {
  WorkspaceSetup result;
  std::error_code ec;
  fs::create_directories(base, ec);
  if (ec || !fs::is_directory(base)) {
    result.problems.push_back("cannot create " + utf8FromPath(base) + ": " +
                              (ec ? ec.message() : std::string("a file of that name is in the way")));
    return result;
  }
  std::vector<std::string_view> folders{Workspace::kProjectsFolder, Workspace::kComparesFolder};
  for (const ReportPlace& reports : Workspace::kReportPlaces) folders.push_back(reports.folder);
  folders.push_back(Workspace::kResourcesFolder);
  for (std::string_view folder : folders) {
    const fs::path path = base / pathFromUtf8(folder);
    fs::create_directories(path, ec);
    if (ec || !fs::is_directory(path)) {
      result.problems.push_back("cannot create " + utf8FromPath(path) + ": " +
                                (ec ? ec.message() : std::string("a file of that name is in the way")));
      return result;
    }
  }
  result.folders = true;

  if (resources.empty() || !fs::is_directory(resources, ec)) {
    result.problems.push_back("no resources found; the workspace has none");
    return result;
  }
  const fs::path into = base / pathFromUtf8(Workspace::kResourcesFolder);
  for (fs::directory_iterator it(resources, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_regular_file(typeError)) continue;
    copyOver(it->path(), into / it->path().filename(), result.problems);
  }
  if (ec) result.problems.push_back("cannot list " + utf8FromPath(resources) + ": " + ec.message());
  const fs::path help = resources / kHelpStartDocument;
  if (fs::is_regular_file(help, ec)) copyOver(help, base / kHelpStartDocument, result.problems);
  return result;
}

fs::path shippedResources(const fs::path& programFolder, const fs::path& sourceFolder) {
  std::error_code ec;
  const fs::path installed = (programFolder / ".." / "share" / "veldra" / "resources").lexically_normal();
  if (!programFolder.empty() && fs::is_directory(installed, ec)) return installed;
  if (!sourceFolder.empty() && fs::is_directory(sourceFolder, ec)) return sourceFolder;
  return {};
}

fs::path workspaceFolderFor(const fs::path& chosen) {
  std::error_code ec;
  if (!fs::exists(chosen, ec)) return chosen;
  if (fs::is_directory(chosen / pathFromUtf8(Workspace::kProjectsFolder), ec)) return chosen;
  if (fs::is_directory(chosen, ec) && fs::is_empty(chosen, ec) && !ec) return chosen;
  return chosen / "VELDRA";
}

}  // namespace veldra
