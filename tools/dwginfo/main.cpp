// veldra-dwginfo FILE...: prints what the drawing reader finds in each file,
// in the form of the sample drawings' expected files.

#include <charconv>
#include <iostream>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "veldra/dwg/reader.h"

namespace {

void print(const veldra::dwg::Summary& summary, std::ostream& out) {
  out << "version\t" << summary.version << '\n';
  // The shortest text that reads back as the same double.
  char date[64];
  const auto end = std::to_chars(date, date + sizeof date, summary.created.julian()).ptr;
  out << "TDCREATE\t" << std::string_view(date, static_cast<std::size_t>(end - date)) << '\n';
  for (const auto& entity : summary.entities)
    out << entity.className << '\t' << veldra::dwg::handleText(entity.handle) << '\t'
        << (entity.space == veldra::dwg::Space::kModel ? "MODEL" : "PAPER") << '\n';
}

}  // namespace

int main(int argc, char** argv) {
  veldra::useUtf8Console();
  const std::vector<std::string> files = veldra::utf8Arguments(argc, argv);
  if (files.empty()) {
    std::cerr << "usage: veldra-dwginfo FILE...\n";
    return 2;
  }
  int status = 0;
  for (const std::string& file : files) {
    if (files.size() > 1) std::cout << "# " << file << '\n';
    veldra::dwg::Summary summary;
    const veldra::dwg::Status s = veldra::dwg::readSummaryFile(veldra::pathFromUtf8(file), summary);
    if (!s.ok()) {
      std::cout << "error\t" << s.message;
      if (!s.section.empty()) std::cout << " [" << s.section << " at " << s.offset << "]";
      std::cout << '\n';
      status = 1;
      continue;
    }
    print(summary, std::cout);
  }
  return status;
}
