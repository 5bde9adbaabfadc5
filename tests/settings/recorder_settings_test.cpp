#include "settings/recorder_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "tat/tat_library.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::TempDir;
using roadkeep::test::WriteText;
using roadkeep::test::ReadText;

std::tm Clock(int year, int month, int day, int hour, int minute, int second) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = hour;
  t.tm_min = minute;
  t.tm_sec = second;
  return t;
}

TEST(RecorderSettings, SelectionArithmeticMatchesTheLists) {
  const struct {
    int millivolts, entry;
  } voltages[] = {{11500, 0}, {11800, 1}, {12100, 2}, {12400, 3}, {11201, 0}, {11499, 0},
                  {0, 2},     {-40, 2},   {11200, -1}, {1, -1},   {12700, -1}, {12699, 3}};
  for (const auto& v : voltages) {
    EXPECT_EQ(VoltageSelection(v.millivolts), v.entry) << v.millivolts;
  }
  const struct {
    int percent, entry;
  } shares[] = {{10, 0}, {50, 4}, {70, 6}, {15, 0}, {79, 6}, {80, -1}, {9, -1}, {0, -1}, {-10, -1}};
  for (const auto& s : shares) EXPECT_EQ(ShareSelection(s.percent), s.entry) << s.percent;
  const struct {
    int level, position, savedAs;
  } levels[] = {{1, 1, 1}, {3, 2, 3}, {5, 3, 5}, {2, 2, 3}, {4, 2, 3}, {0, 2, 3}, {-1, 2, 3}};
  for (const auto& l : levels) {
    EXPECT_EQ(LevelToPosition(l.level), l.position) << l.level;
    EXPECT_EQ(PositionToLevel(LevelToPosition(l.level)), l.savedAs) << l.level;
  }
  const struct {
    const char* text;
    int millivolts;
  } entries[] = {{"11.5v/23.0v", 11500}, {"11.8v/23.6v", 11800}, {"12.1v/24.2v", 12100},
                 {"12.4v/24.8v", 12400}, {"v12", 0},             {"", 0},
                 {"1e300", 0},           {"nan", 0}};
  for (const auto& e : entries) EXPECT_EQ(VoltageFromEntry(e.text), e.millivolts) << e.text;
}

TEST(RecorderSettings, ClockListsHaveNoHourZeroAndNoYearsOutsideTheList) {
  const struct {
    std::tm now;
    int selections[kTimeFieldCount];
  } cases[] = {
      {Clock(2014, 3, 1, 9, 30, 5), {1, 2, 0, 8, 30, 5}},
      {Clock(2020, 12, 31, 0, 30, 0), {7, 11, 30, -1, 30, 0}},  // 00:30: no hour selected
      {Clock(2024, 1, 1, 23, 59, 59), {11, 0, 0, 22, 59, 59}},
      {Clock(2026, 6, 15, 12, 0, 0), {13, 5, 14, 11, 0, 0}},  // past the recorder's 2024
      {Clock(2099, 6, 15, 12, 0, 0), {86, 5, 14, 11, 0, 0}},
      {Clock(2100, 6, 15, 12, 0, 0), {-1, 5, 14, 11, 0, 0}},  // the year list ends at 2099
  };
  for (const auto& c : cases) {
    const SettingsForm form = ReadSettingsForm("/nonexistent/blackbox.cfg", c.now);
    for (int i = 0; i < kTimeFieldCount; ++i) {
      EXPECT_EQ(form.time[i], c.selections[i]) << kTimeKeys[i];
    }
  }
  // Saving with no hour selected writes hour 0, no year writes year 0.
  EXPECT_EQ(TimeValue(3, -1), 0);
  EXPECT_EQ(TimeValue(0, -1), 0);
  EXPECT_EQ(TimeValue(3, 8), 9);
}

