// The settings dialog with real Qt widgets (offscreen): template geometry, captions per
// language, what the controls show for a file, their click rules, and Save.
#include "settings/setting_dlg.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QSlider>
#include <QTest>
#include <QTimer>
#include <filesystem>
#include <fstream>
#include <optional>

#include "resources/resource_ids.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::TempDir;
using roadkeep::test::ReadText;

constexpr unsigned kEnglish = 0x09, kJapanese = 0x11, kKorean = 0x12, kFrench = 0x0C;

template <typename T>
T* Control(QWidget& dlg, int id) {
  T* widget = dlg.findChild<T*>(QString::number(id));
  EXPECT_NE(widget, nullptr) << id;
  return widget;
}

struct Message {
  bool seen = false;
  QString caption, text;
};

// Clicks Save and answers the message box it may show.
Message ClickSave(CSettingDlg& dlg) {
  Message seen;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    auto* box = dlg.findChild<QMessageBox*>(QStringLiteral("SettingsMessage"));
    if (box == nullptr || !box->isVisible()) return;
    poll.stop();
    seen = {true, box->windowTitle(), box->text()};
    box->accept();
  });
  poll.start(10);
  QTest::mouseClick(Control<QPushButton>(dlg, IDC_SET_SAVE), Qt::LeftButton);
  return seen;
}

// The factory text of these tests: what a key the file lacks shows.
const char kFactory[] =
    "[blackbox]\r\nacc_level=5\r\npower_off_vlt=11500\r\n[capacity]\r\nconst=70\r\n";

class SettingDlgTest : public testing::Test {
 protected:
  // A dialog opened on text (nullopt: no file) at the given clock, shown offscreen.
  std::unique_ptr<CSettingDlg> Open(const std::optional<std::string>& text,
                                    unsigned langId = kEnglish, std::tm now = Clock(9),
                                    bool readOnly = false) {
    if (text) std::ofstream(Path(), std::ios::binary | std::ios::trunc) << *text;
    auto dlg = std::make_unique<CSettingDlg>(nullptr, langId);
    dlg->SetFile({Path(), kFactory});
    dlg->SetReadOnly(readOnly);
    dlg->SetClockForTest(now);
    dlg->show();
    return dlg;
  }
  static std::tm Clock(int hour) {
    std::tm t{};
    t.tm_year = 2014 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 1;
    t.tm_hour = hour;
    t.tm_min = 30;
    return t;
  }
  std::string Path() const { return m_dir.File("blackbox.cfg"); }
  TempDir m_dir;
};

const char kValidFile[] =
    "[blackbox]\nacc_level=3\nmotion_level=1\nmic_in=1\nvoice_out=0\npower_off_vlt=12400\n"
    "version=V1.2\nmodel=KT5\ndim_front=hd\n[capacity]\nconst=50\nevent=20\npark=20\n"
    "manual=10\n";

TEST_F(SettingDlgTest, EveryControlLiesInsideTheDialogAndTheListsHoldTheirEntries) {
  auto dlg = Open(kValidFile);
  for (QWidget* child : dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
    EXPECT_TRUE(dlg->rect().contains(child->geometry())) << child->objectName().toStdString();
  }
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_YEAR)->itemText(13), "2026");
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_HOUR)->itemText(23), "24");
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_SECOND)->count(), 60);
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_PARK)->itemText(6), "70");
  EXPECT_EQ(Control<QLabel>(*dlg, IDC_SET_VIEWER_VERSION)->text(), "2.5.9");
}

