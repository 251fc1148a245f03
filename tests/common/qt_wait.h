#pragma once
#include <QCoreApplication>
#include <QElapsedTimer>

// Runs the event loop until `done` holds or `ms` pass; returns `done()`.
template <typename F>
bool WaitFor(F done, int ms = 5000) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  return done();
}
