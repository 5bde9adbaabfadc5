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

bool WriteAllText(int fd, const std::string& text) {
  return ::write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
}

TEST(PartFile, APartIsANewLockedFileOfOurOwnUnderAnUnguessableName) {
  TempDir dir;
  const std::string destination = dir.File("out.avi");
  CPartFile first, second;
  ASSERT_EQ(first.Create(destination, kPrefix), 0);
  ASSERT_EQ(second.Create(destination, kPrefix), 0);
  EXPECT_NE(first.Path(), second.Path());
  for (const CPartFile* part : {&first, &second}) {
    const fs::path path = part->Path();
    EXPECT_EQ(path.parent_path(), dir.Path());
    EXPECT_TRUE(IsPartName(path.filename().string(), kPrefix)) << path;
    struct stat info {};
    ASSERT_EQ(::lstat(part->Path().c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "nobody else reads a part while it is written";
    // Another open of the file cannot take the writer's lock.
    const int other = ::open(part->Path().c_str(), O_RDONLY);
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
    // The descriptor's name reaches this very file.
    ASSERT_TRUE(WriteAllText(part->Fd(), "x"));
    EXPECT_EQ(ReadText(part->FdPath()), "x");
  }
  const std::string path = first.Path();
  first.Discard();
  EXPECT_FALSE(fs::exists(path));
}

TEST(PartFile, MovingIntoPlaceReplacesOnlyARegularFileAndOnlyWhenAsked) {
  enum Stands { kNothing, kFile, kLink, kFolder };
  const struct {
    const char* name;
    Stands stands;
    bool replace;
    int error;
  } cases[] = {
      {"new name", kNothing, false, 0},
      {"file, keep", kFile, false, EEXIST},
      {"file, replace", kFile, true, 0},
      {"link, keep", kLink, false, ELOOP},
      {"link, replace", kLink, true, ELOOP},
      {"folder, replace", kFolder, true, ELOOP},
  };
  for (const auto& c : cases) {
    TempDir dir, elsewhere;
    const std::string destination = dir.File("out.avi");
    const std::string victim = elsewhere.File("victim");
    WriteText(victim, "victim");
    if (c.stands == kFile) WriteText(destination, "old");
    if (c.stands == kLink) fs::create_symlink(victim, destination);
    if (c.stands == kFolder) fs::create_directory(destination);
    CPartFile part;
    ASSERT_EQ(part.Create(destination, kPrefix), 0) << c.name;
    ASSERT_TRUE(WriteAllText(part.Fd(), "new")) << c.name;
    EXPECT_EQ(part.MoveIntoPlace(c.replace), c.error) << c.name;
    EXPECT_EQ(ReadText(victim), "victim") << c.name;
    if (c.error == 0) {
      EXPECT_EQ(ReadText(destination), "new") << c.name;
    } else if (c.stands == kFile) {
      EXPECT_EQ(ReadText(destination), "old") << c.name;
    }
    // Moved or not, no part is left in the folder.
    size_t entries = 0;
    for (const auto& e : fs::directory_iterator(dir.Path())) entries += e.path() != destination;
    EXPECT_EQ(entries, 0u) << c.name;
  }
}

TEST(PartFile, ANewFileGetsTheUsualPermissionsAndAReplacedOneKeepsItsOwn) {
  TempDir dir;
  const mode_t old = ::umask(022);
  CPartFile fresh;
  ASSERT_EQ(fresh.Create(dir.File("new.jpg"), kPrefix), 0);
  ASSERT_EQ(fresh.MoveIntoPlace(false), 0);
  EXPECT_EQ(fs::status(dir.File("new.jpg")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                fs::perms::others_read);
  WriteText(dir.File("kept.jpg"), "old");
  ::chmod(dir.File("kept.jpg").c_str(), 0640);
  CPartFile again;
  ASSERT_EQ(again.Create(dir.File("kept.jpg"), kPrefix), 0);
  ASSERT_EQ(again.MoveIntoPlace(true), 0);
  EXPECT_EQ(fs::status(dir.File("kept.jpg")).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  ::umask(old);
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
      {".rk-mp4-AbCdEfGhIj.part", kPlain, false},       // another prefix
      {".rk-test-123-0.part", kPlain, false},           // not a name a part is given
      {".rk-test-AbCdEfGhIj.partx", kPlain, false},
      {"2026_front.jpg", kPlain, false},
  };
  TempDir dir, elsewhere;
  const std::string victim = elsewhere.File("victim");
  WriteText(victim, "victim");
  int pipeFds[2];
  ASSERT_EQ(::pipe(pipeFds), 0);
  pid_t child = -1;
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    switch (c.kind) {
      case kPlain: WriteText(path, "x"); break;
      case kLink: fs::create_symlink(victim, path); break;
      case kFolder: fs::create_directory(path); break;
      case kFifo: ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0); break;
      case kOtherUser:
        WriteText(path, "x");
        if (::geteuid() == 0) {
          ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
        }
        break;
      case kLockedByChild: {
        WriteText(path, "x");
        child = ::fork();
        if (child == 0) {
          const int fd = ::open(path.c_str(), O_RDONLY);
          ::flock(fd, LOCK_EX);
          char b = 1;
          (void)!::write(pipeFds[1], &b, 1);
          ::pause();
          ::_exit(0);
        }
        char b = 0;
        ASSERT_EQ(::read(pipeFds[0], &b, 1), 1);  // the child holds the lock now
        break;
      }
    }
  }
  const int removed = RemoveDeadParts(dir.Path().string(), kPrefix);
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  int expected = 0;
  for (const auto& c : cases) {
    // Only root can give a file to another user; otherwise that one is ours and dead too.
    const bool removed = c.removed || (c.kind == kOtherUser && ::geteuid() != 0);
    EXPECT_EQ(!fs::exists(fs::symlink_status(dir.File(c.name))), removed) << c.name;
    expected += removed;
  }
  EXPECT_EQ(removed, expected);
  EXPECT_EQ(ReadText(victim), "victim");
  // Once its writer is gone, the part that was locked goes too.
  EXPECT_EQ(RemoveDeadParts(dir.Path().string(), kPrefix), 1);
  ::close(pipeFds[0]);
  ::close(pipeFds[1]);
}

}  // namespace
