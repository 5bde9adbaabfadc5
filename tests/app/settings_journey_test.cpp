// The settings dialog through the real window under an X server: the settings button (1016)
// and F3 open it on SETTING/blackbox.cfg of the card the window has open (not on another
// volume's), Save writes it, Escape and Cancel write nothing, and without a card the window
// says so.
// Skips without a display.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "app/main_window.h"
#include "app/window_controls.h"
#include "resources/resource_ids.h"
#include "settings/setting_dlg.h"
#include "tat/store_writer.h"
#include "tests/app/viewer_rig.h"
#include "tests/app/x11_display.h"
#include "tests/support/temp_dir.h"

namespace roadkeep::test {
namespace {

namespace fs = std::filesystem;
constexpr int kWaitMs = 15000;

// Runs act (which opens a modal window) and, from a timer, answer on the first visible
// top-level widget of type T once it is shown.
template <typename T>
bool WhileOpen(const std::function<void()>& act, const std::function<void(T*)>& answer) {
  bool seen = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    for (QWidget* top : QApplication::topLevelWidgets()) {
      auto* modal = dynamic_cast<T*>(top);
      if (modal == nullptr || !modal->isVisible() || seen) continue;
      seen = true;
      poll.stop();
      answer(modal);
      return;
    }
  });
  poll.start(20);
  QTimer giveUp;
  giveUp.setSingleShot(true);
  QObject::connect(&giveUp, &QTimer::timeout, [] {
    if (QWidget* modal = QApplication::activeModalWidget()) modal->close();
  });
  giveUp.start(kWaitMs);
  act();
  return seen;
}

// Whether a picture of a control shows ink in the warning red, or light ink that reads on the
// dark skin.
bool ShowsInk(const QImage& picture, bool red) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) {
      const QColor c = rgb.pixelColor(x, y);
      const bool isRed = c.red() > 200 && c.green() < 130 && c.blue() < 110;
      if (red ? isRed : !isRed && c.lightness() > 170) return true;
    }
  }
  return false;
}

// The share of a picture's pixels that are dark, as on the main window's skin.
double DarkShare(const QImage& picture) {
  const QImage rgb = picture.convertToFormat(QImage::Format_RGB32);
  int64_t dark = 0;
  for (int y = 0; y < rgb.height(); ++y) {
    for (int x = 0; x < rgb.width(); ++x) dark += rgb.pixelColor(x, y).lightness() < 70;
  }
  return static_cast<double>(dark) / std::max<int64_t>(1, int64_t{rgb.width()} * rgb.height());
}

class SettingsJourney : public ::testing::Test {
 protected:
  void SetUp() override {
    SKIP_UNLESS_X11();
    setenv("SDL_AUDIODRIVER", "dummy", 0);
    // Drive a holds a settings file but is no recorder card; e is the card.
    for (const char* drive : {"a", "e"}) {
      fs::create_directories(m_cards.Path() / drive / "SETTING");
      std::ofstream(m_cards.Path() / drive / "SETTING" / "blackbox.cfg", std::ios::binary)
          << "[blackbox]\r\nmodel=KT5\r\n[capacity]\r\nconst=50\r\nevent=20\r\npark=20\r\n"
             "manual=10\r\n";
    }
    ASSERT_TRUE(roadkeep::tat::FormatCard((m_cards.Path() / "e").string(), 5, nullptr));
    UseCards(Drive("a") + ":" + Drive("e"));
    m_window = std::make_unique<CZarezeRadidaDlg>(0x11);
    m_window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(m_window.get(), kWaitMs));
    m_window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(m_window.get(), kWaitMs));
    ASSERT_TRUE(InsertCard(*m_window, Drive("a") + ":" + Drive("e")));
  }
  void TearDown() override {
    m_window.reset();
    unsetenv("ROADKEEP_CARD_DIRS");
  }
  void UseCards(const std::string& dirs) { setenv("ROADKEEP_CARD_DIRS", dirs.c_str(), 1); }
  std::string Drive(const char* name) const { return (m_cards.Path() / name).string(); }
  fs::path File() const { return m_cards.Path() / "e" / "SETTING" / "blackbox.cfg"; }

  ScopedWorkDir m_work;
  TempDir m_cards;
  std::unique_ptr<CZarezeRadidaDlg> m_window;
};

