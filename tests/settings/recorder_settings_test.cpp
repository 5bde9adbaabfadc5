#include "settings/recorder_settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <iterator>
#include <optional>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::TempDir;
using roadkeep::test::WriteText;
using roadkeep::test::ReadText;

// A factory text of the test's own, so the values a missing key shows are known here.
const char kFactory[] =
    "[blackbox]\r\ntat_update=0\r\nacc_level=5\r\nmotion_level=1\r\nmic_in=1\r\nvoice_out=1\r\n"
    "power_off_vlt=12400\r\nversion=F1\r\nmodel=Factory\r\n[capacity]\r\nconst=40\r\n"
    "event=30\r\npark=20\r\nmanual=10\r\n[time]\r\nset=0\r\n";

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
    const SettingsForm form = ReadSettingsForm({"/nonexistent/blackbox.cfg", ""}, c.now);
    for (int i = 0; i < kTimeFieldCount; ++i) {
      EXPECT_EQ(form.time[i], c.selections[i]) << kTimeKeys[i];
    }
  }
  // Saving with no hour selected writes hour 0, no year writes year 0.
  EXPECT_EQ(TimeValue(3, -1), 0);
  EXPECT_EQ(TimeValue(0, -1), 0);
  EXPECT_EQ(TimeValue(3, 8), 9);
}

void ExpectForm(const SettingsForm& form, const SettingsForm& expected, const std::string& name) {
  for (int i = 0; i < kShareCount; ++i) {
    EXPECT_EQ(form.shares[i], expected.shares[i]) << name << " " << kShareKeys[i];
  }
  EXPECT_EQ(form.voltage, expected.voltage) << name;
  EXPECT_EQ(form.micIn, expected.micIn) << name;
  EXPECT_EQ(form.voiceOut, expected.voiceOut) << name;
  EXPECT_EQ(form.bikeMode, expected.bikeMode) << name;
  EXPECT_EQ(form.accPosition, expected.accPosition) << name;
  EXPECT_EQ(form.motionPosition, expected.motionPosition) << name;
  EXPECT_FALSE(form.timeSync) << name;
  EXPECT_EQ(form.version, expected.version) << name;
  EXPECT_EQ(form.model, expected.model) << name;
}

// Keys the file lacks show kFactory's values (shares 40/30/20/10, level 5 and 1, both
// switches on, 12400 mV); version and model are the recorder's own and stay empty.
TEST(RecorderSettings, ReadsTheFileAsTheDialogShowsIt) {
  TempDir dir;
  const struct {
    const char* name;
    std::optional<std::string> file;  // nullopt: the SETTING folder holds none
    SettingsForm expected;
  } cases[] = {
      {"every key",
       "[blackbox]\r\nacc_level=3\r\nmotion_level=5\r\nmic_in=1\r\nvoice_out=0\r\n"
       "power_off_vlt=11500\r\nversion=QMV123-V1234567\r\nmodel=Roadkeep KT5 with a long name\r\n"
       "[capacity]\r\nconst=50\r\nevent=20\r\npark=20\r\nmanual=10\r\n",
       {{4, 1, 1, 0}, 0, true, false, false, 2, 3, false, {}, "QMV123-V1", "Roadkeep KT5 with a"}},
      {"bike mode",
       "[blackbox]\nacc_level=0\nmotion_level=5\nmic_in=7\nvoice_out=0\n",
       {{3, 2, 1, 0}, 3, true, false, true, 2, 3, false, {}, "", ""}},
      {"case and spacing",
       "[BlackBox]\n ACC_LEVEL = 1 \n[Capacity]\nConst=\"30\"\n",
       {{2, 2, 1, 0}, 3, true, true, false, 1, 1, false, {}, "", ""}},
      {"numbers with junk",
       "[blackbox]\npower_off_vlt=11800mV\nacc_level=x\n",
       {{3, 2, 1, 0}, 1, true, true, true, 2, 1, false, {}, "", ""}},
      {"no file", std::nullopt, {{3, 2, 1, 0}, 3, true, true, false, 3, 1, false, {}, "", ""}},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File(std::string(c.name) + ".cfg");
    if (c.file) WriteText(path, *c.file);
    ExpectForm(ReadSettingsForm({path, kFactory}, Clock(2014, 3, 1, 9, 30, 5)), c.expected, c.name);
  }
}

