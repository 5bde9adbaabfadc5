#include "app/input_filter.h"

#include <QKeyEvent>
#include <QTimer>
#include <QKeySequence>
#include <QTreeView>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

#include "app/key_help.h"
#include "app/main_window.h"
#include "app/transport.h"
#include "app/window_controls.h"
#include "app/zoom_dlg.h"
#include "playback/play_speed.h"
#include "controls/bitmap_slider.h"
#include "controls/skin_button.h"
#include "resources/resource_ids.h"

bool CInputFilter::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::KeyPress && type != QEvent::MouseButtonDblClick && type != QEvent::Wheel) {
    return false;
  }
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != m_window) return false;
  if (type == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->matches(QKeySequence::Open)) {  // Ctrl+O
      m_window->OpenWithDialog();
      return true;
    }
    return m_window->HandleKey(key->key());
  }
  const int id = widget->objectName().toInt();
  if (type == QEvent::MouseButtonDblClick) {
    if (id != IDC_FRONT_PANE && id != IDC_REAR_PANE) return false;
    m_window->ToggleFullScreen();
    return true;
  }
  // A wheel notch is 120; a touchpad sends less at a time, and the steps add up.
  const int notches = static_cast<QWheelEvent*>(event)->angleDelta().y() / 120;
  if (notches == 0) return false;
  return m_window->HandleWheel(id, notches);
}

bool CZarezeRadidaDlg::HandleListKey(int key) {
  QTreeView* list = m_controls->List();
  if (!list->hasFocus() || RowCount() == 0) return false;
  const int current = list->currentIndex().isValid() ? list->currentIndex().row() : -1;
  switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down: {
      const int row = key == Qt::Key_Up ? std::max(current - 1, 0)
                                        : std::min(current + 1, RowCount() - 1);
      list->setCurrentIndex(list->model()->index(row, 0));
      list->scrollTo(list->currentIndex());
      return true;
    }
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (current >= 0) OnListDoubleClick(current);
      return true;
    default:
      return false;
  }
}

bool CZarezeRadidaDlg::HandleKey(int key) {
  // The sheet of keys takes the first key to close itself.
  if (m_keySheet != nullptr && m_keySheet->isVisible()) {
    m_keySheet->hide();
    return true;
  }
  // With the list in hand, its keys move the selection and play; elsewhere they keep theirs.
  if (HandleListKey(key) || HandleTripListKey(key)) return true;
  CBitmapSlider* volume = m_controls->Slider(IDC_VOLUME_SLIDER);
  switch (key) {
    case Qt::Key_Escape:
      // The magnifier first, if it is open; then full screen.
      if (m_zoom && m_zoom->isVisible()) {
        m_zoom->close();
      } else if (m_state.displayMode != kNormalMode) {
        OnWindowed();
      }
      break;
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_F:
      ToggleFullScreen();
      break;
    case Qt::Key_Period:
    case Qt::Key_Comma:
      StepFrame(key == Qt::Key_Period ? 1 : -1);
      break;
    case Qt::Key_Home:
    case Qt::Key_End:
      if (m_playback.IsOpen()) {
        // The last frame of the recording is the nearest to any frame past its end.
        m_playback.Player().SeekToFrame(key == Qt::Key_Home ? 0 : INT32_MAX / 2 - 1);
        RefreshPositionSoon();
      }
      break;
    case Qt::Key_BracketLeft:
      SetPlaySpeed(roadkeep::SlowerSpeed(PlaySpeed()));
      break;
    case Qt::Key_BracketRight:
      SetPlaySpeed(roadkeep::FasterSpeed(PlaySpeed()));
      break;
    case Qt::Key_Backspace:
      SetPlaySpeed(1.0);
      break;
    case Qt::Key_M:
      m_controls->Check(IDC_MUTE)->SetCheck(!m_controls->Check(IDC_MUTE)->GetCheck());
      OnMute();
      break;
    case Qt::Key_S:
      OnCapture();
      break;
    case Qt::Key_Question:
    case Qt::Key_F1:
      m_keySheet->Open();
      break;
    case Qt::Key_Space:
      if (!m_controls->Find(IDC_PLAY)->isHidden() && RowCount() > 0) {
        OnPlay();
      } else {
        OnPause();
      }
      break;
    case Qt::Key_PageUp:
      OnNext();
      break;
    case Qt::Key_PageDown:
      OnPrevious();
      break;
    case Qt::Key_Left:
      SkipBack();
      break;
    case Qt::Key_Right:
      SkipForward();
      break;
    case Qt::Key_Up:
    case Qt::Key_Down:
      // The slider moves and the volume follows at once, as with the mouse.
      volume->SetPos(volume->GetPos() + (key == Qt::Key_Up ? kVolumeKeyStep : -kVolumeKeyStep));
      SetVolumeFromSlider(volume->GetPos());
      break;
    case Qt::Key_F2:
      OnOpen();
      break;
    case Qt::Key_F3:
      LocateSettingsFile();
      break;
    default:
      break;  // every other key is swallowed
  }
  return true;
}

void CZarezeRadidaDlg::StepFrame(int delta) {
  if (!m_playback.IsOpen()) return;
  // Playing, a step pauses first.
  if (m_playback.Player().CommandValue() == CQMVMediaPlayer::kPlay) OnPause();
  m_playback.Player().StepFrames(delta);
  RefreshPositionSoon();
}

void CZarezeRadidaDlg::RefreshPositionSoon() {
  // The frame reaches the screen a moment later; the labels follow it then.
  QTimer::singleShot(150, this, &CZarezeRadidaDlg::RefreshPosition);
}

void CZarezeRadidaDlg::ToggleFullScreen() {
  if (m_state.displayMode == kNormalMode) {
    OnFullScreen();
  } else {
    OnWindowed();
  }
}

bool CZarezeRadidaDlg::HandleWheel(int sliderId, int notches) {
  switch (sliderId) {
    case IDC_VOLUME_SLIDER:
    case IDC_BRIGHTNESS_SLIDER: {
      CBitmapSlider* slider = m_controls->Slider(sliderId);
      slider->SetPos(slider->GetPos() + notches * kVolumeKeyStep);
      OnSliderMoved(sliderId, slider->GetPos());  // as a drag to there
      return true;
    }
    case IDC_POS_SLIDER:
      if (!m_playback.IsOpen()) return true;
      m_playback.Player().SeekToMs(
          std::max(0, m_playback.Player().GetPositionMs() + notches * kWheelSeekMs), true);
      return true;
    case IDC_FRONT_PANE:
    case IDC_REAR_PANE:
      // Over the picture: 5 s a notch, exactly; paused, a frame a notch.
      if (!m_playback.IsOpen()) return true;
      if (m_playback.Player().CommandValue() == CQMVMediaPlayer::kIdle) {
        StepFrame(notches);
      } else {
        m_playback.Player().SeekToMs(
            std::max(0, m_playback.Player().GetPositionMs() + notches * kWheelSeekMs), true);
      }
      return true;
    default:
      return false;
  }
}
