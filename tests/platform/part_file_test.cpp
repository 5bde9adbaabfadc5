// Files written beside a user's files: the part is never anything planted, a cleanup removes
// only parts of this user whose writer is gone, and moving into place never goes through a link.
#include "platform/part_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
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

constexpr char kPrefix[] = ".rk-test-";

// Writes "new" through a new part and moves it to destination; what MoveIntoPlace says.
int WriteThroughPart(const std::string& destination, bool replace) {
  CPartFile part;
  if (part.Create(destination, kPrefix) != 0) return -1;
  // A name the cleanup knows as a part's.
  EXPECT_TRUE(IsPartName(fs::path(part.Path()).filename().string(), kPrefix)) << part.Path();
  struct stat info {};
  ::lstat(part.Path().c_str(), &info);
  // Nobody else reads a part while it is written, nor takes its lock.
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const int other = ::open(part.Path().c_str(), O_RDONLY);
  EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
  ::close(other);
  EXPECT_EQ(::write(part.Fd(), "new", 3), 3);
  return part.MoveIntoPlace(replace);
}

TEST(PartFile, MovingIntoPlaceReplacesOnlyARegularFileAndOnlyWhenAsked) {
  enum Stands { kNothing, kFile, kLink, kFolder };
  const struct {
    const char* name;
    Stands stands;
    bool replace;
    int error;
  } cases[] = {
      {"new name", kNothing, false, 0},         {"file, keep", kFile, false, EEXIST},
      {"file, replace", kFile, true, 0},        {"link, keep", kLink, false, ELOOP},
      {"link, replace", kLink, true, ELOOP},    {"folder, replace", kFolder, true, ELOOP},
  };
  const mode_t mask = ::umask(022);
  for (const auto& c : cases) {
    TempDir dir, elsewhere;
    const std::string destination = dir.File("out.avi"), victim = elsewhere.File("victim");
    WriteText(victim, "victim");
    if (c.stands == kFile) {
      WriteText(destination, "old");
      ::chmod(destination.c_str(), 0640);
    }
    if (c.stands == kLink) fs::create_symlink(victim, destination);
    if (c.stands == kFolder) fs::create_directory(destination);
    EXPECT_EQ(WriteThroughPart(destination, c.replace), c.error) << c.name;
    EXPECT_EQ(ReadText(victim), "victim") << c.name;
    if (c.stands == kFile || c.error == 0) {
      EXPECT_EQ(ReadText(destination), c.error == 0 ? "new" : "old") << c.name;
      // A new file gets the usual permissions, a replaced one keeps its own.
      EXPECT_EQ(fs::status(destination).permissions() & fs::perms::all,
                c.stands == kFile ? fs::perms(0640) : fs::perms(0644))
          << c.name;
    }
    // Moved or not, no part is left in the folder.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1)
        << c.name;
  }
  ::umask(mask);
}

// A cleanup removes what a writer that died left, and nothing else: a part still locked by its
// writer (here in another process, as a second export or a container would hold it), links,
// folders, FIFOs, other prefixes and other users' files stay.
TEST(PartFile, OnlyUnlockedRegularPartsOfThisUserAreRemoved) {
  enum Kind { kPlain, kLockedByChild, kLink, kFolder, kFifo, kOtherUser };
  const struct {
    const char* name;
    Kind kind;
    bool removed;
  } cases[] = {
      {".rk-test-AbCdEfGhIj.part", kPlain, true},
      {".rk-test-0123456789.part", kLockedByChild, false},
      {".rk-test-LinkLinkLi.part", kLink, false},
      {".rk-test-FolderFold.part", kFolder, false},
      {".rk-test-FifoFifoFi.part", kFifo, false},
      {".rk-test-OtherOther.part", kOtherUser, false},
      {".rk-mp4-AbCdEfGhIj.part", kPlain, false},  // another prefix
      {".rk-test-123-0.part", kPlain, false},      // not a name a part is given
  };
  TempDir dir, elsewhere;
  const std::string victim = elsewhere.File("victim");
  WriteText(victim, "victim");
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  pid_t child = -1;
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    if (c.kind == kLink) fs::create_symlink(victim, path);
    if (c.kind == kFolder) fs::create_directory(path);
    if (c.kind == kFifo) {
      ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    }
    if (c.kind != kPlain && c.kind != kOtherUser && c.kind != kLockedByChild) continue;
    WriteText(path, "x");
    // Only root can give a file to another user; otherwise that one is ours and dead too.
    if (c.kind == kOtherUser && ::geteuid() == 0) {
      ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
    }
    if (c.kind == kLockedByChild && (child = ::fork()) == 0) {
      ::flock(::open(path.c_str(), O_RDONLY), LOCK_EX);
      (void)!::write(ready[1], "1", 1);
      ::pause();
      ::_exit(0);
    }
  }
  char b = 0;
  ASSERT_EQ(::read(ready[0], &b, 1), 1);  // the child holds its lock now
  const int removed = RemoveDeadParts(dir.Path().string(), kPrefix);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  int expected = 0;
  for (const auto& c : cases) {
    const bool gone = c.removed || (c.kind == kOtherUser && ::geteuid() != 0);
    EXPECT_EQ(!fs::exists(fs::symlink_status(dir.File(c.name))), gone) << c.name;
    expected += gone;
  }
  EXPECT_EQ(removed, expected);
  EXPECT_EQ(ReadText(victim), "victim");
  // Once its writer is gone, the part that was locked goes too.
  EXPECT_EQ(RemoveDeadParts(dir.Path().string(), kPrefix), 1);
  ::close(ready[0]);
  ::close(ready[1]);
}

}  // namespace
