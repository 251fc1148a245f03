#pragma once
// The message line as the chat logic sees it: its text, selection and
// caret as a LineEdit, and a LineEdit written back.
#include <QObject>

#include "window/link_actions.h"

class QLineEdit;

namespace window {

class MessageLine : public QObject {
 public:
  explicit MessageLine(QLineEdit* edit);

  LineEdit State() const;
  // Shows `edit` and gives the line the focus, the caret at its place.
  void Apply(const LineEdit& edit);

 private:
  QLineEdit* edit_;
};

}  // namespace window
