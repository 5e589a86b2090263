// veldra-dwginfo FILE...: prints what the drawing reader finds in each file,
// in the form of the sample drawings' expected files, then one "damage" line
// for each damage found in a drawing that could still be read.

#include <charconv>
#include <iostream>
#include <string_view>

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

// Damage found on the way, after what was read (or why reading stopped).
void printDamage(const veldra::dwg::Summary& summary, std::ostream& out) {
  for (const auto& damage : summary.damage) {
    out << "damage\t" << damage.message;
    if (!damage.section.empty()) out << " [" << damage.section << " at " << damage.offset << "]";
    out << '\n';
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::cerr << "usage: veldra-dwginfo FILE...\n";
    return 2;
  }
  int status = 0;
  for (int i = 1; i < argc; ++i) {
    if (argc > 2) std::cout << "# " << argv[i] << '\n';
    veldra::dwg::Summary summary;
    const veldra::dwg::Status s = veldra::dwg::readSummaryFile(argv[i], summary);
    if (!s.ok()) {
      std::cout << "error\t" << s.message;
      if (!s.section.empty()) std::cout << " [" << s.section << " at " << s.offset << "]";
      std::cout << '\n';
      printDamage(summary, std::cout);
      status = 1;
      continue;
    }
    print(summary, std::cout);
    printDamage(summary, std::cout);
  }
  return status;
}
