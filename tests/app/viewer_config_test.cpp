// The viewer's config.cfg as the real main window reads it at start and writes it at the end.
#include "app/viewer_config.h"

#include <gtest/gtest.h>

#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/main_window.h"
#include "app/transport.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_button.h"
#include "platform/ini_profile.h"
#include "platform/wave_out.h"
#include "resources/resource_ids.h"
#include "tests/app/viewer_rig.h"
#include "tests/support/temp_dir.h"

namespace {

using roadkeep::test::ScopedWorkDir;

std::string ConfigValue(const std::string& path, const char* key) {
  return ReadIniString("config", key, "absent", 10, path.c_str());
}

std::string Text(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

struct ConfigCase {
  const char* name;
  const char* xdg;     // $XDG_CONFIG_HOME/roadkeep/config.cfg; nullptr: none
  const char* workDir;  // a config.cfg in the working folder (say, a card's); nullptr: none
  bool readOnly;       // the XDG folder takes no file
  int brightness, volume;   // slider positions after start
  const char* volumeSaved;  // in the XDG file after the window is gone; nullptr: no file
  const char* brightnessSaved;
  const char* tileUrl = "";  // what the map would ask its tiles of
};

// The settings are read from the XDG file alone, clamped and applied; at the end they are
// written to the XDG file. A config.cfg in the working folder is never read, copied or changed:
// started inside a card, the viewer would otherwise take its tile server from the card.
TEST(ViewerConfig, StartReadsClampsAppliesAndEndWritesBack) {
  const ConfigCase cases[] = {
      {"missing", nullptr, nullptr, false, 0, 50, "50", "0"},
      {"empty", "", nullptr, false, 0, 50, "50", "0"},
      {"volume 0", "[config]\nvolume=0\n", nullptr, false, 0, 0, "0", "0"},
      {"volume 150", "[config]\nvolume=150\nbrightness=2\n", nullptr, false, 2, 99, "99", "2"},
      {"brightness abc", "[config]\nbrightness=abc\nvolume=30\n", nullptr, false, 0, 30, "30", "0"},
      {"brightness out of range", "[config]\nbrightness=9\nvolume=-4\n", nullptr, false, 5, 0, "0",
       "5"},
      {"brightness below range", "[config]\nbrightness=-77\n", nullptr, false, -5, 50, "50", "-5"},
      {"-200 reads as absent", "[config]\nvolume=-200\n", nullptr, false, 0, 50, "50", "0"},
      {"number then text", "[CONFIG]\nVolume=12abc\n", nullptr, false, 0, 12, "12", "0"},
      {"more than nine digits", "[config]\nvolume=0000000001234\n", nullptr, false, 0, 0, "0", "0"},
      {"other section", "[other]\nvolume=10\n", nullptr, false, 0, 50, "50", "0"},
      {"working folder's file only", nullptr,
       "[config]\nvolume=30\ntile_url=http://attacker.invalid/{z}/{x}/{y}.png\n", false, 0, 50,
       "50", "0"},
      {"both files", "[config]\nvolume=20\ntile_url=https://tiles.example/{z}/{x}/{y}.png\n",
       "[config]\nvolume=30\ntile_url=http://attacker.invalid/{z}/{x}/{y}.png\n", false, 0, 20,
       "20", "0", "https://tiles.example/{z}/{x}/{y}.png"},
      {"read-only folder", nullptr, nullptr, true, 0, 50, nullptr, nullptr},
      {"read-only, working folder's file", nullptr, "[config]\nvolume=7\n", true, 0, 50, nullptr,
       nullptr},
  };
  const char* oldXdg = std::getenv("XDG_CONFIG_HOME");
  const std::string restore = oldXdg != nullptr ? oldXdg : "";
  for (const ConfigCase& c : cases) {
    ScopedWorkDir work;
    roadkeep::test::TempDir home;
    // Root passes every permission check: a folder that takes no file is one under /proc.
    const std::filesystem::path xdgHome = c.readOnly ? "/proc/roadkeep-none" : home.Path();
    setenv("XDG_CONFIG_HOME", xdgHome.c_str(), 1);
    const std::filesystem::path xdgFile = ViewerConfigPath();
    ASSERT_EQ(xdgFile, xdgHome / "roadkeep" / "config.cfg");
    if (c.xdg != nullptr) {
      std::filesystem::create_directories(xdgFile.parent_path());
      std::ofstream(xdgFile) << c.xdg;
    }
    if (c.workDir != nullptr) std::ofstream("config.cfg") << c.workDir;
    EXPECT_EQ(ReadTileUrl().toStdString(), c.tileUrl) << c.name;
    SetWaveOutVolume(0x12345678);  // whatever the window applies replaces this
    {
      CZarezeRadidaDlg window(0x09);
      CWindowControls& controls = window.Controls();
      EXPECT_EQ(controls.Slider(IDC_BRIGHTNESS_SLIDER)->GetPos(), c.brightness) << c.name;
      EXPECT_EQ(controls.Slider(IDC_VOLUME_SLIDER)->GetPos(), c.volume) << c.name;
      EXPECT_EQ(GetWaveOutVolume(), OutputVolumeFor(c.volume)) << c.name;
      EXPECT_FALSE(controls.Check(IDC_MUTE)->GetCheck()) << c.name;
      window.show();
      EXPECT_TRUE(QTest::qWaitForWindowExposed(&window)) << c.name;
      // Closing asks the quit question; Yes lets it close.
      QTimer answer;
      QObject::connect(&answer, &QTimer::timeout, [&window] {
        auto* box = window.findChild<QMessageBox*>(QStringLiteral("QuitQuestion"));
        if (box != nullptr && box->isVisible()) box->done(QMessageBox::Yes);
      });
      answer.start(10);
      EXPECT_TRUE(window.close()) << c.name;
      answer.stop();
      EXPECT_FALSE(window.isVisible()) << c.name;
    }
    EXPECT_EQ(std::filesystem::exists("config.cfg"), c.workDir != nullptr) << c.name;
    if (c.workDir != nullptr) {
      EXPECT_EQ(Text("config.cfg"), c.workDir) << c.name;
    }
    if (c.volumeSaved == nullptr) {
      EXPECT_FALSE(std::filesystem::exists(xdgFile)) << c.name;
      continue;
    }
    EXPECT_EQ(ConfigValue(xdgFile, "volume"), c.volumeSaved) << c.name;
    EXPECT_EQ(ConfigValue(xdgFile, "brightness"), c.brightnessSaved) << c.name;
  }
  restore.empty() ? unsetenv("XDG_CONFIG_HOME") : setenv("XDG_CONFIG_HOME", restore.c_str(), 1);
}

TEST(ViewerConfig, OutputVolumeHalvesAreTheSliderValueTimes655) {
  const struct {
    int value;
    uint32_t half;
  } cases[] = {{0, 0}, {1, 655}, {2, 1310}, {50, 32767}, {98, 64224}, {99, 64879}};
  for (const auto& c : cases) {
    EXPECT_EQ(OutputVolumeFor(c.value), (c.half << 16) | c.half) << c.value;
  }
}

}  // namespace