TEST(RecorderSettings, ReadsTheFileAsTheDialogShowsIt) {
  TempDir dir;
  const struct {
    const char* name;
    std::string file;
    SettingsForm expected;
  } cases[] = {
      {"factory-like",
       "[blackbox]\r\nacc_level=3\r\nmotion_level=5\r\nmic_in=1\r\nvoice_out=0\r\n"
       "power_off_vlt=12400\r\nversion=QMV123-V1234567\r\nmodel=Roadkeep KT5 with a long name\r\n"
       "[capacity]\r\nconst=50\r\nevent=20\r\npark=20\r\nmanual=10\r\n",
       {{4, 1, 1, 0}, 3, true, false, false, 2, 3, false, {}, "QMV123-V1", "Roadkeep KT5 with a"}},
      {"bike mode", "[blackbox]\nacc_level=0\nmotion_level=1\nmic_in=7\n",
       {{-1, -1, -1, -1}, 2, true, false, true, 2, 1, false, {}, "0", "0"}},
      {"case and spacing", "[BlackBox]\n ACC_LEVEL = 5 \n[Capacity]\nConst=\"30\"\n",
       {{2, -1, -1, -1}, 2, false, false, false, 3, 2, false, {}, "0", "0"}},
      {"numbers with junk", "[blackbox]\npower_off_vlt=11800mV\nacc_level=x\n",
       {{-1, -1, -1, -1}, 1, false, false, true, 2, 2, false, {}, "0", "0"}},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(std::string(c.name) + ".cfg");
    WriteText(path, c.file);
    const SettingsForm form = ReadSettingsForm(path, Clock(2014, 3, 1, 9, 30, 5));
    for (int i = 0; i < kShareCount; ++i) {
      EXPECT_EQ(form.shares[i], c.expected.shares[i]) << c.name << " " << kShareKeys[i];
    }
    EXPECT_EQ(form.voltage, c.expected.voltage) << c.name;
    EXPECT_EQ(form.micIn, c.expected.micIn) << c.name;
    EXPECT_EQ(form.voiceOut, c.expected.voiceOut) << c.name;
    EXPECT_EQ(form.bikeMode, c.expected.bikeMode) << c.name;
    EXPECT_EQ(form.accPosition, c.expected.accPosition) << c.name;
    EXPECT_EQ(form.motionPosition, c.expected.motionPosition) << c.name;
    EXPECT_FALSE(form.timeSync) << c.name;
    EXPECT_EQ(form.version, c.expected.version) << c.name;
    EXPECT_EQ(form.model, c.expected.model) << c.name;
  }
}

TEST(RecorderSettings, DamagedFilesReadAsAllZeroValues) {
  TempDir dir;
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"binary junk", std::string("\x00\xff[blackbox\x00]\n\x01=\x02\nacc_level\x00=5\n", 31)},
      {"1 MB line", "[blackbox]\nmodel=" + std::string(1 << 20, 'm') + "\n"},
      {"no sections", "acc_level=5\nconst=50\n"},
      {"empty", ""},
      {"over the size limit", "[capacity]\nconst=50\n" + std::string(kMaxIniBytes, ';')},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("blackbox.cfg");
    WriteText(path, c.bytes);
    const SettingsForm form = ReadSettingsForm(path, Clock(2014, 3, 1, 9, 30, 5));
    EXPECT_EQ(form.voltage, 2) << c.name;
    EXPECT_EQ(form.shares[kShareConst], -1) << c.name;
    EXPECT_TRUE(form.bikeMode) << c.name;
    EXPECT_LE(form.model.size(), 19u) << c.name;
  }
  // Duplicate keys and sections: the first one counts.
  const std::string path = dir.File("dup.cfg");
  WriteText(path, "[capacity]\nconst=40\nconst=60\n[capacity]\nevent=30\n");
  const SettingsForm form = ReadSettingsForm(path, Clock(2014, 3, 1, 9, 30, 5));
  EXPECT_EQ(form.shares[kShareConst], 3);
  EXPECT_EQ(form.shares[kShareEvent], -1);
}

SettingsForm ValidForm() {
  SettingsForm form;
  form.shares[kShareConst] = ShareSelection(40);
  form.shares[kShareEvent] = ShareSelection(20);
  form.shares[kSharePark] = ShareSelection(20);
  form.shares[kShareManual] = ShareSelection(20);
  form.voltage = 2;
  form.micIn = true;
  form.accPosition = 3;
  form.motionPosition = 1;
  for (int i = 0; i < kTimeFieldCount; ++i) form.time[i] = 0;
  return form;
}

