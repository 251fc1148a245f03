#include "window/chat_application.h"

#include <QMessageBox>
#include <exception>

ChatApplication::ChatApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Chat browser");
  setApplicationDisplayName("Chat browser");
}

bool ChatApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, applicationName(), QString::fromLocal8Bit(e.what()));
  } catch (...) {
    QMessageBox::critical(nullptr, applicationName(), "Unknown error");
  }
  return false;
}
