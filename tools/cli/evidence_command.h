#pragma once

// veldra-cli's evidence command:
//
//   veldra-cli [--workspace DIR] evidence PROJECT [--template FILE]... [--against PROJECT]...
//              [--ignore-author NAME]... [--term TEXT] [--csv FILE] [--html FILE]
//
// Exit status: 0 no copies, 1 copies, 2 an error.

namespace veldra {

// Whether the command line asks for the evidence command.
bool isEvidenceCommand(int argc, char** argv);
int runEvidenceCommand(int argc, char** argv);

}  // namespace veldra
