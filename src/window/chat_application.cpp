#include "window/chat_application.h"

#include "window/modal_boxes.h"
#include <exception>

ChatApplication::ChatApplication(int& argc, char** argv) : QApplication(argc, argv) {
  setApplicationName("Chat browser");
  setApplicationDisplayName("Chat browser");
}

bool ChatApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    window::ShowModal(nullptr, {window::ModalBox::Error, applicationName(), QString::fromLocal8Bit(e.what())});
  } catch (...) {
    window::ShowModal(nullptr, {window::ModalBox::Error, applicationName(), "Unknown error"});
  }
  return false;
}