TEST_F(SettingDlgTest, CaptionsFollowTheUsersLanguageWithPercentShownOnce) {
  const struct {
    unsigned langId;
    const char* title;
    const char* storage;
    const char* caution;
    const char* yes;
    const char* hour;
  } cases[] = {
      {kEnglish, "KT5 Settings", "Storage(%)", "Caution! Total rate is 100%", "Yes", "H"},
      {kFrench, "KT5 Settings", "Storage(%)", "Caution! Total rate is 100%", "Yes", "H"},
      {kJapanese, "KT5環境設定", "保存領域(%)", "(注意)保存領域の合計は100%です。", "使用する",
       "時"},
  };
  for (const auto& c : cases) {
    auto dlg = Open(kValidFile, c.langId);
    EXPECT_EQ(dlg->windowTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(Control<QGroupBox>(*dlg, IDC_SET_STORAGE_GROUP)->title(), QString::fromUtf8(c.storage));
    EXPECT_EQ(Control<QLabel>(*dlg, IDC_SET_CAUTION)->text(), QString::fromUtf8(c.caution));
    EXPECT_EQ(Control<QCheckBox>(*dlg, IDC_SET_VOICE_ON)->text(), QString::fromUtf8(c.yes));
    EXPECT_EQ(Control<QLabel>(*dlg, IDC_SET_HOUR_UNIT)->text(), QString::fromUtf8(c.hour));
  }
  // Korean has text of its own in every caption.
  auto dlg = Open(kValidFile, kKorean);
  for (QWidget* child : dlg->findChildren<QWidget*>()) {
    if (auto* label = qobject_cast<QLabel*>(child)) {
      EXPECT_FALSE(label->text().contains('?')) << label->objectName().toStdString();
      EXPECT_FALSE(label->text().contains(QStringLiteral("%%")));
    }
  }
}

// The values themselves are the reader's (recorder_settings_test); here, that each lands
// in its control, and what the missing ones leave.
TEST_F(SettingDlgTest, ControlsShowTheFile) {
  auto dlg = Open(kValidFile);
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_PARK)->currentText(), "20");
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_MANUAL)->currentText(), "10");
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_VOLTAGE)->currentText(), "12.4v/24.8v");
  EXPECT_FALSE(Control<QCheckBox>(*dlg, IDC_SET_MIC_OFF)->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(*dlg, IDC_SET_VOICE_OFF)->isChecked());
  EXPECT_EQ(Control<QSlider>(*dlg, IDC_SET_MOTION)->value(), 1);
  EXPECT_EQ(Control<QLabel>(*dlg, IDC_SET_FIRMWARE)->text(), "V1.2");
  EXPECT_EQ(dlg->FrontResolution(), "hd");  // read for the model, never shown or written
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_HOUR)->currentText(), "9");
  EXPECT_FALSE(Control<QComboBox>(*dlg, IDC_SET_HOUR)->isEnabled());

  // A damaged file shows the factory values; keys in neither read as 0.
  auto damaged = Open(std::string("\0\xff[blackbox]\nmodel=Q5\n\x01=\n", 25));
  EXPECT_EQ(Control<QComboBox>(*damaged, IDC_SET_CONST)->currentText(), "70");
  EXPECT_EQ(Control<QComboBox>(*damaged, IDC_SET_EVENT)->currentIndex(), -1);
  EXPECT_EQ(Control<QComboBox>(*damaged, IDC_SET_VOLTAGE)->currentText(), "11.5v/23.0v");
  EXPECT_FALSE(Control<QCheckBox>(*damaged, IDC_SET_BIKE)->isChecked());
  EXPECT_TRUE(Control<QSlider>(*damaged, IDC_SET_ACC)->isEnabled());
  EXPECT_EQ(Control<QSlider>(*damaged, IDC_SET_ACC)->value(), 3);
  EXPECT_EQ(damaged->FrontResolution(), "d1");  // no model read: the default
}

