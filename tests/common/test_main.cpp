// The main of every test program: the Qt application its tests need is
// created once, before any test runs (the program's own for the window
// tests), on the offscreen platform unless the
// environment chose another.
#include <gtest/gtest.h>

#include <cstdlib>

#if CHAT_TEST_APP == 1
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#elif CHAT_TEST_APP == 2
#include <QGuiApplication>
using TestApplication = QGuiApplication;
#elif CHAT_TEST_APP == 3
#include <QApplication>
using TestApplication = QApplication;
#elif CHAT_TEST_APP == 4
#include "window/chat_application.h"
using TestApplication = window::ChatApplication;
#endif

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
#if CHAT_TEST_APP != 0
  if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", "/tmp/chat-test-runtime", 1);
  TestApplication app(argc, argv);
#endif
  return RUN_ALL_TESTS();
}
