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