std::string Keys(const std::vector<IniEntry>& writes) {
  std::string keys;
  for (const IniEntry& w : writes) keys += w.key + "=" + w.value + " ";
  return keys;
}

TEST(RecorderSettings, SavesInOrderOnlyWhenTheSharesSumTo100) {
  SettingsForm sync = ValidForm();
  sync.timeSync = true;
  sync.time[3] = -1;  // opened at midnight
  SettingsForm bike = ValidForm();
  bike.bikeMode = true;
  SettingsForm sum110 = ValidForm();
  sum110.shares[kShareEvent] = ShareSelection(30);
  SettingsForm unselected = ValidForm();
  unselected.shares[kShareManual] = -1;
  unselected.shares[kShareConst] = ShareSelection(60);  // 60+20+20+none = 100
  unselected.voltage = -1;
  const struct {
    const char* name;
    SettingsForm form;
    const char* keys;
  } cases[] = {
      {"time sync off", ValidForm(),
       "tat_update=1 const=40 event=20 park=20 manual=20 acc_level=5 motion_level=1 mic_in=1 "
       "voice_out=0 power_off_vlt=12100 set=0 "},
      {"time sync on, hour 0", sync,
       "tat_update=1 const=40 event=20 park=20 manual=20 acc_level=5 motion_level=1 mic_in=1 "
       "voice_out=0 power_off_vlt=12100 set=1 year=2013 month=1 day=1 hour=0 min=0 sec=0 "},
      {"bike mode", bike,
       "tat_update=1 const=40 event=20 park=20 manual=20 acc_level=0 motion_level=1 mic_in=1 "
       "voice_out=0 power_off_vlt=12100 set=0 "},
      {"sum 110", sum110, "tat_update=1 "},
      {"no selection counts 0", unselected,
       "tat_update=1 const=60 event=20 park=20 manual=0 acc_level=5 motion_level=1 mic_in=1 "
       "voice_out=0 power_off_vlt=0 set=0 "},
  };
  for (const auto& c : cases) EXPECT_EQ(Keys(SettingsWrites(c.form)), c.keys) << c.name;
}

// Unknown sections and keys, comments, blank lines and CR LF endings stay byte for byte;
// only the values written change, and missing keys are added with the file's own endings.
TEST(RecorderSettings, SaveKeepsEverythingButTheKeysWritten) {
  TempDir dir;
  const std::string path = dir.File("blackbox.cfg");
  WriteText(path,
            "; written by the recorder\r\n"
            "[blackbox]\r\n"
            "tat_update=0\r\n"
            "acc_level = 3\r\n"
            "dim_front=hd\r\n"
            "lcd_off=30\r\n"
            "\r\n"
            "[capacity]\r\n"
            "const=50\r\n"
            "event=20\r\n"
            "park=20\r\n"
            "manual=10\r\n"
            "\r\n"
            "[gps]\r\n"
            "zone=+9\r\n"
            "[time]\r\n"
            "set=0\r\n"
            "year=2014\r\n");
  SettingsForm form = ReadSettingsForm(path, Clock(2014, 3, 1, 9, 30, 5));
  form.shares[kShareConst] = ShareSelection(40);
  form.shares[kShareManual] = ShareSelection(20);
  ASSERT_EQ(SaveSettingsForm(path, form), SaveResult::kSaved);
  EXPECT_EQ(ReadText(path),
            "; written by the recorder\r\n"
            "[blackbox]\r\n"
            "tat_update=1\r\n"
            "acc_level = 3\r\n"
            "dim_front=hd\r\n"
            "lcd_off=30\r\n"
            "motion_level=3\r\n"
            "mic_in=0\r\n"
            "voice_out=0\r\n"
            "power_off_vlt=12100\r\n"
            "\r\n"
            "[capacity]\r\n"
            "const=40\r\n"
            "event=20\r\n"
            "park=20\r\n"
            "manual=20\r\n"
            "\r\n"
            "[gps]\r\n"
            "zone=+9\r\n"
            "[time]\r\n"
            "set=0\r\n"
            "year=2014\r\n");

  // A refused save changes tat_update only.
  std::string before = ReadText(path);
  before.replace(before.find("tat_update=1"), 12, "tat_update=0");
  WriteText(path, before);
  form.shares[kShareEvent] = ShareSelection(30);
  ASSERT_EQ(SaveSettingsForm(path, form), SaveResult::kBadShares);
  std::string expected = before;
  expected.replace(expected.find("tat_update=0"), 12, "tat_update=1");
  EXPECT_EQ(ReadText(path), expected);
}