TEST(RecorderSettings, DamagedFilesReadAsTheFactorySettings) {
  TempDir dir;
  const SettingsForm factory =
      ReadSettingsForm({dir.File("none.cfg"), kFactory}, Clock(2014, 3, 1, 9, 30, 5));
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"binary junk", std::string("\x00\xff[blackbox\x00]\n\x01=\x02\nacc_level\x00=0\n", 31)},
      {"1 MB line", "[blackbox]\nmodel=" + std::string(1 << 20, 'm') + "\n"},
      {"no sections", "acc_level=0\nconst=50\n"},
      {"empty", ""},
      {"over the size limit", "[capacity]\nconst=50\n" + std::string(kMaxIniBytes, ';')},
  };
  for (const auto& c : cases) {
    const std::string path = dir.File("blackbox.cfg");
    WriteText(path, c.bytes);
    SettingsForm form = ReadSettingsForm({path, kFactory}, Clock(2014, 3, 1, 9, 30, 5));
    EXPECT_LE(form.model.size(), 19u) << c.name;
    form.model.clear();
    ExpectForm(form, factory, c.name);
  }
  // Duplicate keys and sections: the first one counts.
  const std::string path = dir.File("dup.cfg");
  WriteText(path, "[capacity]\nconst=50\nconst=60\n[capacity]\nevent=50\n");
  const SettingsForm form = ReadSettingsForm({path, kFactory}, Clock(2014, 3, 1, 9, 30, 5));
  EXPECT_EQ(form.shares[kShareConst], 4);
  EXPECT_EQ(form.shares[kShareEvent], factory.shares[kShareEvent]);
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

long EntriesIn(const fs::path& folder) {
  return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
}

void MicOn(SettingsForm* form) { form->micIn = true; }
void VoiceOff(SettingsForm* form) { form->voiceOut = false; }
void NoChange(SettingsForm*) {}

