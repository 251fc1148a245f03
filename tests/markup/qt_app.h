#pragma once
// One QApplication for the widget tests, on the offscreen platform unless
// the environment chose another.
#include <QApplication>
#include <cstdlib>

namespace markup_test {

inline void EnsureApplication() {
  if (QApplication::instance()) return;
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", "/tmp/chat-test-runtime", 1);
  static int argc = 1;
  static char name[] = "chat_markup_tests";
  static char* argv[] = {name, nullptr};
  new QApplication(argc, argv);
}

}  // namespace markup_test
