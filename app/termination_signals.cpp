#include "app/termination_signals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <csignal>

#include "app/main_window.h"

namespace {

int signalSocket[2] = {-1, -1};

// Only write(2): safe in a signal handler.
void OnTerminationSignal(int signal) {
  const char byte = static_cast<char>(signal);
  [[maybe_unused]] const ssize_t written = write(signalSocket[0], &byte, 1);
}

}  // namespace

void CloseOnTerminationSignals(MainWindow* window) {
  if (signalSocket[0] >= 0 ||
      socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSocket) != 0) {
    return;
  }
  auto* notifier = new QSocketNotifier(signalSocket[1], QSocketNotifier::Read, qApp);
  QPointer<MainWindow> target(window);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [target] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = read(signalSocket[1], &byte, 1);
    if (target) target->CloseWithoutQuestions();
    QApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
}
