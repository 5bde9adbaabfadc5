#include "app/key_filter.h"

#include <QKeyEvent>
#include <QWidget>

#include "app/main_window.h"
#include "app/window_controls.h"
#include "controls/bitmap_slider.h"
#include "resources/resource_ids.h"

bool CKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != m_window) return false;
  return m_window->HandleKey(static_cast<QKeyEvent*>(event)->key());
}

bool CZarezeRadidaDlg::HandleKey(int key) {
  CBitmapSlider* volume = m_controls->Slider(IDC_VOLUME_SLIDER);
  switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      if (m_state.displayMode == kNormalMode) {
        OnFullScreen();
      } else {
        OnWindowed();
      }
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
