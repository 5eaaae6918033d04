#include "app/private_messages.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QThread>

void PostPrivateMessage(QObject* receiver, QEvent::Type message, uintptr_t wParam,
                        intptr_t lParam) {
  QCoreApplication::postEvent(receiver, new PrivateMessageEvent(message, wParam, lParam));
}

void SendPrivateMessage(QObject* receiver, QEvent::Type message, uintptr_t wParam,
                        intptr_t lParam) {
  auto deliver = [receiver, message, wParam, lParam] {
    PrivateMessageEvent event(message, wParam, lParam);
    QCoreApplication::sendEvent(receiver, &event);
  };
  if (receiver->thread() == QThread::currentThread()) {
    deliver();
  } else {
    QMetaObject::invokeMethod(receiver, deliver, Qt::BlockingQueuedConnection);
  }
}