TEST_F(SettingDlgTest, PairsActAsRadioButtonsAndSwitchesEnableTheirControls) {
  auto dlg = Open(kValidFile);
  auto* on = Control<QCheckBox>(*dlg, IDC_SET_MIC_ON);
  auto* off = Control<QCheckBox>(*dlg, IDC_SET_MIC_OFF);
  for (QCheckBox* clicked : {off, off, on, on}) {
    QTest::mouseClick(clicked, Qt::LeftButton);
    EXPECT_TRUE(clicked->isChecked());
    EXPECT_FALSE((clicked == on ? off : on)->isChecked());
  }
  QTest::mouseClick(Control<QCheckBox>(*dlg, IDC_SET_VOICE_ON), Qt::LeftButton);
  EXPECT_FALSE(Control<QCheckBox>(*dlg, IDC_SET_VOICE_OFF)->isChecked());

  auto* sync = Control<QCheckBox>(*dlg, IDC_SET_SYNC);
  QTest::mouseClick(sync, Qt::LeftButton, {}, QPoint(4, sync->height() / 2));
  for (int id = IDC_SET_YEAR; id <= IDC_SET_SECOND; ++id) {
    EXPECT_TRUE(Control<QComboBox>(*dlg, id)->isEnabled()) << id;
  }
  QTest::mouseClick(Control<QCheckBox>(*dlg, IDC_SET_BIKE), Qt::LeftButton);
  EXPECT_FALSE(Control<QSlider>(*dlg, IDC_SET_ACC)->isEnabled());
  QTest::mouseClick(Control<QCheckBox>(*dlg, IDC_SET_BIKE), Qt::LeftButton);
  EXPECT_TRUE(Control<QSlider>(*dlg, IDC_SET_ACC)->isEnabled());
}

TEST_F(SettingDlgTest, SaveWritesTheControlsAndCloses) {
  auto dlg = Open("[blackbox]\nacc_level=0\nmotion_level=2\n[capacity]\nconst=50\nevent=20\n"
                  "park=20\nmanual=10\n[time]\nhour=7\n",
                  kEnglish, Clock(0));
  EXPECT_EQ(Control<QComboBox>(*dlg, IDC_SET_HOUR)->currentIndex(), -1);  // 00:30
  auto* sync = Control<QCheckBox>(*dlg, IDC_SET_SYNC);
  QTest::mouseClick(sync, Qt::LeftButton, {}, QPoint(4, sync->height() / 2));
  const Message message = ClickSave(*dlg);
  EXPECT_FALSE(message.seen);
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_FALSE(dlg->isVisible());
  // Only what changed: the level 2 the slider shows as normal and the keys the file lacks
  // stay as they are.
  const std::string saved = ReadText(Path());
  EXPECT_NE(saved.find("[blackbox]\nacc_level=0\nmotion_level=2\ntat_update=1\n[capacity]"),
            std::string::npos)
      << saved;
  EXPECT_NE(saved.find("[time]\nhour=0\nset=1\nyear=2014\nmonth=3\nday=1\nmin=30\nsec=0\n"),
            std::string::npos)
      << saved;
}

// Without a file, opening and closing writes nothing; Save makes it from the factory text.
TEST_F(SettingDlgTest, OnlySaveWritesAndANewFileStartsAsTheFactoryText) {
  auto dlg = Open(std::nullopt);
  Control<QComboBox>(*dlg, IDC_SET_CONST)->setCurrentIndex(0);
  dlg->close();
  EXPECT_FALSE(fs::exists(Path()));

  dlg = Open(std::nullopt);
  for (int id : {IDC_SET_CONST, IDC_SET_EVENT, IDC_SET_PARK, IDC_SET_MANUAL}) {
    Control<QComboBox>(*dlg, id)->setCurrentIndex(id == IDC_SET_CONST ? 6 : 0);  // 70 + 3 x 10
  }
  ClickSave(*dlg);
  EXPECT_EQ(dlg->result(), QDialog::Accepted);
  EXPECT_EQ(ReadText(Path()),
            "[blackbox]\r\nacc_level=5\r\npower_off_vlt=11500\r\ntat_update=1\r\n"
            "[capacity]\r\nconst=70\r\nevent=10\r\npark=10\r\nmanual=10\r\n");
}

