// roadkeep-tool's command table: --help for the tool and for each command it lists.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;

std::string Tool() {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/roadkeep-tool";
}

// The command names the tool's own usage lists ("  NAME ARGS..." lines).
std::vector<std::string> ListedCommands(const std::string& usage) {
  std::vector<std::string> names;
  std::istringstream lines(usage);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() > 2 && line.rfind("  ", 0) == 0 && line[2] != ' ') {
      names.push_back(line.substr(2, line.find(' ', 2) - 2));
    }
  }
  return names;
}

TEST(ToolHelp, HelpPrintsEveryCommandOnStandardOutputAndSucceeds) {
  for (const char* flag : {"--help", "-h"}) {
    EXPECT_EQ(RunCommand(Tool() + " " + flag + " >/dev/null 2>&1"), 0) << flag;
    const std::string out = CommandOutput(Tool() + " " + flag + " 2>/dev/null");
    EXPECT_EQ(out.rfind("usage: roadkeep-tool COMMAND", 0), 0u) << out;
    const auto names = ListedCommands(out);
    for (const char* name : {"avi-info", "avi-copy", "make-card", "list", "dump", "play"}) {
      EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
    }
  }
  // Without a command the usage is an error.
  EXPECT_EQ(RunCommand(Tool() + " >/dev/null 2>&1"), 2);
  EXPECT_EQ(CommandOutput(Tool() + " 2>/dev/null"), "");
}

// Every listed command, whatever else is on its line, prints its usage and does nothing.
TEST(ToolHelp, EveryCommandPrintsItsUsageAndRunsNothing) {
  const auto names = ListedCommands(CommandOutput(Tool() + " --help"));
  ASSERT_FALSE(names.empty());
  TempDir dir;
  const std::string target = dir.File("made");
  for (const std::string& name : names) {
    for (const std::string& args :
         {std::string(" --help"), " " + target + " --help", " " + target + " X -h"}) {
      const std::string cmd = Tool() + " " + name + args;
      EXPECT_EQ(RunCommand(cmd + " >/dev/null 2>&1"), 0) << cmd;
      const std::string out = CommandOutput(cmd + " 2>&1");
      EXPECT_EQ(out.rfind("usage: roadkeep-tool " + name, 0), 0u) << cmd << "\n" << out;
      EXPECT_EQ(std::count(out.begin(), out.end(), '\n'), 1) << cmd << "\n" << out;
      EXPECT_FALSE(std::filesystem::exists(target)) << cmd;
    }
  }
}

}  // namespace
