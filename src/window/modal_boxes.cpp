#include "window/modal_boxes.h"

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPointer>
#include <map>

namespace window {
namespace {

ModalHandler& Handler() {
  static ModalHandler handler;
  return handler;
}

bool& Ending() {
  static bool ending = false;
  return ending;
}

std::map<std::string, QPointer<QMessageBox>>& PeerBoxes() {
  static std::map<std::string, QPointer<QMessageBox>> boxes;
  return boxes;
}

QMessageBox::Icon IconOf(ModalBox::Kind kind) {
  switch (kind) {
    case ModalBox::Kind::Question: return QMessageBox::Question;
    case ModalBox::Kind::Information: return QMessageBox::Information;
    case ModalBox::Kind::Error: return QMessageBox::Critical;
    case ModalBox::Kind::Warning: break;
  }
  return QMessageBox::Warning;
}

}  // namespace

ModalHandler SetModalHandler(ModalHandler handler) {
  ModalHandler old = std::move(Handler());
  Handler() = std::move(handler);
  return old;
}

bool ShowModal(QWidget* parent, const ModalBox& box) {
  if (Handler()) return Handler()(box);
  // Nobody is asked any more once the program ends: questions say no.
  if (Ending()) return box.kind != ModalBox::Kind::Question;
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

void ShowPeerBox(QWidget* parent, const std::string& key, const ModalBox& box) {
  if (Handler()) {
    Handler()(box);
    return;
  }
  if (Ending()) return;
  auto& boxes = PeerBoxes();
  // A box closed by its user is gone, though it is deleted only later.
  for (auto it = boxes.begin(); it != boxes.end();)
    it = it->second && it->second->isVisible() ? std::next(it) : boxes.erase(it);
  if (boxes.count(key)) return;
  auto* shown = new QMessageBox(IconOf(box.kind), box.caption, box.text, QMessageBox::Ok, parent);
  shown->setAttribute(Qt::WA_DeleteOnClose);
  shown->setWindowModality(Qt::NonModal);
  boxes[key] = shown;
  shown->show();
}

void CloseAllPeerBoxes() {
  for (auto& [key, box] : PeerBoxes())
    if (box) box->close();
  PeerBoxes().clear();
}

void EndOpenBoxes() {
  Ending() = true;
  CloseAllPeerBoxes();
  for (QWidget* w : QApplication::topLevelWidgets())
    if (auto* dialog = qobject_cast<QDialog*>(w); dialog && dialog->isVisible()) dialog->reject();
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
