#pragma once
// The message line as the chat logic sees it: its text, selection and
// caret as a LineEdit, and a LineEdit written back.  A click into a pane
// takes the focus, and the line drops its selection with it, yet a link
// action must replace the selection as it stood; so the selection is kept
// from the last moment the line had the focus.
#include <QObject>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "chat/link_actions.h"
#include "chat/message_recall.h"

class QLineEdit;

namespace window {

// It also keeps the messages sent (Up and Down bring them back) and
// completes online names with Tab.
class MessageLine : public QObject {
 public:
  using NameSource = std::function<std::vector<std::string>()>;
  explicit MessageLine(QLineEdit* edit, NameSource names = {});

  // The line's text was sent.
  void Sent(const std::string& text) { history_.Sent(text); }
  const MessageHistory& History() const { return history_; }

  LineEdit State() const;
  // Shows `edit` and gives the line the focus, the caret at its place.
  void Apply(const LineEdit& edit);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Remember();
  bool Key(int key, Qt::KeyboardModifiers modifiers);

  QLineEdit* edit_;
  int selStart_ = 0;
  int selLength_ = 0;
  NameSource names_;
  MessageHistory history_;
  std::optional<Completion> completion_;
};

}  // namespace window
