#include "controls/progress_dlg.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include "resources/resource_ids.h"
#include "resources/resources.h"

namespace {

template <typename T>
T* Child(const CProgressDlg& dialog, int id) {
  return dialog.findChild<T*>(QString::number(id));
}

TEST(CProgressDlg, StartsHiddenAndActiveWithTheTemplateLayout) {
  CProgressDlg dialog(nullptr, 0x409);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(dialog.IsActive());
  EXPECT_EQ(dialog.windowTitle(), QStringLiteral("TAT File Download"));
  auto* status = Child<QLabel>(dialog, IDC_PROGRESS_STATUS);
  auto* file = Child<QProgressBar>(dialog, IDC_PROGRESS_FILE);
  auto* overall = Child<QProgressBar>(dialog, IDC_PROGRESS_OVERALL);
  auto* cancel = Child<QPushButton>(dialog, IDC_PROGRESS_CANCEL);
  ASSERT_TRUE(status && file && overall && cancel);
  EXPECT_EQ(file, dialog.FileBar());
  EXPECT_EQ(overall, dialog.OverallBar());
  EXPECT_EQ(status->text(), QStringLiteral("Static"));
  // Template: everything starts at x 5 and ends at x 315 of a 317-unit-wide window.
  EXPECT_EQ(file->geometry().left(), status->geometry().left());
  EXPECT_EQ(overall->geometry().right(), file->geometry().right());
  EXPECT_EQ(cancel->geometry().right(), file->geometry().right());
  EXPECT_LT(file->geometry().bottom(), overall->geometry().top());
  EXPECT_LT(overall->geometry().bottom(), cancel->geometry().top());
  EXPECT_LE(cancel->geometry().bottom(), dialog.height());
  EXPECT_GT(dialog.width(), 3 * dialog.height());
  dialog.SetStatusText(QStringLiteral("EVENT_20240101_120000_D"));
  EXPECT_EQ(status->text(), QStringLiteral("EVENT_20240101_120000_D"));
}

TEST(CProgressDlg, DialogUnitsScaleWithTheFont) {
  QFont small, large;
  small.setPixelSize(10);
  large.setPixelSize(20);
  QRect a = CProgressDlg::DialogUnitsToPixels(small, QRect(4, 8, 40, 16));
  QRect b = CProgressDlg::DialogUnitsToPixels(large, QRect(4, 8, 40, 16));
  EXPECT_GT(a.width(), 0);
  EXPECT_GT(b.width(), a.width());
  EXPECT_GT(b.height(), a.height());
  EXPECT_EQ(a.height(), 2 * a.y()) << "y units are an eighth of the character height";
}

TEST(CProgressDlg, CancelOnlyClearsTheFlag) {
  CProgressDlg dialog(nullptr, 0x412);
  dialog.show();
  auto* cancel = Child<QPushButton>(dialog, IDC_PROGRESS_CANCEL);
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_FALSE(dialog.IsActive());
  EXPECT_TRUE(dialog.isVisible());
  QTest::mouseClick(cancel, Qt::LeftButton);
  EXPECT_FALSE(dialog.IsActive());
  dialog.SetActive(true);  // the next export arms it again
  EXPECT_TRUE(dialog.IsActive());
  QTest::keyClick(&dialog, Qt::Key_Return);
  EXPECT_TRUE(dialog.IsActive());
  EXPECT_TRUE(dialog.isVisible());
  QTest::keyClick(&dialog, Qt::Key_Escape);
  EXPECT_FALSE(dialog.IsActive());
  EXPECT_TRUE(dialog.isVisible());
}

TEST(CProgressDlg, CancelTextFollowsThePrimaryLanguage) {
  const std::pair<unsigned, QString> kCases[] = {
      {0x411, QString::fromUtf8("キャンセル")}, {0x11, QString::fromUtf8("キャンセル")},
      {0x412, LoadString(IDS_CANCEL_KO)},       {0x409, QStringLiteral("Cancel")},
      {0x407, QStringLiteral("Cancel")},        {0, QStringLiteral("Cancel")}};
  for (const auto& [langId, text] : kCases) {
    CProgressDlg dialog(nullptr, langId);
    EXPECT_EQ(Child<QPushButton>(dialog, IDC_PROGRESS_CANCEL)->text(), text) << langId;
  }
  EXPECT_FALSE(LoadString(IDS_CANCEL_KO).isEmpty());
}

TEST(CProgressDlg, WearsTheDarkSkinWithTheAccentOnTheBars) {
  CProgressDlg dialog(nullptr, 0x409);
  dialog.FileBar()->setRange(0, 100);
  dialog.FileBar()->setValue(50);
  const QImage shot = dialog.grab().toImage();
  if (const char* dir = std::getenv("ROADKEEP_SHOT_DIR")) {
    shot.save(QString::fromLocal8Bit(dir) + QStringLiteral("/progress-dialog.png"));
  }
  const QRect bar = dialog.FileBar()->geometry();
  const QColor background = shot.pixelColor(2, 2);
  const QColor done = shot.pixelColor(bar.left() + bar.width() / 4, bar.center().y());
  const QColor left = shot.pixelColor(bar.left() + bar.width() * 3 / 4, bar.center().y());
  EXPECT_LT(qGray(background.rgb()), 60) << "the stock light dialog";
  EXPECT_GT(done.red(), 200);
  EXPECT_LT(done.green(), 130);
  EXPECT_LT(qGray(left.rgb()), 40);
  // The status text stays readable on the dark ground.
  EXPECT_GT(dialog.findChild<QLabel*>()->palette().color(QPalette::WindowText).lightness(), 180);
}

}  // namespace
