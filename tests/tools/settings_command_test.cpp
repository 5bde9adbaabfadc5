// roadkeep-tool settings: shows a card's recorder settings as the dialog reads them and saves
// changes through the dialog's own check and save.
#include <gtest/gtest.h>

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
  EXPECT_NE(out.find("power_off_vlt=12100\n"), std::string::npos) << out;  // missing: entry 2
  EXPECT_NE(out.find("model=KT5\nversion=0\n"), std::string::npos) << out;
}

TEST_F(SettingsCard, SavesWhatTheDialogWouldAndRefusesWhatItWouldNot) {
  const std::string before = ReadText(File());
  const struct {
    const char* args;
    int status;  // 0 saved, else refused
  } refused[] = {
      {"const=45", 1},        {"acc_level=2", 1}, {"power_off_vlt=12000", 1},
      {"mic_in=yes", 1},      {"colour=red", 1},  {"time=12:00", 1},
      {"const", 1},
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
  EXPECT_NE(saved.find("[time]\r\nset=0\r\n"), std::string::npos) << saved;
  EXPECT_EQ(saved.find("year="), std::string::npos) << saved;

  ASSERT_EQ(RunCommand(Run("time=now >/dev/null")), 0);
  EXPECT_NE(ReadText(File()).find("set=1\r\nyear="), std::string::npos);
}

TEST(SettingsCommand, ACardWithoutASettingFolderIsRefused) {
  TempDir card;
  EXPECT_NE(RunCommand(Tool() + " settings " + card.Path().string() + " 2>/dev/null"), 0);
  EXPECT_TRUE(fs::is_empty(card.Path()));
  EXPECT_NE(RunCommand(Tool() + " settings 2>/dev/null"), 0);
  // An empty SETTING folder gets the factory text, which shows.
  fs::create_directory(card.Path() / "SETTING");
  const std::string out = CommandOutput(Tool() + " settings " + card.Path().string());
  EXPECT_NE(out.find("const=50\n"), std::string::npos) << out;
}

}  // namespace