TEST(RecorderSettings, ACardThatTakesNoWriteIsReportedNotSaved) {
  TempDir dir;
  fs::create_directory(dir.Path() / "SETTING");
  const std::string path = (dir.Path() / "SETTING" / "blackbox.cfg").string();
  WriteText(path, "[capacity]\nconst=50\n");
  const SettingsForm form = ValidForm();
  // The card pulled after the dialog opened: the folder is gone.
  fs::rename(dir.Path() / "SETTING", dir.Path() / "gone");
  EXPECT_EQ(SaveSettingsForm(path, form), SaveResult::kWriteFailed);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(ReadText((dir.Path() / "gone" / "blackbox.cfg").string()), "[capacity]\nconst=50\n");
  // A folder that takes no new file (as a write-protected card): the old file stays.
  if (geteuid() == 0) {
    const std::string old = ReadText("/proc/version");
    EXPECT_EQ(SaveSettingsForm("/proc/version", form), SaveResult::kWriteFailed);
    EXPECT_EQ(ReadText("/proc/version"), old);
  } else {
    fs::rename(dir.Path() / "gone", dir.Path() / "SETTING");
    ::chmod((dir.Path() / "SETTING").c_str(), 0555);
    EXPECT_EQ(SaveSettingsForm(path, form), SaveResult::kWriteFailed);
    ::chmod((dir.Path() / "SETTING").c_str(), 0755);
    EXPECT_EQ(ReadText(path), "[capacity]\nconst=50\n");
  }
}

TEST(RecorderSettings, FindsTheFileOnTheFirstVolumeThatHoldsOrTakesIt) {
  TempDir dir;
  const fs::path a = dir.Path() / "a", b = dir.Path() / "b", c = dir.Path() / "c";
  const fs::path e = dir.Path() / "e";
  for (const fs::path& p : {a, b, c, e}) fs::create_directory(p);
  fs::create_directory(b / "SETTING");
  fs::create_directory(b / "SETTING" / "blackbox.cfg");  // a folder is no settings file
  fs::create_directory(c / "setting");                   // FAT names match without case
  WriteText((c / "setting" / "BLACKBOX.CFG").string(), "[blackbox]\nmodel=C\n");
  fs::create_directory(e / "SETTING");
  TatHandle* library = TatCreate();

  EXPECT_EQ(FindSettingsFile({a.string(), c.string()}, library),
            (c / "setting" / "BLACKBOX.CFG").string());
  EXPECT_EQ(FindSettingsFile({a.string(), b.string()}, library), "");
  EXPECT_FALSE(fs::exists(a / "SETTING"));  // the folder is never made

  // A SETTING folder without the file gets the factory text, line feeds only.
  const std::string made = (e / "SETTING" / "blackbox.cfg").string();
  EXPECT_EQ(FindSettingsFile({a.string(), b.string(), e.string(), c.string()}, library), made);
  const std::string text = ReadText(made);
  EXPECT_EQ(text.find('\r'), std::string::npos);
  EXPECT_NE(text.find("[capacity]\nconst=50\n"), std::string::npos) << text;
  const SettingsForm form = ReadSettingsForm(made, Clock(2014, 3, 1, 9, 30, 5));
  EXPECT_EQ(ShareSum(form), 100);
  // An existing file is never replaced.
  WriteText(made, "[blackbox]\nmodel=E\n");
  EXPECT_EQ(FindSettingsFile({e.string()}, library), made);
  EXPECT_EQ(ReadText(made), "[blackbox]\nmodel=E\n");
  // Without the library nothing is written and the volume is passed over.
  fs::remove(made);
  EXPECT_EQ(FindSettingsFile({e.string()}, nullptr), "");
  EXPECT_TRUE(fs::is_empty(e / "SETTING"));
  TatRelease(library);
}

}  // namespace
