#pragma once

// What every program of the suite answers alike on its command line:
// --help prints the usage and --version the program's name and version, both
// on standard output with exit status 0, wherever they stand among the other
// options and before anything is read, created or recorded; an option the
// program does not know prints the reason and the usage on standard error,
// with exit status 2. Standard C++ only: the drawing tools use it too.

#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace veldra {

inline constexpr int kUsageExit = 2;

struct ToolUsage {
  std::string_view program;  // "veldra-cli"
  std::string_view version;  // the suite's version, "2006.1"
  std::string_view usage;    // the lines after "usage: ", each ended by a line end
  std::string_view about;    // what the program does, for --help; may be empty
};

// An argument in the place of an option that names one: "-x" or "--name".
// A lone "-" is none; "--" ends the options (what follows is taken as it is).
inline bool isOption(std::string_view arg) { return arg.size() > 1 && arg.front() == '-'; }

// The index of the "--" that ends the options (one that is no option's
// value), or the number of arguments when none does. What follows it are
// operands, taken as they are, even when they start with "-".
inline std::size_t optionsEnd(const std::vector<std::string>& args,
                              const std::function<bool(std::string_view)>& takesValue) {
  for (std::size_t k = 0; k < args.size(); ++k) {
    if (args[k] == "--") return k;
    if (takesValue && takesValue(args[k])) ++k;
  }
  return args.size();
}

inline int printUsageError(const ToolUsage& tool, std::string_view reason, std::ostream& err) {
  err << tool.program << ": " << reason << "\nusage: " << tool.usage;
  return kUsageExit;
}

// The exit status when the arguments ask for --help or --version: the answer
// is printed to `out`. Nothing when they do not. `takesValue` names the
// program's options whose next argument is their value (a value of
// "--help" is no request for help).
inline std::optional<int> answerHelpOrVersion(const ToolUsage& tool, const std::vector<std::string>& args,
                                              const std::function<bool(std::string_view)>& takesValue,
                                              std::ostream& out) {
  for (std::size_t k = 0; k < args.size(); ++k) {
    const std::string& arg = args[k];
    if (arg == "--") break;
    if (arg == "--help" || arg == "-h") {
      out << "usage: " << tool.usage;
      if (!tool.about.empty()) out << '\n' << tool.about;
      return 0;
    }
    if (arg == "--version") {
      out << tool.program << ' ' << tool.version << '\n';
      return 0;
    }
    if (takesValue && takesValue(arg)) ++k;
  }
  return std::nullopt;
}

}  // namespace veldra
