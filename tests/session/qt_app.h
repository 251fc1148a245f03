#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>

// One QCoreApplication for the whole test program.
inline void EnsureApp() {
  static int argc = 1;
  static char name[] = "chat_session_tests";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

// Runs the event loop until `done` holds or `ms` pass; returns `done()`.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}
