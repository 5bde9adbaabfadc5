// roadkeep-tool settings: shows a card's recorder settings as the dialog reads them and saves
// changes through the dialog's own check and save.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::CommandOutput;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;
using roadkeep::test::ReadText;

std::string Tool() {
  const char* bin = std::getenv("ROADKEEP_BIN");
  return std::string(bin ? bin : "build/bin") + "/roadkeep-tool";
}

class SettingsCard : public testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(m_card.Path() / "SETTING");
    std::ofstream(File(), std::ios::binary) << "[blackbox]\r\nacc_level=2\r\nmodel=KT5\r\n"
                                               "; keep me\r\n[capacity]\r\nconst=50\r\n"
                                               "event=20\r\npark=20\r\nmanual=10\r\n";
  }
  fs::path File() const { return m_card.Path() / "SETTING" / "blackbox.cfg"; }
  std::string Run(const std::string& args) const {
    return Tool() + " settings " + m_card.Path().string() + " " + args;
  }
  TempDir m_card;
};

TEST_F(SettingsCard, ShowsTheSettingsAsTheDialogReadsThem) {
  const std::string out = CommandOutput(Run(""));
  EXPECT_NE(out.find("const=50\nevent=20\npark=20\nmanual=10\n"), std::string::npos) << out;
  EXPECT_NE(out.find("acc_level=3\n"), std::string::npos) << out;  // level 2 shows as normal
  // Missing: the recorder's factory value.
  EXPECT_NE(out.find("power_off_vlt=11800\n"), std::string::npos) << out;
  EXPECT_NE(out.find("model=KT5\nversion=\n"), std::string::npos) << out;
  EXPECT_EQ(ReadText(File()).find("tat_update"), std::string::npos);  // looking writes nothing
}

TEST_F(SettingsCard, SavesWhatTheDialogWouldAndRefusesWhatItWouldNot) {
  const std::string before = ReadText(File());
  const struct {
    const char* args;
    int status;  // 0 saved, else refused
  } refused[] = {
      {"const=45", 1},   {"acc_level=2", 1}, {"power_off_vlt=12000", 1},
      {"mic_in=yes", 1}, {"colour=red", 1},  {"time=12:00", 1},
      {"const", 1},      {"const=040", 1},   {"const=+40", 1},
      {"mic_in=01", 1},  {"manual= 20", 1},
  };
  for (const auto& r : refused) {
    EXPECT_NE(RunCommand(Run(r.args) + " 2>/dev/null"), 0) << r.args;
    EXPECT_EQ(ReadText(File()), before) << r.args;  // checked before anything is written
  }
  // The shares must still total 100: only the update flag is written.
  EXPECT_NE(RunCommand(Run("event=30 2>/dev/null")), 0);
  std::string flagged = before;
  flagged.insert(flagged.find("[capacity]"), "tat_update=1\r\n");
  EXPECT_EQ(ReadText(File()), flagged);

  ASSERT_EQ(RunCommand(Run("const=40 manual=20 acc_level=0 power_off_vlt=11500 >/dev/null")), 0);
  const std::string saved = ReadText(File());
  EXPECT_NE(saved.find("acc_level=0\r\nmodel=KT5\r\n; keep me\r\n"), std::string::npos) << saved;
  EXPECT_NE(saved.find("const=40\r\nevent=20\r\npark=20\r\nmanual=20\r\n"), std::string::npos)
      << saved;
  EXPECT_NE(saved.find("power_off_vlt=11500\r\n[capacity]"), std::string::npos) << saved;
  // Keys not given stay as they were, missing ones missing.
  for (const char* untouched : {"motion_level", "mic_in", "voice_out", "[time]"}) {
    EXPECT_EQ(saved.find(untouched), std::string::npos) << untouched << "\n" << saved;
  }

  ASSERT_EQ(RunCommand(Run("time=now >/dev/null")), 0);
  EXPECT_NE(ReadText(File()).find("set=1\r\nyear="), std::string::npos);
}

