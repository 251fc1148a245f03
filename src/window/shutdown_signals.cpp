#include "window/shutdown_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

namespace window {
namespace {

int signalPipe[2] = {-1, -1};

// Only async-signal-safe work here: one byte into the pipe.
void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void CloseOnShutdownSignals(QWidget* window) {
  QPointer<QWidget> target(window);
  if (signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) == 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
    QObject::connect(notifier, &QSocketNotifier::activated, qApp, [target] {
      char byte;
      [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &byte, 1);
      if (target) target->close();
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
  }
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, qApp, [target](QSessionManager&) {
    if (target) target->close();
  });
}

}  // namespace window
