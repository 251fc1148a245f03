#pragma once
#include <QCoreApplication>
#include "qt_wait.h"

// One QCoreApplication for the whole test program.
inline void EnsureApp() {
  static int argc = 1;
  static char name[] = "chat_session_tests";
  static char* argv[] = {name, nullptr};
  if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}
