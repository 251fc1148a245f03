#pragma once
#include <QApplication>

// The application with its error filter: an exception escaping an event
// handler is shown once in a standard error box instead of ending the
// program.
namespace window {

class ChatApplication : public QApplication {
 public:
  ChatApplication(int& argc, char** argv);
  bool notify(QObject* receiver, QEvent* event) override;
};

}  // namespace window
