// Temporary files of an export: those of a process that died are removed, nothing else is,
// and a finished part never takes the place of a file unless asked.
#include "containers/part_file.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;
using roadkeep::test::ReadText;
using roadkeep::test::TempDir;
using roadkeep::test::WriteText;

namespace {

// The id of a process that has ended.
pid_t DeadPid() {
  const pid_t child = ::fork();
  if (child == 0) ::_exit(0);
  ::waitpid(child, nullptr, 0);
  return child;
}

}  // namespace

TEST(PartFile, OnlyTheRegularPartsOfAProcessThatDiedAreRemoved) {
  TempDir dir;
  const std::string dead = std::to_string(DeadPid()), alive = std::to_string(::getpid());
  struct Case {
    std::string name;
    bool directory;
    bool removed;
  } cases[] = {
      {".rk-mp4-" + dead + "-0.part", false, true},
      {".rk-mp4-" + alive + "-0.part", false, false},      // still being written
      {".rk-export-" + dead + "-0.part", false, false},    // another prefix
      {".rk-mp4-" + dead + "-1.part", true, false},        // not a regular file
      {".rk-mp4-" + dead + "-2.avi", false, false},        // not a part
      {".rk-mp4-x.part", false, false},                    // no process id
      {"20260101_120000_R.mp4", false, false},
  };
  for (const Case& c : cases) {
    if (c.directory) {
      fs::create_directory(dir.Path() / c.name);
    } else {
      WriteText(dir.File(c.name), "x");
    }
  }
  RemoveStaleParts(dir.Path().string(), ".rk-mp4-");
  for (const Case& c : cases) EXPECT_EQ(!fs::exists(dir.Path() / c.name), c.removed) << c.name;
}

TEST(PartFile, AFinishedPartReplacesAFileOnlyWhenAsked) {
  TempDir dir;
  const std::string destination = dir.File("out.mp4");
  const std::string first = PartPath(destination, ".rk-mp4-"), second = PartPath(destination, ".rk-mp4-");
  EXPECT_NE(first, second);
  EXPECT_EQ(fs::path(first).parent_path(), dir.Path());
  WriteText(first, "first");
  WriteText(second, "second");
  EXPECT_EQ(MoveIntoPlace(first, destination, false), 0);
  EXPECT_EQ(MoveIntoPlace(second, destination, false), EEXIST);
  EXPECT_EQ(ReadText(destination), "first");
  EXPECT_EQ(MoveIntoPlace(second, destination, true), 0);
  EXPECT_EQ(ReadText(destination), "second");
}
