#include "app/private_messages.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QThread>
#include <vector>

namespace {

class Recorder : public QObject {
 public:
  struct Received {
    QEvent::Type type;
    uintptr_t wParam;
    intptr_t lParam;
    QThread* thread;
  };
  std::vector<Received> received;

  bool event(QEvent* event) override {
    if (event->type() < QEvent::User) return QObject::event(event);
    auto* message = static_cast<PrivateMessageEvent*>(event);
    received.push_back({message->type(), message->wParam, message->lParam,
                        QThread::currentThread()});
    return true;
  }
};

}  // namespace

TEST(PrivateMessages, PostedMessagesArriveInOrderOnTheReceiversLoop) {
  Recorder recorder;
  PostPrivateMessage(&recorder, UM_START_FULL_DENOISE, 0x00C80190, 0x00640000);
  PostPrivateMessage(&recorder, UM_PHOTO_OPENED, 7, 1);
  EXPECT_TRUE(recorder.received.empty());
  QCoreApplication::processEvents();
  ASSERT_EQ(recorder.received.size(), 2u);
  EXPECT_EQ(recorder.received[0].type, QEvent::Type(0x109D));
  EXPECT_EQ(recorder.received[0].wParam, 0x00C80190u);
  EXPECT_EQ(recorder.received[0].lParam, 0x00640000);
  EXPECT_EQ(recorder.received[1].type, QEvent::Type(0x10A9));
}

TEST(PrivateMessages, SentFromAWorkerThreadIsHandledOnTheReceiversThreadBeforeReturning) {
  Recorder recorder;
  bool handledBeforeReturn = false;
  QThread* worker = QThread::create([&] {
    SendPrivateMessage(&recorder, UM_WORKER_GL, 1, 0);
    handledBeforeReturn = recorder.received.size() == 1;
  });
  worker->start();
  while (!worker->isFinished()) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  worker->wait();
  delete worker;
  EXPECT_TRUE(handledBeforeReturn);
  ASSERT_EQ(recorder.received.size(), 1u);
  EXPECT_EQ(recorder.received[0].thread, QThread::currentThread());
  EXPECT_EQ(recorder.received[0].wParam, 1u);
}
