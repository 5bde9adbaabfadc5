// What the window's offscreen tests share: showing a window, its normal look, what a pane
// reports to the player, and a window playing a recording of a made card.
#pragma once

#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <cstdlib>

#include "app/main_window.h"
#include "app/video_pane.h"
#include "tests/app/viewer_rig.h"

namespace roadkeep::test {

constexpr unsigned kEnglish = 0x09;

inline void ShowAndWait(QWidget& window) {
  window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
}

inline void ExpectWindowedAndCentred(const QWidget& window) {
  EXPECT_EQ(window.size(), QSize(975, 635));
  const QPoint screen = window.screen()->availableGeometry().center();
  const QPoint centre = window.geometry().center();
  EXPECT_LE(std::abs(centre.x() - screen.x()), 1) << centre.x() << " vs " << screen.x();
  EXPECT_LE(std::abs(centre.y() - screen.y()), 1) << centre.y() << " vs " << screen.y();
}

inline QSize ReportedSize(const CVideoPane* pane) {
  int width = -1, height = -1;
  pane->GetSize(&width, &height);
  return QSize(width, height);
}

// Shows window, puts card in and opens its recording `recording`.
inline void ShowAndOpen(CZarezeRadidaDlg& window, const ViewerCard& card, int recording) {
  ASSERT_TRUE(card.ok);
  ASSERT_NO_FATAL_FAILURE(ShowAndWait(window));
  ASSERT_TRUE(InsertCard(window, card.dir.Path().string()));
  ASSERT_TRUE(window.OpenRecording(QString::fromStdString(card.Name(recording))));
}

}  // namespace roadkeep::test
