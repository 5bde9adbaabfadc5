#include "platform/ini_profile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::TempDir;
using roadkeep::test::WriteText;
using roadkeep::test::ReadText;

int EntriesIn(const std::filesystem::path& folder) {
  int count = 0;
  for (auto it = std::filesystem::directory_iterator(folder);
       it != std::filesystem::directory_iterator(); ++it) {
    ++count;
  }
  return count;
}

TEST(IniProfile, ReadsWithDefaultAndBufferSize) {
  TempDir dir;
  const std::string path = dir.File("config.cfg");
  WriteText(path,
            "[config]\n"
            "volume=1234567890123\n"
            "brightness=-3\n"
            "empty=\n");
  const struct {
    const char* section;
    const char* key;
    const char* fallback;
    int size;
    const char* expected;
  } cases[] = {
      {"config", "brightness", "-200", 10, "-3"},
      {"config", "volume", "-200", 10, "123456789"},  // 9 characters fit a 10-byte buffer
      {"config", "volume", "-200", 4, "123"},
      {"config", "volume", "-200", 1, ""},
      {"config", "volume", "-200", 0, ""},
      {"config", "volume", "-200", -5, ""},
      {"config", "empty", "-200", 10, ""},  // present but empty is not missing
      {"config", "missing", "-200", 10, "-200"},
      {"config", "missing", "abcdefghijkl", 10, "abcdefghi"},  // the default is cut as well
      {"config", "missing", "-200", 3, "-2"},
      {"other", "volume", "none", 10, "none"},
      {"CONFIG", "Brightness", "-200", 10, "-3"},  // names without regard to case
      {"Config", "VOLUME", "-200", 6, "12345"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadIniString(c.section, c.key, c.fallback, c.size, path.c_str()), c.expected)
        << c.section << "/" << c.key << " size " << c.size;
  }
  EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, dir.File("absent.cfg").c_str()), "-200");
  EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, nullptr), "-200");
  EXPECT_EQ(ReadIniString("config", "volume", nullptr, 10, dir.File("absent.cfg").c_str()), "");
}

TEST(IniProfile, WriteKeepsOtherSectionsKeysAndComments) {
  TempDir dir;
  const std::string path = dir.File("blackbox.cfg");
  WriteText(path,
            "; recorder settings\n"
            "[blackbox]\n"
            "; how long a clip is\n"
            "clip=60\n"
            "voice=1\n"
            "\n"
            "[time]\n"
            "zone=9\n");
  ASSERT_TRUE(WriteIniString("BLACKBOX", "Voice", "0", path.c_str()));
  ASSERT_TRUE(WriteIniString("capacity", "driving", "40", path.c_str()));

  EXPECT_EQ(ReadIniString("blackbox", "voice", "", 10, path.c_str()), "0");
  EXPECT_EQ(ReadIniString("blackbox", "clip", "", 10, path.c_str()), "60");
  EXPECT_EQ(ReadIniString("time", "zone", "", 10, path.c_str()), "9");
  EXPECT_EQ(ReadIniString("capacity", "driving", "", 10, path.c_str()), "40");
  const std::string text = ReadText(path);
  EXPECT_NE(text.find("; recorder settings"), std::string::npos) << text;
  EXPECT_NE(text.find("; how long a clip is"), std::string::npos) << text;
  // The key keeps its one entry, under the spelling the file already had.
  EXPECT_EQ(text.find("Voice"), std::string::npos) << text;
  EXPECT_EQ(text.find("BLACKBOX"), std::string::npos) << text;
  EXPECT_EQ(text.find("voice"), text.rfind("voice")) << text;
  // No temporary file is left beside it.
  EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

TEST(IniProfile, WriteToAMissingFileCreatesIt) {
  TempDir dir;
  const std::string path = dir.File("config.cfg");
  ASSERT_TRUE(WriteIniString("config", "volume", "99", path.c_str()));
  ASSERT_TRUE(std::filesystem::is_regular_file(path));
  EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, path.c_str()), "99");
  ASSERT_TRUE(WriteIniString("config", "brightness", "-5", path.c_str()));
  EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, path.c_str()), "99");
  EXPECT_EQ(ReadIniString("config", "brightness", "-200", 10, path.c_str()), "-5");
  EXPECT_EQ(EntriesIn(dir.Path()), 1);

  EXPECT_FALSE(WriteIniString("config", "volume", "1", dir.File("no/such/folder.cfg").c_str()));
  EXPECT_FALSE(WriteIniString("config", "volume", nullptr, path.c_str()));
  EXPECT_FALSE(WriteIniString(nullptr, "volume", "1", path.c_str()));
}

