#include "window/message_line.h"

#include <QLineEdit>

#include "window/qt_text.h"

namespace window {

MessageLine::MessageLine(QLineEdit* edit) : QObject(edit), edit_(edit) {}

LineEdit MessageLine::State() const {
  LineEdit state;
  state.text = FromQ(edit_->text());
  state.selStart = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
  state.selLength = edit_->hasSelectedText() ? static_cast<int>(edit_->selectedText().size()) : 0;
  state.caret = state.selStart + state.selLength;
  return state;
}

void MessageLine::Apply(const LineEdit& state) {
  const QString text = ToQ(state.text);
  if (text != edit_->text()) edit_->setText(text);
  edit_->setFocus();
  edit_->setCursorPosition(state.caret);
}

}  // namespace window
