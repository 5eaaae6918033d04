// The private messages between the parameters panel, the worker threads and the main window. Each
// is a Qt custom event with the message's number as its type (all lie between QEvent::User and
// QEvent::MaxUser) and two integer parameters. A posted message is queued on the receiver's thread;
// a sent one is delivered at once on the receiver's thread, the sender waiting for it.
#pragma once

#include <QEvent>
#include <QObject>
#include <cstdint>

inline constexpr QEvent::Type UM_VIEW_PICTURE_CHANGED = QEvent::Type(0x1097);
inline constexpr QEvent::Type UM_BATCH_FINISHED = QEvent::Type(0x1098);
inline constexpr QEvent::Type UM_BATCH_FILE_DONE = QEvent::Type(0x1099);
inline constexpr QEvent::Type UM_PREVIEW_MOVED = QEvent::Type(0x109B);
inline constexpr QEvent::Type UM_VIEW_PREVIEW_RECT_CHANGED = QEvent::Type(0x109C);
inline constexpr QEvent::Type UM_START_FULL_DENOISE = QEvent::Type(0x109D);
inline constexpr QEvent::Type UM_SET_PANEL_STATE = QEvent::Type(0x109E);
inline constexpr QEvent::Type UM_FULL_DENOISE_DONE = QEvent::Type(0x109F);
inline constexpr QEvent::Type UM_FULL_DENOISE_ABORTED = QEvent::Type(0x10A0);
inline constexpr QEvent::Type UM_CURSOR_WAIT = QEvent::Type(0x10A1);
inline constexpr QEvent::Type UM_CURSOR_ARROW = QEvent::Type(0x10A2);
inline constexpr QEvent::Type UM_CURSOR_MOVE = QEvent::Type(0x10A3);
inline constexpr QEvent::Type UM_SINGLE_DENOISE_FINISHED = QEvent::Type(0x10A4);
inline constexpr QEvent::Type UM_WORKER_GL = QEvent::Type(0x10A5);
inline constexpr QEvent::Type UM_ZOOM_TYPED = QEvent::Type(0x10A6);
inline constexpr QEvent::Type UM_PHOTO_OPENED = QEvent::Type(0x10A9);

class PrivateMessageEvent : public QEvent {
 public:
  PrivateMessageEvent(QEvent::Type message, uintptr_t wParam, intptr_t lParam)
      : QEvent(message), wParam(wParam), lParam(lParam) {}

  const uintptr_t wParam;
  const intptr_t lParam;
};

// Queues the message for `receiver` and returns at once.
void PostPrivateMessage(QObject* receiver, QEvent::Type message, uintptr_t wParam = 0,
                        intptr_t lParam = 0);

// Delivers the message to `receiver` on the receiver's thread and returns when it was handled:
// directly when called on that thread, else through a blocking queued call.
void SendPrivateMessage(QObject* receiver, QEvent::Type message, uintptr_t wParam = 0,
                        intptr_t lParam = 0);
