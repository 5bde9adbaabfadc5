#include "controls/control_message.h"

#include <QCoreApplication>

void PostControlMessage(QObject* receiver, int message, long long wParam, long long lParam) {
  if (receiver == nullptr) return;
  // postEvent takes ownership of the event.
  QCoreApplication::postEvent(receiver, new CMessageEvent(message, wParam, lParam));
}
