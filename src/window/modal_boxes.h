#pragma once
// Every modal question and message box of the program goes through here,
// so that tests can answer them without a human.
#include <QString>
#include <functional>
#include <string>

class QWidget;

namespace window {

struct ModalBox {
  enum class Kind { Warning, Question, Information, Error };
  Kind kind = Kind::Warning;
  QString caption;
  QString text;
  // A question whose default button is No.
  bool defaultNo = false;
  // A question with the exclamation icon rather than the question mark.
  bool exclamation = false;
};

// Answers: for a question true means "Yes"; boxes without a choice ignore it.
using ModalHandler = std::function<bool(const ModalBox&)>;

// Replaces the handler (an empty one restores the real boxes); returns the old one.
ModalHandler SetModalHandler(ModalHandler handler);

bool ShowModal(QWidget* parent, const ModalBox& box);

// A box about something a peer sent.  It never blocks: the line that caused
// it is handled to its end and the lines after it go on being handled while
// it is open.  At most one box per `key` (what it is about, and who) is open
// at a time, so a peer that repeats himself cannot stack them.
void ShowPeerBox(QWidget* parent, const std::string& key, const ModalBox& box);
void CloseAllPeerBoxes();

// The program ends: every dialog still open is rejected (the loop of a
// modal one returns) and no box or question is shown any more.
void EndOpenBoxes();

// "Внимание" / "Attention" boxes.
void Warn(QWidget* parent, bool russian, const QString& russianText, const QString& englishText);
bool Ask(QWidget* parent, bool russian, const QString& russianText, const QString& englishText);
bool AskDefaultNo(QWidget* parent, bool russian, const QString& russianText, const QString& englishText);
bool AskWithExclamation(QWidget* parent, bool russian, const QString& russianText, const QString& englishText);

}  // namespace window
