// ./config.cfg as the real main window reads it at start and writes it at the end.
#include "app/viewer_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <optional>
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

namespace {

using roadkeep::test::ScopedWorkDir;

std::string ConfigValue(const char* key) {
  return ReadIniString("config", key, "absent", 10, kViewerConfigPath);
}

// Makes the working folder refuse new files for its life. Root passes every permission
// check, so root works in /proc instead.
class ReadOnlyWorkDir {
 public:
  ReadOnlyWorkDir() : m_old(std::filesystem::current_path()) {
    if (geteuid() == 0) {
      std::filesystem::current_path("/proc");
    } else {
      ::chmod(m_old.c_str(), 0555);
    }
  }
  ~ReadOnlyWorkDir() {
    std::filesystem::current_path(m_old);
    ::chmod(m_old.c_str(), 0755);
  }
  ReadOnlyWorkDir(const ReadOnlyWorkDir&) = delete;
  ReadOnlyWorkDir& operator=(const ReadOnlyWorkDir&) = delete;

 private:
  std::filesystem::path m_old;
};

struct ConfigCase {
  const char* name;
  const char* file;  // nullptr: no ./config.cfg
  bool readOnly;
  int brightness, volume;   // slider positions after start
  const char* volumeSaved;  // in the file after the window is gone; nullptr: no file
  const char* brightnessSaved;
};

TEST(ViewerConfig, StartReadsClampsAppliesAndEndWritesBack) {
  const ConfigCase cases[] = {
      {"missing", nullptr, false, 0, 50, "50", "0"},
      {"empty", "", false, 0, 50, "50", "0"},
      {"volume 0", "[config]\nvolume=0\n", false, 0, 0, "0", "0"},
      {"volume 150", "[config]\nvolume=150\nbrightness=2\n", false, 2, 99, "99", "2"},
      {"brightness abc", "[config]\nbrightness=abc\nvolume=30\n", false, 0, 30, "30", "0"},
      {"brightness out of range", "[config]\nbrightness=9\nvolume=-4\n", false, 5, 0, "0", "5"},
      {"brightness below range", "[config]\nbrightness=-77\n", false, -5, 50, "50", "-5"},
      {"-200 reads as absent", "[config]\nvolume=-200\n", false, 0, 50, "50", "0"},
      {"number then text", "[CONFIG]\nVolume=12abc\n", false, 0, 12, "12", "0"},
      {"more than nine digits", "[config]\nvolume=0000000001234\n", false, 0, 0, "0", "0"},
      {"other section", "[other]\nvolume=10\n", false, 0, 50, "50", "0"},
      {"read-only folder", nullptr, true, 0, 50, nullptr, nullptr},
  };
  for (const ConfigCase& c : cases) {
    ScopedWorkDir work;
    if (c.file != nullptr) std::ofstream(kViewerConfigPath) << c.file;
    SetWaveOutVolume(0x12345678);  // whatever the window applies replaces this
    {
      std::optional<ReadOnlyWorkDir> readOnly;
      if (c.readOnly) readOnly.emplace();
      {
        CZarezeRadidaDlg window(0x09);
        CWindowControls& controls = window.Controls();
        EXPECT_EQ(controls.Slider(IDC_BRIGHTNESS_SLIDER)->GetPos(), c.brightness) << c.name;
        EXPECT_EQ(controls.Slider(IDC_VOLUME_SLIDER)->GetPos(), c.volume) << c.name;
        EXPECT_EQ(GetWaveOutVolume(), OutputVolumeFor(c.volume)) << c.name;
        EXPECT_FALSE(controls.Check(IDC_MUTE)->GetCheck()) << c.name;
        // Made empty at start when it was missing; in a read-only folder nothing is made.
        EXPECT_EQ(std::filesystem::exists(kViewerConfigPath), !c.readOnly) << c.name;
        if (c.file == nullptr && !c.readOnly) {
          EXPECT_EQ(std::filesystem::file_size(kViewerConfigPath), 0u) << c.name;
        }
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
      EXPECT_EQ(std::filesystem::exists(kViewerConfigPath), !c.readOnly) << c.name;
    }
    if (c.readOnly) {
      EXPECT_TRUE(std::filesystem::is_empty(std::filesystem::current_path())) << c.name;
      continue;
    }
    EXPECT_EQ(ConfigValue("volume"), c.volumeSaved) << c.name;
    EXPECT_EQ(ConfigValue("brightness"), c.brightnessSaved) << c.name;
  }
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
