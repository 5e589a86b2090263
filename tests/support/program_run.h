#pragma once

// A program run as a test reads it: its output with line ends as on Linux
// (a program's standard output on Windows ends its lines with CR LF).

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace veldra::testing {

inline std::string unixLines(std::string text) {
  for (std::size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 1);
  return text;
}

// Runs the program with these arguments, no shell in between.
inline ProgramRun runTool(const std::filesystem::path& program, const std::vector<std::string>& arguments) {
  ProgramRun run = runProgram(program, arguments);
  EXPECT_TRUE(run.started) << utf8FromPath(program);
  run.out = unixLines(run.out);
  run.err = unixLines(run.err);
  return run;
}

}  // namespace veldra::testing