TEST(IniProfile, FailedWriteLeavesTheOldFileAsItWas) {
  // A path that is a folder: nothing can be renamed over it, and it stays as it was.
  {
    TempDir dir;
    const std::filesystem::path folder = dir.Path() / "config.cfg";
    std::filesystem::create_directory(folder);
    WriteText((folder / "inside").string(), "x");
    EXPECT_FALSE(WriteIniString("config", "volume", "99", folder.string().c_str()));
    EXPECT_TRUE(std::filesystem::is_directory(folder));
    EXPECT_EQ(ReadText((folder / "inside").string()), "x");
    EXPECT_EQ(EntriesIn(dir.Path()), 1);  // no temporary file left
    EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, folder.string().c_str()), "-200");
  }
  if (geteuid() == 0) {
    // Root passes every permission check; /proc takes no new file and its files take no
    // writes.
    const std::string before = ReadText("/proc/version");
    EXPECT_FALSE(WriteIniString("config", "volume", "99", "/proc/version"));
    EXPECT_EQ(ReadText("/proc/version"), before);
    EXPECT_FALSE(WriteIniString("config", "volume", "99", "/proc/roadkeep-config.cfg"));
    EXPECT_FALSE(std::filesystem::exists("/proc/roadkeep-config.cfg"));
  } else {
    TempDir dir;
    const std::string path = dir.File("config.cfg");
    const std::string old = "[config]\nvolume=10\n";
    WriteText(path, old);
    ::chmod(path.c_str(), 0444);
    ::chmod(dir.Path().c_str(), 0555);
    EXPECT_FALSE(WriteIniString("config", "volume", "99", path.c_str()));
    EXPECT_FALSE(WriteIniString("config", "volume", "99", dir.File("new.cfg").c_str()));
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(ReadText(path), old);
    EXPECT_EQ(EntriesIn(dir.Path()), 1);
  }
}

// The temporary file has a short name of its own, so a file whose name only just fits the
// folder is still saved whole.
TEST(IniProfile, LongFileNamesStillSaveThroughATemporaryFile) {
  TempDir dir;
  const std::string path = dir.File(std::string(250, 'c') + ".cfg");
  WriteText(path, "[config]\nbrightness=2\nvolume=10\n");
  ASSERT_TRUE(WriteIniString("config", "volume", "99", path.c_str()));
  EXPECT_EQ(ReadText(path), "[config]\nbrightness=2\nvolume=99\n");
  EXPECT_EQ(EntriesIn(dir.Path()), 1);
}

