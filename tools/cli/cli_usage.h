#pragma once

// The command line of veldra-cli, shared by its commands.

#include <string>
#include <string_view>
#include <vector>

#include "app/tool_options.h"
#include "compare/checks.h"

namespace veldra {

inline constexpr ToolUsage kCliUsage{
    "veldra-cli", VELDRA_VERSION,
    "veldra-cli [--workspace DIR] collect|recompare PROJECT [--entity TYPE]\n"
    "                  [--time on|off] [--handles on|off] [--percent 0-100] [--age TEXT|off]\n"
    "       veldra-cli [--workspace DIR] evidence PROJECT [--template FILE]... [--against PROJECT]...\n"
    "                  [--ignore-author NAME]... [--term TEXT] [--csv FILE] [--html FILE] [--store URI]\n"
    "       veldra-cli [--workspace DIR] mark PROJECT list | export FILE.csv [--store URI]\n"
    "       veldra-cli [--workspace DIR] mark PROJECT set A B confirmed|not-a-copy|to-review|none [--note TEXT]\n"
    "       veldra-cli --help | --version\n",
    "collect reads the project's drawings, writes its record file and compares them; recompare\n"
    "compares the record file again; evidence runs the evidence check; mark lists, sets or exports\n"
    "the teacher's marks on the pairs of the last evidence check (A and B as the reports name the\n"
    "drawings, or their full paths). Without --workspace, the base folder recorded by veldra-setup\n"
    "is used. --store names a department's shared PostgreSQL database (postgresql://host/db, the\n"
    "password in ~/.pgpass or PGPASSWORD) in place of the workspace's evidence store. \"--\" ends\n"
    "the options.\n"
    "Exit status: 0 nothing found, 1 conflicts or copies found, 2 an error or nothing compared.\n"};

// The check whose switch this option is ("--time").
inline const Check* checkOfOption(std::string_view option) {
  for (const Check* check : comparisonChecks())
    if (option.starts_with("--") && option.substr(2) == check->name()) return check;
  return nullptr;
}

// The options of every command whose next argument is their value: each
// check's switch among them.
inline bool cliOptionTakesValue(std::string_view option) {
  for (std::string_view o : {"--workspace", "--entity", "--percent", "--template", "--against", "--ignore-author",
                             "--term", "--csv", "--html", "--note", "--store"})
    if (option == o) return true;
  return checkOfOption(option) != nullptr;
}

}  // namespace veldra

namespace veldra {

// The first operand: the command ("collect", "evidence", "mark"...), empty
// when there is none.
inline std::string cliCommand(const std::vector<std::string>& args) {
  const std::size_t end = optionsEnd(args, cliOptionTakesValue);
  for (std::size_t k = 0; k < end; ++k) {
    if (isOption(args[k])) {
      if (cliOptionTakesValue(args[k])) ++k;
      continue;
    }
    return args[k];
  }
  return end + 1 < args.size() ? args[end + 1] : std::string();
}

}  // namespace veldra
