// The main window as a screen reader sees it: the panes by name with the
// conversation's text, new lines announced, links pressable, and every push
// button and field named, in both languages.
#include <gtest/gtest.h>

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <vector>

#include "chatd_process.h"
#include "line_client.h"
#include "text/cp1251.h"
#include "window_fixture.h"

using text::W;

namespace {

struct Node {
  QAccessible::Role role;
  QString name;
  QAccessibleInterface* iface;
  QObject* object;
};

void Walk(QAccessibleInterface* iface, std::vector<Node>& out, int depth = 0) {
  if (!iface || !iface->isValid() || depth > 40) return;
  if (iface->state().invisible) return;
  out.push_back({iface->role(), iface->text(QAccessible::Name), iface, iface->object()});
  for (int i = 0; i < iface->childCount(); ++i) Walk(iface->child(i), out, depth + 1);
}

std::vector<Node> Tree(QWidget* window) {
  std::vector<Node> nodes;
  Walk(QAccessible::queryAccessibleInterface(window), nodes);
  return nodes;
}

std::vector<QString>& Inserted() {
  static std::vector<QString> inserted;
  return inserted;
}

void Capture(QAccessibleEvent* event) {
  if (event->type() == QAccessible::TextInserted)
    Inserted().push_back(static_cast<QAccessibleTextInsertEvent*>(event)->textInserted());
}

// Every push button and text field on the screen has a name.
void ExpectEveryControlNamed(const std::vector<Node>& nodes, const char* language) {
  int controls = 0;
  for (const Node& n : nodes) {
    if (n.role != QAccessible::Button && n.role != QAccessible::EditableText) continue;
    ++controls;
    EXPECT_FALSE(n.name.trimmed().isEmpty())
        << language << ": unnamed " << (n.object ? n.object->objectName().toStdString() : std::string("?"));
  }
  EXPECT_GT(controls, 15) << language;
}

TEST(Accessibility, PanesButtonsAndFieldsAsAScreenReaderFindsThem) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  const std::string number = Register(chatd, "hanna");
  WindowFixture w(IniFor("hanna", number, chatd.chatPort(), chatd.httpPort()) + "RussianInterface=1\r\n");
  QAccessible::setActive(true);
  const QAccessible::UpdateHandler previous = QAccessible::installUpdateHandler(Capture);
  Inserted().clear();
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return w.form->Connection().Connected(); }, 10000));

  // A screen reader reads the window first, then hears what comes.
  Tree(w.form.get());
  chatd_test::LineClient ivan(chatd.chatPort());
  ASSERT_FALSE(ivan.Login("ivan", "pw").empty());
  ivan.Send("x\xA6Mess=" + W("Привет, читатель экрана") + ";\xA6\n");
  MarkupView* comm = Find<MarkupView>(*w.form, "comm");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(comm, W("читатель экрана")); }, 10000));

  std::vector<Node> nodes = Tree(w.form.get());
  const Node* pane = nullptr;
  for (const Node& n : nodes)
    if (n.object == comm) pane = &n;
  ASSERT_TRUE(pane);
  EXPECT_EQ(pane->role, QAccessible::Document);
  EXPECT_EQ(pane->name, QString::fromUtf8("Общий чат"));
  QAccessibleTextInterface* text = pane->iface->textInterface();
  ASSERT_TRUE(text);
  const QString all = text->text(0, text->characterCount());
  EXPECT_TRUE(all.contains(QString::fromUtf8("ivan: Привет, читатель экрана"))) << all.toStdString();
  EXPECT_FALSE(all.contains("<b>"));  // markup stripped

  // The new line was announced (through a bridge only while one runs: the
  // offscreen platform has none, so the view's own record is read too).
  bool announced = comm->LastAnnouncement().contains(QString::fromUtf8("читатель экрана"));
  for (const QString& s : Inserted()) announced |= s.contains(QString::fromUtf8("читатель экрана"));
  EXPECT_TRUE(announced);

  // The sender's name is a link: pressing it addresses him, as a click does.
  QAccessibleInterface* link = nullptr;
  for (int i = 0; i < pane->iface->childCount(); ++i) {
    QAccessibleInterface* c = pane->iface->child(i);
    if (c && c->role() == QAccessible::Link && c->text(QAccessible::Name).contains("ivan") &&
        c->text(QAccessible::Value).contains("ivan"))
      link = c;
  }
  ASSERT_TRUE(link) << pane->iface->childCount() << " links";
  ASSERT_TRUE(link->actionInterface());
  EXPECT_TRUE(link->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
  link->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
  EXPECT_TRUE(WaitFor([&] { return Find<QLineEdit>(*w.form, "Enter")->text().contains("ivan"); }));

  ExpectEveryControlNamed(nodes, "ru");
  bool smileyNamed = false, fieldNamed = false;
  for (const Node& n : nodes) {
    smileyNamed |= n.name == QString::fromUtf8("Смайлик улыбка");
    fieldNamed |= n.role == QAccessible::EditableText && n.name == QString::fromUtf8("Текст сообщения");
  }
  EXPECT_TRUE(smileyNamed);
  EXPECT_TRUE(fieldNamed);
  EXPECT_TRUE(w.form->Menu("MenConn")->title().contains('&'));

  // English: the same tree in the other language.
  w.form->SwitchLanguage(false);
  nodes = Tree(w.form.get());
  ExpectEveryControlNamed(nodes, "en");
  bool commonRoom = false, messageField = false;
  for (const Node& n : nodes) {
    commonRoom |= n.object == comm && n.name == "Common room";
    messageField |= n.role == QAccessible::EditableText && n.name == "Message text";
  }
  EXPECT_TRUE(commonRoom);
  EXPECT_TRUE(messageField);
  EXPECT_EQ(w.form->Menu("MenConn")->title(), "&Connection");

  QAccessible::installUpdateHandler(previous);
  QAccessible::setActive(false);
}

}  // namespace
