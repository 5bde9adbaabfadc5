// The playback speed in the window: the speed button beside the volume (a menu of the
// speeds), the keys [ ] and Backspace, and the speed over the front picture when it is not
// 1x. The player keeps the speed across recordings and trips.
#include <QMenu>
#include <QToolButton>

#include "app/main_window.h"
#include "app/video_pane.h"
#include "app/window_controls.h"
#include "playback/play_speed.h"
#include "resources/resource_ids.h"

void CZarezeRadidaDlg::SetUpSpeedControl() {
  m_speedButton = new QToolButton(this);
  m_speedButton->setObjectName(QStringLiteral("SpeedButton"));
  m_speedButton->setFocusPolicy(Qt::NoFocus);
  m_speedButton->setPopupMode(QToolButton::InstantPopup);
  m_speedButton->setToolButtonStyle(Qt::ToolButtonTextOnly);
  m_speedButton->setToolTip(PickText(m_language, "재생 속도 ([ / ] / Backspace)",
                                     "Playback speed ([ / ] / Backspace)",
                                     "再生速度 ([ / ] / Backspace)"));
  auto* menu = new QMenu(m_speedButton);
  menu->setObjectName(QStringLiteral("SpeedMenu"));
  menu->setStyleSheet(QStringLiteral(
      "QMenu { background: rgb(32, 34, 40); color: white; border: 1px solid rgb(60, 63, 70); }"
      "QMenu::item:selected { background: rgb(247, 88, 46); }"));
  for (const double speed : roadkeep::kSpeeds) {
    menu->addAction(QString::fromStdString(roadkeep::SpeedName(speed)), this,
                    [this, speed] { SetPlaySpeed(speed); });
  }
  m_speedButton->setMenu(menu);
  // Left of the mute button, in the normal window and in full screen.
  m_standIns.push_back(new CStandIn(
      m_controls->Find(IDC_MUTE), m_speedButton, [] { return true; },
      [](const QRect& r) { return QRect(r.left() - 46, r.center().y() - 11, 40, 22); }));
  SetPlaySpeed(1.0);
}

void CZarezeRadidaDlg::SetPlaySpeed(double speed) {
  m_playback.SetSpeed(speed);
  const QString name = QString::fromStdString(roadkeep::SpeedName(speed));
  const bool normal = speed == 1.0;
  m_speedButton->setText(name);
  m_speedButton->setStyleSheet(
      QStringLiteral("QToolButton { background: %1; color: white; border: none; border-radius: 3px;"
                     " font-size: 11px; font-weight: bold; }"
                     "QToolButton::menu-indicator { image: none; }")
          .arg(normal ? QStringLiteral("rgb(44, 47, 54)") : QStringLiteral("rgb(247, 88, 46)")));
  m_controls->FrontPane()->SetBadge(normal ? QString() : name);
}

double CZarezeRadidaDlg::PlaySpeed() const { return m_playback.Player().Speed(); }