// The dialog wears the window's dark skin; the note under the shares follows them as they
// change and, while they do not add up, names the total in red; Save writes and the window
// says so for a moment.
TEST_F(SettingsJourney, TheSettingsButtonOpensTheDialogOnTheCardAndSaveWritesIt) {
  std::string path, title;
  double dark = 0;
  QString noteAt90, noteAt100;
  bool redAt90 = false, redAt100 = true, lightAt100 = false;
  const bool opened = WhileOpen<CSettingDlg>(
      [&] { QTest::mouseClick(m_window->Controls().Find(IDC_SETTINGS), Qt::LeftButton); },
      [&](CSettingDlg* dlg) {
        path = dlg->FilePath();
        title = dlg->windowTitle().toStdString();
        const QImage face = dlg->grab().toImage();
        SaveShot(face, QStringLiteral("settings_dialog_ja.png"));
        dark = DarkShare(face);
        auto* note = dlg->findChild<QLabel*>(QString::number(IDC_SET_CAUTION));
        dlg->findChild<QComboBox*>(QString::number(IDC_SET_CONST))->setCurrentIndex(3);  // 40
        noteAt90 = note->text();
        redAt90 = ShowsInk(note->grab().toImage(), true);
        SaveShot(dlg->grab().toImage(), QStringLiteral("settings_dialog_90_ja.png"));
        dlg->findChild<QComboBox*>(QString::number(IDC_SET_MANUAL))->setCurrentIndex(1);  // 20
        noteAt100 = note->text();
        redAt100 = ShowsInk(note->grab().toImage(), true);
        lightAt100 = ShowsInk(note->grab().toImage(), false);
        QTest::mouseClick(dlg->findChild<QAbstractButton*>(QString::number(IDC_SET_SAVE)),
                          Qt::LeftButton);
      });
  ASSERT_TRUE(opened);
  EXPECT_EQ(path, File().string());
  EXPECT_EQ(title, "KT5環境設定");
  EXPECT_GT(dark, 0.6) << "the dialog is not in the window's dark skin";
  EXPECT_TRUE(noteAt90.contains(QStringLiteral("90"))) << noteAt90.toStdString();
  EXPECT_TRUE(redAt90);
  EXPECT_EQ(noteAt100, QString::fromUtf8("(注意)保存領域の合計は100%です。"));
  EXPECT_FALSE(redAt100);
  EXPECT_TRUE(lightAt100) << "the note does not read on the dark face";
  const std::string saved = ReadText(File());
  EXPECT_NE(saved.find("const=40\r\nevent=20\r\npark=20\r\nmanual=20\r\n"), std::string::npos)
      << saved;
  const std::string other = ReadText((m_cards.Path() / "a" / "SETTING" / "blackbox.cfg").string());
  EXPECT_EQ(other.find("tat_update"), std::string::npos) << other;
  auto* said = m_window->findChild<QLabel*>(QStringLiteral("StatusLine"));
  ASSERT_NE(said, nullptr) << "no word that the settings were saved";
  EXPECT_TRUE(said->isVisible());
  EXPECT_EQ(said->text(), QString::fromUtf8("設定をカードに保存しました"));
  EXPECT_TRUE(QTest::qWaitFor([&] { return !said->isVisible(); }, kWaitMs)) << "the word stays";
}

// Escape and Cancel close the dialog and write nothing.
TEST_F(SettingsJourney, F3OpensItAndEscapeOrCancelClosesItWithoutWriting) {
  const std::function<void(CSettingDlg*)> ways[] = {
      [](CSettingDlg* dlg) { QTest::keyClick(dlg, Qt::Key_Escape); },
      [](CSettingDlg* dlg) {
        dlg->findChild<QComboBox*>(QString::number(IDC_SET_CONST))->setCurrentIndex(3);
        QTest::mouseClick(dlg->findChild<QAbstractButton*>(QString::number(IDC_SET_CANCEL)),
                          Qt::LeftButton);
      },
  };
  const std::string before = ReadText(File());
  for (const auto& close : ways) {
    const bool opened =
        WhileOpen<CSettingDlg>([&] { QTest::keyClick(m_window.get(), Qt::Key_F3); }, close);
    EXPECT_TRUE(opened);
    EXPECT_FALSE(QApplication::activeModalWidget()) << "the dialog is still open";
    EXPECT_EQ(ReadText(File()), before);
  }
}

TEST_F(SettingsJourney, WithoutACardTheWindowSaysSo) {
  ASSERT_FALSE(InsertCard(*m_window, Drive("a")));  // a settings file, but no card
  QString text;
  const bool shown = WhileOpen<QMessageBox>(
      [&] { QTest::keyClick(m_window.get(), Qt::Key_F3); },
      [&](QMessageBox* box) {
        text = box->text();
        box->accept();
      });
  ASSERT_TRUE(shown);
  EXPECT_EQ(text, QString::fromUtf8("有効なKT5情報がありません。\n再度試みてください。"));
}

}  // namespace
}  // namespace roadkeep::test
