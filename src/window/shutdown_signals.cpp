#include "window/shutdown_signals.h"

#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

#include "window/modal_boxes.h"

namespace window {
namespace {

int signalPipe[2] = {-1, -1};
QPointer<QWidget> target;
bool closeRequested = false;

// Only async-signal-safe work here: one byte into the pipe.
void OnSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(signalPipe[1], &byte, 1);
}

}  // namespace

void CatchShutdownSignals() {
  if (signalPipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, qApp);
  QObject::connect(notifier, &QSocketNotifier::activated, qApp, [] {
    char byte;
    [[maybe_unused]] ssize_t n = ::read(signalPipe[0], &byte, 1);
    closeRequested = true;
    // This may run inside any nested loop (an animation, a question, a
    // box): the window closes the normal way (records and settings are
    // written, the connection and the games end), every dialog still open
    // is rejected, and quitting ends every loop, so each returns to its
    // caller, which finds its window or game gone, and the program ends.
    if (target) target->close();
    EndOpenBoxes();
    QCoreApplication::quit();
  });
  struct sigaction action {};
  action.sa_handler = OnSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (int sig : {SIGTERM, SIGINT, SIGHUP}) sigaction(sig, &action, nullptr);
}

void CloseOnShutdownSignals(QWidget* window) {
  CatchShutdownSignals();
  target = window;
  QObject::connect(qGuiApp, &QGuiApplication::commitDataRequest, window, [window](QSessionManager&) { window->close(); });
  // A signal that came during start-up closes the window once the loop runs.
  if (closeRequested) QMetaObject::invokeMethod(window, &QWidget::close, Qt::QueuedConnection);
}

}  // namespace window