// A save writes tat_update and what the user changed, each in its own line; every other byte
// stays, and keys the file lacks stay missing unless the user changed them.
TEST(RecorderSettings, SaveChangesOnlyTheLinesOfChangedKeys) {
  const char* const kSection = "[capacity]\r\nconst=50\r\nevent=20\r\npark=20\r\nmanual=10\r\n";
  const struct {
    const char* name;
    std::optional<std::string> before;  // nullopt: no file yet
    void (*change)(SettingsForm*);
    std::string after;
    bool throughLink;  // blackbox.cfg is a link to real/blackbox.cfg
  } cases[] = {
      {"byte-order mark",
       std::string("\xEF\xBB\xBF[blackbox]\r\ntat_update=0\r\nmic_in=0\r\n") + kSection, MicOn,
       std::string("\xEF\xBB\xBF[blackbox]\r\ntat_update=1\r\nmic_in=1\r\n") + kSection, false},
      {"missing keys stay missing until changed",
       std::string("[blackbox]\r\ntat_update=0\r\nmic_in=0\r\n") + kSection, VoiceOff,
       std::string("[blackbox]\r\ntat_update=1\r\nmic_in=0\r\nvoice_out=0\r\n") + kSection, false},
      {"spacing and quotes around values",
       "[blackbox]\r\ntat_update = 0\r\nmic_in = 0 \r\nacc_level=2\r\n[capacity]\r\n"
       "CONST = 50 \r\nevent=\"20\"\r\npark=20\r\nmanual=10\r\n",
       MicOn,
       "[blackbox]\r\ntat_update = 1\r\nmic_in = 1 \r\nacc_level=2\r\n[capacity]\r\n"
       "CONST = 50 \r\nevent=\"20\"\r\npark=20\r\nmanual=10\r\n",
       false},
      // A recorder's card holds no links: one would lead the save off the card, so it is refused.
      {"through a link: refused", std::string("[blackbox]\r\ntat_update=0\r\nmic_in=0\r\n") + kSection,
       MicOn, std::string("[blackbox]\r\ntat_update=0\r\nmic_in=0\r\n") + kSection, true},
      {"no file yet: the factory text, CR LF", std::nullopt, VoiceOff,
       "[blackbox]\r\ntat_update=1\r\nacc_level=5\r\nmotion_level=1\r\nmic_in=1\r\nvoice_out=0\r\n"
       "power_off_vlt=12400\r\nversion=F1\r\nmodel=Factory\r\n[capacity]\r\nconst=40\r\n"
       "event=30\r\npark=20\r\nmanual=10\r\n[time]\r\nset=0\r\n",
       false},
      {"a clock the file still asks for is called off",
       std::string("[blackbox]\r\ntat_update=1\r\n") + kSection +
           "[time]\r\nset=1\r\nyear=2014\r\n",
       NoChange,
       std::string("[blackbox]\r\ntat_update=1\r\n") + kSection +
           "[time]\r\nset=0\r\nyear=2014\r\n",
       false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    fs::create_directory(dir.Path() / "real");
    const std::string path = dir.File("blackbox.cfg");
    const std::string real = c.throughLink ? dir.File("real/blackbox.cfg") : path;
    if (c.before) WriteText(real, *c.before);
    if (c.throughLink) fs::create_symlink("real/blackbox.cfg", path);
    const SettingsFile file{path, kFactory};
    const SettingsForm opened = ReadSettingsForm(file, Clock(2014, 3, 1, 9, 30, 5));
    SettingsForm form = opened;
    c.change(&form);
    ASSERT_EQ(SaveSettingsForm(file, opened, form),
              c.throughLink ? SaveResult::kWriteFailed : SaveResult::kSaved)
        << c.name;
    EXPECT_EQ(ReadText(real), c.after) << c.name;
    EXPECT_EQ(fs::is_symlink(path), c.throughLink) << c.name;
    // No temporary file is left in either folder.
    EXPECT_EQ(EntriesIn(dir.Path()), 2) << c.name;
    EXPECT_EQ(EntriesIn(dir.Path() / "real"), c.throughLink ? 1 : 0) << c.name;
  }
}

// Unknown sections and keys, comments and blank lines stay byte for byte; a refused save
// changes tat_update only.
TEST(RecorderSettings, SaveKeepsEverythingButTheKeysWritten) {
  TempDir dir;
  const std::string path = dir.File("blackbox.cfg");
  const std::string before =
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
      "year=2014\r\n";
  WriteText(path, before);
  const SettingsFile file{path, kFactory};
  const SettingsForm opened = ReadSettingsForm(file, Clock(2014, 3, 1, 9, 30, 5));
  SettingsForm form = opened;
  form.shares[kShareConst] = ShareSelection(40);
  form.shares[kShareManual] = ShareSelection(20);
  ASSERT_EQ(SaveSettingsForm(file, opened, form), SaveResult::kSaved);
  std::string expected = before;
  expected.replace(expected.find("tat_update=0"), 12, "tat_update=1");
  expected.replace(expected.find("const=50"), 8, "const=40");
  expected.replace(expected.find("manual=10"), 9, "manual=20");
  EXPECT_EQ(ReadText(path), expected);

  WriteText(path, before);
  form.shares[kShareEvent] = ShareSelection(30);
  ASSERT_EQ(SaveSettingsForm(file, opened, form), SaveResult::kBadShares);
  expected = before;
  expected.replace(expected.find("tat_update=0"), 12, "tat_update=1");
  EXPECT_EQ(ReadText(path), expected);
}

TEST(RecorderSettings, ACardThatTakesNoWriteIsReportedNotSaved) {
  TempDir dir;
  fs::create_directory(dir.Path() / "SETTING");
  const std::string path = (dir.Path() / "SETTING" / "blackbox.cfg").string();
  WriteText(path, "[capacity]\nconst=50\n");
  const SettingsFile file{path, kFactory};
  const SettingsForm form = ValidForm();
  const SettingsForm opened;
  // The card pulled after the dialog opened: the folder is gone.
  fs::rename(dir.Path() / "SETTING", dir.Path() / "gone");
  EXPECT_EQ(SaveSettingsForm(file, opened, form), SaveResult::kWriteFailed);
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(ReadText((dir.Path() / "gone" / "blackbox.cfg").string()), "[capacity]\nconst=50\n");
  // A folder that takes no new file (as a write-protected card): the old file stays.
  if (geteuid() == 0) {
    const std::string old = ReadText("/proc/version");
    EXPECT_EQ(SaveSettingsForm({"/proc/version", kFactory}, opened, form),
              SaveResult::kWriteFailed);
    EXPECT_EQ(ReadText("/proc/version"), old);
  } else {
    fs::rename(dir.Path() / "gone", dir.Path() / "SETTING");
    ::chmod((dir.Path() / "SETTING").c_str(), 0555);
    EXPECT_EQ(SaveSettingsForm(file, opened, form), SaveResult::kWriteFailed);
    ::chmod((dir.Path() / "SETTING").c_str(), 0755);
    EXPECT_EQ(ReadText(path), "[capacity]\nconst=50\n");
  }
}

// Finding the file reads folder entries only: nothing is made, a file that cannot be one is
// named for what is wrong with it and left alone.
TEST(RecorderSettings, FindsTheCardsSettingsFileWithoutWritingAnything) {
  const struct {
    const char* name;
    void (*make)(const fs::path& card);
    SettingsPlace place;
    const char* path;  // relative to the card
  } cases[] = {
      {"no SETTING folder", [](const fs::path&) {}, SettingsPlace::kNoFolder, "SETTING"},
      {"SETTING is a file",
       [](const fs::path& card) { WriteText((card / "SETTING").string(), ""); },
       SettingsPlace::kNoFolder, "SETTING"},
      {"no file yet", [](const fs::path& card) { fs::create_directory(card / "SETTING"); },
       SettingsPlace::kNoFile, "SETTING/blackbox.cfg"},
      {"names in any case",
       [](const fs::path& card) {
         fs::create_directory(card / "setting");
         WriteText((card / "setting" / "BLACKBOX.CFG").string(), "[blackbox]\n");
       },
       SettingsPlace::kFile, "setting/BLACKBOX.CFG"},
      {"a folder in its place",
       [](const fs::path& card) { fs::create_directories(card / "SETTING" / "blackbox.cfg"); },
       SettingsPlace::kNotAFile, "SETTING/blackbox.cfg"},
      {"a link to nothing",
       [](const fs::path& card) {
         fs::create_directory(card / "SETTING");
         fs::create_symlink("gone.cfg", card / "SETTING" / "blackbox.cfg");
       },
       SettingsPlace::kLink, "SETTING/blackbox.cfg"},
      {"a link to a file off the card",
       [](const fs::path& card) {
         fs::create_directory(card / "SETTING");
         WriteText((card / "victim.cfg").string(), "[blackbox]\n");
         fs::create_symlink(card / "victim.cfg", card / "SETTING" / "blackbox.cfg");
       },
       SettingsPlace::kLink, "SETTING/blackbox.cfg"},
      {"SETTING links to a folder off the card",
       [](const fs::path& card) {
         fs::create_directory(card / "elsewhere");
         WriteText((card / "elsewhere" / "blackbox.cfg").string(), "[blackbox]\n");
         fs::create_directory_symlink(card / "elsewhere", card / "SETTING");
       },
       SettingsPlace::kLink, "SETTING"},
      {"10 MB",
       [](const fs::path& card) {
         fs::create_directory(card / "SETTING");
         WriteText((card / "SETTING" / "blackbox.cfg").string(), std::string(10 << 20, ';'));
       },
       SettingsPlace::kTooLarge, "SETTING/blackbox.cfg"},
      {"a folder that takes no writes",
       [](const fs::path& card) {
         fs::create_directory(card / "SETTING");
         WriteText((card / "SETTING" / "blackbox.cfg").string(), "[blackbox]\n");
         fs::permissions(card / "SETTING", fs::perms::owner_write | fs::perms::group_write |
                                               fs::perms::others_write,
                         fs::perm_options::remove);
       },
       SettingsPlace::kFile, "SETTING/blackbox.cfg"},
  };
  for (const auto& c : cases) {
    TempDir card;
    c.make(card.Path());
    // Root writes anywhere: only another user sees the folder as read-only.
    const bool readOnly =
        std::string(c.name) == "a folder that takes no writes" && ::geteuid() != 0;
    const auto contents = [&] {
      return fs::is_regular_file(card.File(c.path)) ? ReadText(card.File(c.path)) : "";
    };
    const std::string before = contents();
    const SettingsLocation found = FindCardSettings(card.Path().string());
    EXPECT_EQ(found.place, c.place) << c.name;
    EXPECT_EQ(found.path, card.File(c.path)) << c.name;
    EXPECT_EQ(found.Editable(),
              c.place == SettingsPlace::kFile || c.place == SettingsPlace::kNoFile)
        << c.name;
    EXPECT_EQ(SettingsProblem(found).empty(), found.Editable()) << c.name;
    if (c.place == SettingsPlace::kNoFile) {
      EXPECT_TRUE(fs::is_empty(card.Path() / "SETTING")) << c.name;
    }
    EXPECT_EQ(contents(), before) << c.name;
    EXPECT_EQ(found.readOnly, readOnly) << c.name;
    if (fs::is_directory(card.Path() / "SETTING")) {
      fs::permissions(card.Path() / "SETTING", fs::perms::owner_all, fs::perm_options::add);
    }
  }
}

}  // namespace
