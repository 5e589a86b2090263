#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/platform.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace veldra {
namespace {

struct Tool {
  const char* name;
  std::filesystem::path program;
};

std::vector<Tool> tools() {
  std::vector<Tool> out{{"veldra-cli", pathFromUtf8(VELDRA_CLI)},
                        {"veldra-dwginfo", pathFromUtf8(VELDRA_DWGINFO)},
                        {"veldra-make-sample", pathFromUtf8(VELDRA_MAKE_SAMPLE)}};
#ifdef VELDRA_SETUP
  out.push_back({"veldra-setup", pathFromUtf8(VELDRA_SETUP)});
#endif
  return out;
}

// Run in an empty folder, a program asked for help must leave it empty, and
// so must one given an option it does not know.
class ToolOptions : public ::testing::Test {
 protected:
  ProgramRun run(const Tool& tool, std::vector<std::string> arguments) {
    std::error_code ec;
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const ProgramRun r = testing::runTool(tool.program, arguments);
    std::filesystem::current_path(before, ec);
    return r;
  }
  bool folderEmpty() const { return std::filesystem::is_empty(dir.path()); }
  testing::TempDir dir;
};

TEST_F(ToolOptions, EveryToolAnswersHelpAndVersionAndRefusesWhatItDoesNotKnow) {
  for (const Tool& tool : tools()) {
    for (const std::vector<std::string>& asked :
         {std::vector<std::string>{"--help"}, {"-h"}, {"--help", "--frobnicate"}, {"some folder", "--help"}}) {
      const ProgramRun help = run(tool, asked);
      EXPECT_EQ(help.exitCode, 0) << tool.name << ' ' << asked.back() << '\n' << help.err;
      EXPECT_TRUE(help.out.starts_with(std::string("usage: ") + tool.name + " ")) << tool.name << '\n' << help.out;
      EXPECT_EQ(help.err, "") << tool.name;
    }
    const ProgramRun version = run(tool, {"--version"});
    EXPECT_EQ(version.exitCode, 0) << tool.name;
    EXPECT_EQ(version.out, std::string(tool.name) + " " + VELDRA_PROJECT_VERSION + "\n");
    for (const std::vector<std::string>& wrong :
         {std::vector<std::string>{"--frobnicate"}, {"--frobnicate", "x.dwg"}, {"-q", "x"}}) {
      const ProgramRun r = run(tool, wrong);
      EXPECT_EQ(r.exitCode, 2) << tool.name << ' ' << wrong.front();
      EXPECT_NE(r.err.find("unknown option " + wrong.front()), std::string::npos) << tool.name << '\n' << r.err;
      EXPECT_NE(r.err.find(std::string("usage: ") + tool.name), std::string::npos) << tool.name;
      EXPECT_EQ(r.out, "") << tool.name;
    }
    EXPECT_TRUE(folderEmpty()) << tool.name << " left something behind";
  }
}

TEST_F(ToolOptions, CliUsageNamesEveryCommandAndOptionsStandAnywhere) {
  const Tool cli{"veldra-cli", pathFromUtf8(VELDRA_CLI)};
  const ProgramRun help = run(cli, {"--help"});
  for (const char* word : {"collect", "recompare", "evidence", "--template", "--percent"})
    EXPECT_NE(help.out.find(word), std::string::npos) << word;
  // An option of the evidence command before the command is its option.
  const auto base = dir.makeWorkspace();
  const ProgramRun evidence = run(cli, {"--term", "x", "--workspace", utf8FromPath(base), "evidence", "NOSUCH"});
  EXPECT_EQ(evidence.exitCode, 2);
  EXPECT_NE(evidence.err.find("no project NOSUCH"), std::string::npos) << evidence.err;
  // "--" ends the options of every command: a project named like an option
  // is looked for, not refused as an option.
  for (const std::vector<std::string>& ended :
       {std::vector<std::string>{"evidence", "--", "-odd"}, {"--", "evidence", "-odd"}, {"collect", "--", "-odd"},
        {"mark", "--", "-odd", "list"}}) {
    std::vector<std::string> line{"--workspace", utf8FromPath(base)};
    line.insert(line.end(), ended.begin(), ended.end());
    const ProgramRun r = run(cli, line);
    EXPECT_EQ(r.exitCode, 2) << ended.front();
    EXPECT_NE(r.err.find("no project -odd"), std::string::npos) << ended.front() << '\n' << r.err;
  }
}

#ifdef VELDRA_SETUP
// veldra-setup records the workspace in the user's settings: asked for help,
// it records nothing (the settings live under XDG_CONFIG_HOME here).
TEST_F(ToolOptions, SetupAskedForHelpRecordsNothing) {
#ifndef _WIN32
  testing::TempDir config;
  const char* const before = std::getenv("XDG_CONFIG_HOME");
  const std::string kept = before ? before : "";
  ::setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  const Tool setup{"veldra-setup", pathFromUtf8(VELDRA_SETUP)};
  const ProgramRun help = run(setup, {"--help"});
  const ProgramRun version = run(setup, {"--version"});
  const ProgramRun made = run(setup, {"--", "--odd name"});
  if (before) ::setenv("XDG_CONFIG_HOME", kept.c_str(), 1);
  else ::unsetenv("XDG_CONFIG_HOME");
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(version.exitCode, 0);
  // Only the run that was given a folder made it and recorded it.
  EXPECT_EQ(made.exitCode, 0) << made.err;
  EXPECT_TRUE(std::filesystem::is_directory(dir.path() / "--odd name" / "projects"));
  std::filesystem::remove_all(dir.path() / "--odd name");
  EXPECT_TRUE(folderEmpty());
  EXPECT_FALSE(std::filesystem::is_empty(config.path()));
#else
  GTEST_SKIP() << "the settings are in the registry on Windows";
#endif
}
#endif

// The drawing tool's options combine, in any order, and "--" ends them.
TEST_F(ToolOptions, DrawingToolOptionsCombine) {
  const std::filesystem::path drawings = testing::sharedDrawings();
  if (drawings.empty()) GTEST_SKIP() << "no sample drawings";
  // Absolute before the tool runs in another folder (on Windows, with the
  // drive of the folder the test started in).
  const std::string drawing = utf8FromPath(std::filesystem::absolute(drawings / "sample_AC1015.dwg"));
  const Tool info{"veldra-dwginfo", pathFromUtf8(VELDRA_DWGINFO)};
  const ProgramRun evidence = run(info, {"--evidence", drawing});
  const ProgramRun geometry = run(info, {"--geometry", drawing});
  ASSERT_EQ(evidence.exitCode, 0) << evidence.err;
  ASSERT_EQ(geometry.exitCode, 0) << geometry.err;
  for (const std::vector<std::string>& both : {std::vector<std::string>{"--evidence", "--geometry", drawing},
                                                {"--geometry", drawing, "--evidence"},
                                                {"--geometry", "--evidence", "--", drawing}}) {
    const ProgramRun r = run(info, both);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, evidence.out + geometry.out);
  }
  // A file name that begins like an option is read after "--".
  const ProgramRun odd = run(info, {"--", "--geometry"});
  EXPECT_EQ(odd.exitCode, 1);
  EXPECT_TRUE(odd.out.starts_with("error\t")) << odd.out;
}

}  // namespace
}  // namespace veldra