// Each case: the file, what is set, and the file after; everything not set stays byte for
// byte, line endings included.
TEST(IniProfile, WritesTouchOnlyTheLineOfTheKeyTheySet) {
  const struct {
    const char* name;
    std::string before;
    std::vector<IniEntry> writes;
    std::string after;
  } cases[] = {
      {"value replaced in place, spacing and comments kept",
       "; card\r\n\r\n[Capacity]\r\n  Const = 50\r\nodd line\r\n\r\n[x]\r\ny=1",
       {{"capacity", "const", "40"}},
       "; card\r\n\r\n[Capacity]\r\n  Const = 40\r\nodd line\r\n\r\n[x]\r\ny=1"},
      {"missing key goes below the section's last line, before the blank",
       "[a]\r\nk=1\r\n\r\n[b]\r\n", {{"a", "n", "2"}},
       "[a]\r\nk=1\r\nn=2\r\n\r\n[b]\r\n"},
      {"missing section goes at the end, the final line gets its break",
       "[a]\nk=1", {{"time", "set", "0"}, {"time", "sec", "5"}},
       "[a]\nk=1\n[time]\nset=0\nsec=5\n"},
      {"new lines take the first line's ending", "[a]\r\nk=1\n", {{"a", "m", "3"}},
       "[a]\r\nk=1\nm=3\r\n"},
      {"first of duplicate keys and sections is the one set",
       "[a]\nk=1\nk=2\n[A]\nk=3\n", {{"a", "K", "9"}}, "[a]\nk=9\nk=2\n[A]\nk=3\n"},
      {"keys above any section and commented keys are not matched",
       "k=1\n[a]\n;k=2\n#k=3\n", {{"a", "k", "4"}}, "k=1\n[a]\n;k=2\n#k=3\nk=4\n"},
      {"empty file", "", {{"blackbox", "tat_update", "1"}}, "[blackbox]\ntat_update=1\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const std::string path = dir.File("blackbox.cfg");
    WriteText(path, c.before);
    ASSERT_TRUE(WriteIniStrings(path, c.writes)) << c.name;
    EXPECT_EQ(ReadText(path), c.after) << c.name;
    for (const IniEntry& e : c.writes) {
      EXPECT_EQ(ReadIniString(e.section.c_str(), e.key.c_str(), "-", 64, path.c_str()), e.value)
          << c.name;
    }
  }
}

TEST(IniProfile, NamesThatCouldNotBeReadBackAreRefusedWithTheFileUnchanged) {
  TempDir dir;
  const std::string path = dir.File("blackbox.cfg");
  WriteText(path, "[a]\nk=1\n");
  const IniEntry bad[] = {{"a", "", "1"},    {"", "k", "1"},     {"a", "k=", "1"},
                          {"a]", "k", "1"},  {"a", " k", "1"},   {"a", "k", "1\n[b]"},
                          {"a\n", "k", "1"}, {"a", "k\r", "1"}};
  for (const IniEntry& e : bad) {
    const IniEntry entries[] = {{"a", "k", "2"}, e};
    EXPECT_FALSE(WriteIniStrings(path, entries)) << e.section << "/" << e.key << "=" << e.value;
  }
  EXPECT_EQ(ReadText(path), "[a]\nk=1\n");
}

TEST(IniProfile, ValuesAreTrimmedAndLoseMatchingQuotes) {
  const CIniText text("[s]\na = 1 \nb=\"two words\"\nc='x\nd=\n e\t=\t5\n");
  EXPECT_EQ(text.Get("s", "a"), "1");
  EXPECT_EQ(text.Get("s", "b"), "two words");
  EXPECT_EQ(text.Get("s", "c"), "'x");
  EXPECT_EQ(text.Get("s", "d"), "");
  EXPECT_EQ(text.Get("S", "E"), "5");
  EXPECT_EQ(text.Get("s", "f"), std::nullopt);
  EXPECT_EQ(text.Get("t", "a"), std::nullopt);
}

// A save stopped after the temporary file is written and before the rename (the process
// dies there, as with a card pulled mid-save) leaves the old file whole.
TEST(IniProfileDeathTest, SaveStoppedBeforeTheRenameLeavesTheOldFileWhole) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  TempDir dir;
  const std::string path = dir.File("blackbox.cfg");
  const std::string old = "[capacity]\r\nconst=50\r\nevent=20\r\n";
  WriteText(path, old);
  const auto save = [&path] {
    SetIniSaveHookForTest([](const std::string&) { std::_Exit(7); });
    const IniEntry entries[] = {{"capacity", "const", "40"}, {"capacity", "event", "30"}};
    WriteIniStrings(path, entries);
  };
  EXPECT_EXIT(save(), testing::ExitedWithCode(7), "");
  EXPECT_EQ(ReadText(path), old);
  EXPECT_EQ(ReadIniString("capacity", "const", "0", 10, path.c_str()), "50");
  // The next save goes through (what such a save leaves behind, the next saves remove).
  ASSERT_TRUE(WriteIniString("capacity", "const", "40", path.c_str()));
  EXPECT_EQ(ReadText(path), "[capacity]\r\nconst=40\r\nevent=20\r\n");
}

