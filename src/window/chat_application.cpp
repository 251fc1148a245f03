#include "window/chat_application.h"

#include "window/modal_boxes.h"
#include <exception>

namespace window {

ChatApplication::ChatApplication(int& argc, char** argv) : QApplication(argc, argv) {
  // No display name: Qt would append it to every window title, and the
  // titles are the program's own captions exactly.
  setApplicationName("Chat browser");
}

bool ChatApplication::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (const std::exception& e) {
    ShowModal(nullptr, {ModalBox::Kind::Error, applicationName(), QString::fromLocal8Bit(e.what())});
  } catch (...) {
    ShowModal(nullptr, {ModalBox::Kind::Error, applicationName(), "Unknown error"});
  }
  return false;
}

}  // namespace window
