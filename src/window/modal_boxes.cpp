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
    case ModalBox::Kind::Question:
      return QMessageBox::question(parent, box.caption, box.text, QMessageBox::Yes | QMessageBox::No,
                                   box.defaultNo ? QMessageBox::No : QMessageBox::NoButton) == QMessageBox::Yes;
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

}  // namespace window
