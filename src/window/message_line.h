#pragma once
// The message line as the chat logic sees it: its text, selection and
// caret as a LineEdit, and a LineEdit written back.  A click into a pane
// takes the focus, and the line drops its selection with it, yet a link
// action must replace the selection as it stood; so the selection is kept
// from the last moment the line had the focus.
#include <QObject>

#include "chat/link_actions.h"

class QLineEdit;

namespace window {

class MessageLine : public QObject {
 public:
  explicit MessageLine(QLineEdit* edit);

  LineEdit State() const;
  // Shows `edit` and gives the line the focus, the caret at its place.
  void Apply(const LineEdit& edit);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Remember();

  QLineEdit* edit_;
  int selStart_ = 0;
  int selLength_ = 0;
};

}  // namespace window
