// Names that screen readers say for the main window's controls that show
// only a picture or stand beside their label, and the menus' keyboard
// mnemonics, in the interface language.
#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QToolButton>

#include "chat/smiley_codes.h"
#include "markup/ui/markup_view.h"
#include "window/main_window.h"

namespace window {

namespace {

// The smileys as the buttons' pictures show them.
const char* const kSmileyNames[2][10] = {
    {"улыбка", "грусть", "язык", "смех", "подмигивание", "удивление", "злость", "сон", "да", "нет"},
    {"smile", "sad", "tongue", "laugh", "wink", "surprise", "anger", "sleep", "yes", "no"}};

// Puts "&" before the first letter of `text` not yet used in `used`.
QString WithMnemonic(QString text, QSet<QChar>& used) {
  text.remove('&');
  for (qsizetype i = 0; i < text.size(); ++i) {
    const QChar c = text[i].toLower();
    if (!c.isLetterOrNumber() || used.contains(c)) continue;
    used.insert(c);
    return text.left(i) + '&' + text.mid(i);
  }
  return text;
}

void MnemonicsIn(QMenu* menu) {
  QSet<QChar> used;
  for (QAction* action : menu->actions()) {
    if (action->isSeparator()) continue;
    if (QMenu* sub = action->menu()) {
      sub->setTitle(WithMnemonic(sub->title(), used));
      MnemonicsIn(sub);
    } else {
      action->setText(WithMnemonic(action->text(), used));
    }
  }
}

}  // namespace

void MainWindow::NameControls(bool russian) {
  const int lang = russian ? 0 : 1;
  for (int i = 0; i < 10; ++i) {
    if (auto* sm = findChild<QToolButton*>(QString("Sm%1").arg(i + 1))) {
      const QString code = QString::fromLatin1(kBuiltinSmileyCodes[i].data(), kBuiltinSmileyCodes[i].size());
      const QString name = QString::fromUtf8(kSmileyNames[lang][i]);
      sm->setAccessibleName((russian ? QString::fromUtf8("Смайлик ") : QString("Smiley ")) + name);
      sm->setToolTip(name + " " + code);
    }
  }
  sendWav_->setAccessibleName(russian ? QString::fromUtf8("Записать звуковое сообщение")
                                      : QString("Record an audio message"));
  userInfo_->setAccessibleName(russian ? QString::fromUtf8("Информация о собеседнике")
                                       : QString("Info about interlocutor"));
  ledPanel_->setAccessibleName(LampsToolTip().section('\n', 0, 0));
  if (auto* messLab = findChild<QLabel*>("MessLab")) messLab->setBuddy(enter_);
  if (auto* privLab = findChild<QLabel*>("PrivLab")) privLab->setBuddy(towhom_);
  enter_->setAccessibleName(russian ? QString::fromUtf8("Текст сообщения") : QString("Message text"));
  towhom_->setAccessibleName(russian ? QString::fromUtf8("Приват для") : QString("Private for"));
  QSet<QChar> used;
  for (QAction* action : menuBar()->actions())
    if (QMenu* menu = action->menu()) {
      menu->setTitle(WithMnemonic(menu->title(), used));
      MnemonicsIn(menu);
    }
}

}  // namespace window