// What a save removes beside the file: only regular files of its own temporary naming that no
// save holds any more; links and folders of that naming, and other files, stay.
TEST(IniProfile, ASaveRemovesOnlyItsOwnDeadTemporaryFiles) {
  enum Kind { kFile, kFolder, kLink };
  const struct {
    const char* name;
    Kind kind;
    bool removed;
  } cases[] = {
      {".rk-save-Ab12Cd34Ef.part", kFile, true},
      {".rk-save-Ab12Cd34E.part", kFile, false},
      {".rk-save-DIR0000000.part", kFolder, false},
      {".rk-save-LNK0000000.part", kLink, false},
      {".rk-snapshot-Ab12Cd34Ef.part", kFile, false},
  };
  TempDir dir;
  const std::filesystem::path target = dir.Path() / "target";
  WriteText(target.string(), "kept");
  for (const auto& c : cases) {
    const std::filesystem::path path = dir.Path() / c.name;
    if (c.kind == kFile) WriteText(path.string(), "x");
    if (c.kind == kFolder) std::filesystem::create_directory(path);
    if (c.kind == kLink) std::filesystem::create_symlink(target, path);
  }
  ASSERT_TRUE(WriteIniString("config", "volume", "1", dir.File("config.cfg").c_str()));
  for (const auto& c : cases) {
    EXPECT_EQ(std::filesystem::exists(std::filesystem::symlink_status(dir.Path() / c.name)),
              !c.removed)
        << c.name;
  }
  EXPECT_EQ(ReadText(target.string()), "kept");
}

// A file that is a link is neither read nor written unless the caller follows links (the
// viewer's own config); a followed link stays a link and its file takes the save.
TEST(IniProfile, ALinkIsRefusedUnlessTheCallerFollowsIt) {
  const struct {
    LinkPolicy links;
    bool saved;
  } cases[] = {{LinkPolicy::kRefuse, false}, {LinkPolicy::kFollow, true}};
  for (const auto& c : cases) {
    TempDir dir, elsewhere;
    const std::string target = elsewhere.File("target.cfg"), link = dir.File("config.cfg");
    WriteText(target, "[config]\nvolume=7\n");
    std::filesystem::create_symlink(target, link);
    EXPECT_EQ(ReadIniString("config", "volume", "-", 10, link.c_str(), c.links),
              c.saved ? "7" : "-");
    EXPECT_EQ(WriteIniString("config", "volume", "9", link.c_str(), c.links), c.saved);
    EXPECT_EQ(ReadText(target), c.saved ? "[config]\nvolume=9\n" : "[config]\nvolume=7\n");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
  }
}

TEST(IniProfile, UnreadableAndGarbageFilesGiveTheDefault) {
  TempDir dir;
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"binary", std::string("\x00\xff\xfe[\x01=\x02\n\x00\x00", 10)},
      {"no section", "volume=77\n"},
      {"unclosed section", "[config\nvolume=77\n"},
      {"text", "this is not\nan ini file at all\n===\n[]\n"},
      {"one long line", std::string(100000, 'v')},
      {"a 1 MB line before the section", std::string(1 << 20, 'x') + "\n[config]\nvol=1\n"},
      {"empty", ""},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(c.name);
    WriteText(path, c.bytes);
    EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, path.c_str()), "-200") << c.name;
    // Whatever it makes of the file, a write keeps the new key readable or fails cleanly.
    if (WriteIniString("config", "volume", "5", path.c_str())) {
      EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, path.c_str()), "5") << c.name;
    } else {
      EXPECT_EQ(ReadText(path), c.bytes) << c.name;
    }
  }
  if (geteuid() != 0) {
    const std::string path = dir.File("locked.cfg");
    WriteText(path, "[config]\nvolume=77\n");
    ::chmod(path.c_str(), 0);
    EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, path.c_str()), "-200");
    EXPECT_FALSE(WriteIniString("config", "volume", "5", path.c_str()));
    ::chmod(path.c_str(), 0644);
    EXPECT_EQ(ReadText(path), "[config]\nvolume=77\n");
  }
}

// Folders, devices and oversized files are not profiles: reading one gives the default at
// once (no endless read, no buffer sized from a bogus length) and writing fails.
TEST(IniProfile, FoldersDevicesAndHugeFilesAreNotProfiles) {
  TempDir dir;
  const std::string huge = dir.File("huge.cfg");
  WriteText(huge, "[config]\nvolume=7\n" + std::string(5 << 20, ';'));
  for (const std::string& path : {dir.Path().string(), std::string("/dev/zero"), huge}) {
    EXPECT_EQ(ReadIniString("config", "volume", "-200", 10, path.c_str()), "-200") << path;
    EXPECT_FALSE(WriteIniString("config", "volume", "5", path.c_str())) << path;
  }
  EXPECT_EQ(std::filesystem::file_size(huge), 18u + (5u << 20));  // untouched
}

}  // namespace