TEST(SettingsCommand, ACardWhoseSettingsCannotBeEditedIsRefusedWithTheReason) {
  TempDir card;
  const std::string run = Tool() + " settings " + card.Path().string();
  EXPECT_NE(RunCommand(run + " 2>/dev/null"), 0);
  EXPECT_TRUE(fs::is_empty(card.Path()));
  EXPECT_NE(RunCommand(Tool() + " settings 2>/dev/null"), 0);

  fs::create_directory(card.Path() / "SETTING");
  const std::string huge = (card.Path() / "SETTING" / "blackbox.cfg").string();
  std::ofstream(huge, std::ios::binary) << std::string(10 << 20, ';');
  const std::string out = CommandOutput(run + " const=40 manual=20 2>&1");
  EXPECT_NE(out.find("too large to be a settings file"), std::string::npos) << out;
  EXPECT_EQ(fs::file_size(huge), 10u << 20);
}

// A settings file or SETTING folder that is a link (which no recorder's card holds) would lead
// a save outside the card: it is refused with the reason, and what it leads to stays as it was.
TEST(SettingsCommand, ALinkAsTheSettingsFileOrFolderIsRefusedAndNothingOutsideIsWritten) {
  const struct {
    const char* name;
    bool folderLink;  // SETTING itself links to the outside folder, else SETTING/blackbox.cfg
  } cases[] = {{"file link", false}, {"folder link", true}};
  for (const auto& c : cases) {
    TempDir card, outside;
    const std::string victim = (outside.Path() / "blackbox.cfg").string();
    const std::string before = "Host *\n  ForwardAgent no\n";
    std::ofstream(victim, std::ios::binary) << before;
    if (c.folderLink) {
      fs::create_directory_symlink(outside.Path(), card.Path() / "SETTING");
    } else {
      fs::create_directory(card.Path() / "SETTING");
      fs::create_symlink(victim, card.Path() / "SETTING" / "blackbox.cfg");
    }
    const std::string run = Tool() + " settings " + card.Path().string();
    const std::string out = CommandOutput(run + " const=40 event=20 park=20 manual=20 2>&1; echo exit=$?");
    EXPECT_NE(out.find("a link"), std::string::npos) << c.name << ": " << out;
    EXPECT_EQ(out.find("exit=0"), std::string::npos) << c.name << ": " << out;
    EXPECT_EQ(ReadText(victim), before) << c.name;
    EXPECT_EQ(std::distance(fs::directory_iterator(outside.Path()), fs::directory_iterator()), 1)
        << c.name << ": no temporary file beside the victim";
  }
}

// An empty SETTING folder shows the factory settings and stays empty until a save, which
// makes the file from the factory text with the recorder's CR LF endings.
TEST(SettingsCommand, OnlyASaveMakesTheFile) {
  TempDir card;
  fs::create_directory(card.Path() / "SETTING");
  const std::string run = Tool() + " settings " + card.Path().string();
  const std::string out = CommandOutput(run);
  EXPECT_NE(out.find("const=50\n"), std::string::npos) << out;
  EXPECT_TRUE(fs::is_empty(card.Path() / "SETTING"));

  ASSERT_EQ(RunCommand(run + " mic_in=0 >/dev/null"), 0);
  const std::string made = ReadText((card.Path() / "SETTING" / "blackbox.cfg").string());
  EXPECT_EQ(made.rfind("[blackbox]\r\ntat_update=1\r\n", 0), 0u) << made;
  EXPECT_NE(made.find("\r\nmic_in=0\r\n"), std::string::npos) << made;
  // Every line ends in CR LF, as the recorder writes it.
  EXPECT_EQ(std::count(made.begin(), made.end(), '\n'), std::count(made.begin(), made.end(), '\r'))
      << made;
}

}  // namespace
