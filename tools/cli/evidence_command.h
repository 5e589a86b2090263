#pragma once

// veldra-cli's evidence command:
//
//   veldra-cli [--workspace DIR] evidence PROJECT [--template FILE]... [--against PROJECT]...
//              [--ignore-author NAME]... [--term TEXT] [--csv FILE] [--html FILE]
//
// Exit status: 0 no copies, 1 copies, 2 an error.

#include <string>
#include <vector>

namespace veldra {

// Whether the arguments (after the program name, UTF-8) ask for the
// evidence command.
bool isEvidenceCommand(const std::vector<std::string>& args);
int runEvidenceCommand(const std::vector<std::string>& args);

}  // namespace veldra

namespace veldra {

// veldra-cli's mark command: the teacher's marks on the pairs of the
// project's last evidence check.
//
//   veldra-cli [--workspace DIR] mark PROJECT list
//   veldra-cli [--workspace DIR] mark PROJECT set A B confirmed|not-a-copy|to-review|none [--note TEXT]
//   veldra-cli [--workspace DIR] mark PROJECT export FILE.csv
//
// Exit status: 0 done, 2 an error.
int runMarkCommand(const std::vector<std::string>& args);

}  // namespace veldra
