#include "window/modal_boxes.h"

#include <QMessageBox>

namespace window {
namespace {

ModalHandler& Handler() {
  static ModalHandler handler;
  return handler;
}

}  // namespace

ModalHandler SetModalHandler(ModalHandler handler) {
  ModalHandler old = std::move(Handler());
  Handler() = std::move(handler);
  return old;
}

bool ShowModal(QWidget* parent, const ModalBox& box) {
  if (Handler()) return Handler()(box);
  switch (box.kind) {
    case ModalBox::Kind::Question: {
      const auto buttons = QMessageBox::Yes | QMessageBox::No;
      const auto preset = box.defaultNo ? QMessageBox::No : QMessageBox::Yes;
      const auto answer = box.exclamation ? QMessageBox::warning(parent, box.caption, box.text, buttons, preset)
                                          : QMessageBox::question(parent, box.caption, box.text, buttons, preset);
      return answer == QMessageBox::Yes;
    }
    case ModalBox::Kind::Information:
      QMessageBox::information(parent, box.caption, box.text);
      return true;
    case ModalBox::Kind::Error:
      QMessageBox::critical(parent, box.caption, box.text);
      return true;
    case ModalBox::Kind::Warning:
      QMessageBox::warning(parent, box.caption, box.text);
      return true;
  }
  return false;
}

void Warn(QWidget* parent, bool russian, const QString& russianText, const QString& englishText) {
  ShowModal(parent, {ModalBox::Kind::Warning, russian ? "Внимание" : "Attention", russian ? russianText : englishText});
}

bool Ask(QWidget* parent, bool russian, const QString& russianText, const QString& englishText) {
  return ShowModal(parent,
                   {ModalBox::Kind::Question, russian ? "Внимание" : "Attention", russian ? russianText : englishText});
}

bool AskDefaultNo(QWidget* parent, bool russian, const QString& russianText, const QString& englishText) {
  return ShowModal(parent, {ModalBox::Kind::Question, russian ? "Внимание" : "Attention",
                            russian ? russianText : englishText, true});
}

bool AskWithExclamation(QWidget* parent, bool russian, const QString& russianText, const QString& englishText) {
  return ShowModal(parent, {ModalBox::Kind::Question, russian ? "Внимание" : "Attention",
                            russian ? russianText : englishText, false, true});
}

}  // namespace window
