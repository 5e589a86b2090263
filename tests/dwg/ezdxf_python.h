#pragma once

// Runs the scripts that write test drawings with ezdxf, an independent DXF
// writer. Tests skip themselves when python3 or its ezdxf module is missing.

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace veldra::testing {

#ifndef VELDRA_PYTHON3
#define VELDRA_PYTHON3 "python3"
#endif

// Empty when ezdxf can be run; else what is missing, for the skip message.
inline std::string ezdxfMissing() {
  const ProgramRun probe = runProgram(VELDRA_PYTHON3, {"-c", "import ezdxf"});
  if (!probe.started) return "python3 is not installed";
  if (probe.exitCode != 0) return "the Debian package python3-ezdxf is not installed";
  return {};
}

// Runs `script` with `arguments`; empty on success, else what went wrong.
inline std::string runEzdxfScript(const std::filesystem::path& script, const std::vector<std::string>& arguments) {
  const std::filesystem::path python = VELDRA_PYTHON3;
  std::vector<std::string> all{script.string()};
  all.insert(all.end(), arguments.begin(), arguments.end());
  const ProgramRun run = runProgram(python, all);
  if (run.exitCode != 0) return "the ezdxf script failed: " + run.err;
  return {};
}

}  // namespace veldra::testing
