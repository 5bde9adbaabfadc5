#include "app/input_filter.h"

#include <QKeyEvent>
#include <QKeySequence>
#include <QTreeView>
#include <QWheelEvent>
#include <QWidget>
#include <algorithm>

#include "app/main_window.h"
#include "app/transport.h"
#include "app/window_controls.h"
#include "app/zoom_dlg.h"
#include "controls/bitmap_slider.h"
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
      ToggleFullScreen();
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
          std::max(0, m_playback.Player().GetPositionMs() + notches * kWheelSeekMs));
      return true;
    default:
      return false;
  }
}