TEST_F(SettingDlgTest, SharesNotTotalling100AreRefusedInTheUsersLanguage) {
  auto dlg = Open(kValidFile, kJapanese);
  Control<QComboBox>(*dlg, IDC_SET_CONST)->setCurrentIndex(5);  // 60 + 20 + 20 + 10
  const Message message = ClickSave(*dlg);
  ASSERT_TRUE(message.seen);
  EXPECT_EQ(message.caption, QString::fromUtf8("ドライブレコーダー設定エラー"));
  EXPECT_EQ(message.text,
            QString::fromUtf8("保存領域設定を確認してください。\n保存領域の合計は100%です。"));
  EXPECT_TRUE(dlg->isVisible());
  std::string expected = kValidFile;
  expected.insert(expected.find("[capacity]"), "tat_update=1\n");
  EXPECT_EQ(ReadText(Path()), expected);
}

TEST_F(SettingDlgTest, ACardThatTakesNoWriteIsReportedAndTheDialogStaysOpen) {
  auto dlg = Open(kValidFile);
  const std::string path = Path();
  fs::remove(path);
  fs::create_directory(path);  // the file turned into something that cannot be replaced
  const Message message = ClickSave(*dlg);
  ASSERT_TRUE(message.seen);
  EXPECT_EQ(dlg->LastSave(), SaveResult::kWriteFailed);
  EXPECT_TRUE(message.text.startsWith(QStringLiteral("The settings could not be saved.")));
  EXPECT_TRUE(dlg->isVisible());

  // A card known to take no writes is said at once: Save is off and nothing is written.
  fs::remove(path);
  auto readOnly = Open(kValidFile, kEnglish, Clock(9), /*readOnly=*/true);
  Control<QComboBox>(*readOnly, IDC_SET_CONST)->setCurrentIndex(3);
  auto* note = readOnly->findChild<QLabel*>(QStringLiteral("ReadOnlyNote"));
  ASSERT_NE(note, nullptr);
  EXPECT_TRUE(note->isVisible());
  EXPECT_TRUE(note->text().startsWith(QStringLiteral("The card is read-only")));
  EXPECT_FALSE(ClickSave(*readOnly).seen);
  EXPECT_TRUE(readOnly->isVisible());
  EXPECT_EQ(ReadText(Path()), kValidFile);
}

}  // namespace

namespace {

// Every caption fits its control in every language (clipped text is the usual fault of a
// template laid out for one language's font). With ROADKEEP_SHOT_DIR set, the dialog in the
// language of the user's locale (LANG) is saved there as setting_dlg_<ja|ko|en>.png.
TEST_F(SettingDlgTest, EveryCaptionFitsItsControl) {
  for (unsigned langId : {kEnglish, kJapanese, kKorean, SystemLangId()}) {
    auto dlg = Open(kValidFile, langId);
    for (QWidget* child : dlg->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      const QFontMetrics metrics(child->font());
      int need = 0;
      if (auto* label = qobject_cast<QLabel*>(child)) {
        need = metrics.horizontalAdvance(label->text());
        // Hangul and kana stand taller than the template font's line.
        EXPECT_LE(label->sizeHint().height(), child->height())
            << "language " << langId << " label " << child->objectName().toStdString();
      } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
        need = metrics.horizontalAdvance(group->title()) + 12;
      } else if (auto* box = qobject_cast<QCheckBox*>(child); box && !box->text().isEmpty()) {
        need = box->sizeHint().width();
      } else if (auto* button = qobject_cast<QPushButton*>(child)) {
        need = metrics.horizontalAdvance(button->text()) + 8;
      }
      EXPECT_LE(need, child->width()) << "language " << langId << " control "
                                      << child->objectName().toStdString();
    }
    const QByteArray dir = qgetenv("ROADKEEP_SHOT_DIR");
    if (langId == SystemLangId() && !dir.isEmpty()) {
      const char* tag = dlg->Language() == UiLanguage::kJapanese  ? "ja"
                        : dlg->Language() == UiLanguage::kKorean ? "ko"
                                                                 : "en";
      const QString file = QString::fromLocal8Bit(dir) + QStringLiteral("/setting_dlg_%1.png").arg(tag);
      EXPECT_TRUE(dlg->grab().save(file)) << file.toStdString();
    }
  }
}

}  // namespace
