// Private messages between the skinned controls and their parents, as posted Qt events with
// the message numbers as event types, and the control id that every control carries as its
// object name.
#pragma once

#include <QEvent>
#include <QString>
#include <QWidget>

// Slider: wParam control id, lParam new position.
constexpr int WM_BITMAPSLIDER_MOVING = 0x28D1;
constexpr int WM_BITMAPSLIDER_MOVED = 0x28D2;
// Skin radio button: sent to the other buttons of its group when one is checked.
constexpr int kWmSkinRadioUncheck = 0x500;

class CMessageEvent : public QEvent {
 public:
  CMessageEvent(int message, long long wParam, long long lParam)
      : QEvent(static_cast<QEvent::Type>(message)), m_wParam(wParam), m_lParam(lParam) {}
  int Message() const { return static_cast<int>(type()); }
  long long WParam() const { return m_wParam; }
  long long LParam() const { return m_lParam; }

 private:
  long long m_wParam;
  long long m_lParam;
};

// Posts message to receiver (queued; ownership of the event passes to Qt). Does nothing
// when receiver is null. Any thread.
void PostControlMessage(QObject* receiver, int message, long long wParam, long long lParam);

inline void SetControlId(QWidget* w, int id) { w->setObjectName(QString::number(id)); }
// The id a control carries; 0 when its object name is not a number.
inline int ControlId(const QWidget* w) { return w->objectName().toInt(); }
