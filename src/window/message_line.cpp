#include "window/message_line.h"

#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "window/qt_text.h"

namespace window {

MessageLine::MessageLine(QLineEdit* edit, NameSource names)
    : QObject(edit), edit_(edit), names_(std::move(names)) {
  edit_->installEventFilter(this);
  connect(edit_, &QLineEdit::selectionChanged, this, &MessageLine::Remember);
  connect(edit_, &QLineEdit::cursorPositionChanged, this, &MessageLine::Remember);
}

bool MessageLine::eventFilter(QObject* watched, QEvent* event) {
  // Runs before the line handles the focus loss and deselects.
  if (watched == edit_ && event->type() == QEvent::FocusOut) Remember();
  if (watched == edit_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (Key(key->key(), key->modifiers())) return true;
  }
  return QObject::eventFilter(watched, event);
}

// Up and Down walk the sent messages; Tab completes a name when one fits
// and otherwise moves the focus on, as everywhere.
bool MessageLine::Key(int key, Qt::KeyboardModifiers modifiers) {
  if (modifiers & (Qt::ControlModifier | Qt::AltModifier | Qt::ShiftModifier)) return false;
  std::optional<std::string> recalled;
  if (key == Qt::Key_Up) recalled = history_.Older(FromQ(edit_->text()));
  if (key == Qt::Key_Down) recalled = history_.Newer();
  if (recalled) {
    edit_->setText(ToQ(*recalled));
    edit_->end(false);
    return true;
  }
  if (key == Qt::Key_Tab && names_) {
    completion_ = CompleteName(State(), names_(), completion_);
    if (!completion_) return false;
    Apply(completion_->edit);
    return true;
  }
  return false;
}

void MessageLine::Remember() {
  if (!edit_->hasFocus()) return;
  selStart_ = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
  selLength_ = edit_->hasSelectedText() ? static_cast<int>(edit_->selectedText().size()) : 0;
}

LineEdit MessageLine::State() const {
  LineEdit state;
  state.text = FromQ(edit_->text());
  if (edit_->hasFocus()) {
    state.selStart = edit_->hasSelectedText() ? edit_->selectionStart() : edit_->cursorPosition();
    state.selLength = edit_->hasSelectedText() ? static_cast<int>(edit_->selectedText().size()) : 0;
  } else {
    const int size = static_cast<int>(edit_->text().size());
    state.selStart = std::min(selStart_, size);
    state.selLength = std::min(selLength_, size - state.selStart);
  }
  state.caret = state.selStart + state.selLength;
  return state;
}

void MessageLine::Apply(const LineEdit& state) {
  const QString text = ToQ(state.text);
  if (text != edit_->text()) edit_->setText(text);
  edit_->setFocus();
  edit_->setCursorPosition(state.caret);
  Remember();
}

}  // namespace window
