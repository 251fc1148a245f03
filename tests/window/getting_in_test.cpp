// Getting in: what a newcomer sees at start, when the server cannot be
// reached or refuses him, and how he points the client at another server.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTcpServer>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include "chatd_process.h"
#include "line_client.h"
#include "session/connection.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "window/desktop_reactions.h"
#include "window/info_window.h"
#include "window/modal_boxes.h"
#include "window/qt_translations.h"
#include "window_fixture.h"

using text::W;

namespace {

// Runs `answer` on the next modal widget, once it is shown.
void OnNextModal(std::function<void(QWidget*)> answer) {
  auto* timer = new QTimer;
  QObject::connect(timer, &QTimer::timeout, [timer, answer] {
    if (QWidget* modal = QApplication::activeModalWidget()) {
      timer->stop();
      timer->deleteLater();
      answer(modal);
    }
  });
  timer->start(20);
}

std::vector<QWidget*> VisibleTopLevels() {
  std::vector<QWidget*> out;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->isVisible() && w->isWindow() && !(w->windowType() == Qt::ToolTip || w->windowType() == Qt::Popup))
      out.push_back(w);
  return out;
}

// With the direct-link port held by another program, the first thing on
// the screen is the login dialog, with the keyboard in it; no trace window.
TEST(GettingIn, TakenLinkPortLeavesTheLoginDialogAloneAndFocused) {
  QTcpServer other;
  other.listen(QHostAddress::Any, 3686);  // taken by us or by someone else: taken either way
  WindowFixture w;
  bool checked = false;
  OnNextModal([&](QWidget* modal) {
    checked = true;
    EXPECT_EQ(modal, w.reg.get());
    EXPECT_TRUE(w.reg->isVisible());
    // The dialog takes the keyboard as it is activated, which a slow
    // machine may do a moment after showing it.
    EXPECT_TRUE(WaitFor([&] {
      QWidget* focus = QApplication::focusWidget();
      return focus && focus->window() == w.reg.get();
    }, 5000));
    const std::vector<QWidget*> shown = VisibleTopLevels();
    for (QWidget* top : shown)
      EXPECT_TRUE(top == w.form.get() || top == w.reg.get()) << top->metaObject()->className() << " "
                                                             << top->windowTitle().toStdString();
    EXPECT_TRUE(window::InfoWindows().empty());
    w.reg->ButCancel->click();
  });
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return checked; }, 5000));
}

// Logged in, the user types into the message line at once.
TEST(GettingIn, TypingAfterLoginGoesIntoTheMessageLine) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture w(IniFor("tess", Register(chatd, "tess"), chatd.chatPort()));
  w.form->show();
  w.form->activateWindow();
  ASSERT_TRUE(WaitFor([&] { return w.form->Connection().Connected(); }, 10000));
  ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() != nullptr; }));
  QTest::keyClicks(QApplication::focusWidget(), "hello");
  EXPECT_EQ(Find<QLineEdit>(*w.form, "Enter")->text(), "hello");
}

// A trace window that gains lines keeps away from the keyboard: the user
// goes on typing where he was.
TEST(GettingIn, TraceLinesNeverTakeTheKeyboard) {
  settings::Settings settings;
  QWidget typing;
  auto* edit = new QLineEdit(&typing);
  typing.show();
  typing.activateWindow();
  edit->setFocus();
  ASSERT_TRUE(WaitFor([&] { return QApplication::focusWidget() == edit; }));
  window::TraceLog(settings, "first");
  QApplication::processEvents();
  window::TraceLog(settings, "second");
  window::TraceLog(settings, "third");
  WaitFor([] { return false; }, 100);
  ASSERT_EQ(window::InfoWindows().size(), 1u);
  window::InfoWindow* trace = window::InfoWindows().front();
  EXPECT_EQ(trace->ht->Document().LineCount(), 3u);
  EXPECT_EQ(QApplication::focusWidget(), edit);
  EXPECT_EQ(QApplication::activeWindow(), &typing);
  EXPECT_FALSE(trace->windowFlags() & Qt::WindowStaysOnTopHint);
  window::CloseAllInfoWindows();
}

// Nothing listens: the pane says once where it tried and why, after the
// failure marks, and the lamps' tip names the server and the state.
TEST(GettingIn, UnreachableServerIsNamedWithTheReason) {
  QTcpServer probe;
  ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
  const int port = probe.serverPort();
  probe.close();  // a port nobody listens on
  WindowFixture w("[Global]\r\nUserName=alice\r\nPassword=pw\r\nUserNum=5\r\nPort1=" + std::to_string(port) +
                  "\r\nRussianInterface=1\r\n");
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return w.form->Connection().Tag() >= 4; }, 10000));
  const std::string note = "127.0.0.1:" + std::to_string(port) + ": " + W("соединение отклонено");
  int told = 0;
  for (const std::string& line : Lines(Find<MarkupView>(*w.form, "comm"))) {
    for (size_t at = line.find(note); at != std::string::npos; at = line.find(note, at + 1)) ++told;
    if (line.find(note) != std::string::npos) {
      EXPECT_NE(line.find(session::kAttemptFailedMark), std::string::npos);
    }
  }
  EXPECT_EQ(told, 1);
  const QString tip = w.form->LampsToolTip();
  EXPECT_TRUE(tip.contains(QString("127.0.0.1:%1").arg(port))) << tip.toStdString();
  EXPECT_TRUE(tip.contains(QString::fromUtf8("Сервер"))) << tip.toStdString();

  w.form->SwitchLanguage(false);
  EXPECT_TRUE(w.form->LampsToolTip().startsWith("Server 127.0.0.1:")) << w.form->LampsToolTip().toStdString();
}

// "?5" after the socket opened: the connect line tells the refusal, not
// success, and the box says what to do.
TEST(GettingIn, WrongPasswordIsToldAsSuch) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  const std::string number = Register(chatd, "erin");
  std::vector<QString> boxes;
  const window::ModalHandler old = window::SetModalHandler([&](const window::ModalBox& box) {
    boxes.push_back(box.text);
    return true;
  });
  WindowFixture w("[Global]\r\nUserName=erin\r\nPassword=wrong\r\nUserNum=" + number + "\r\nPort1=" +
                  std::to_string(chatd.chatPort()) + "\r\nRussianInterface=1\r\n");
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return !boxes.empty(); }, 10000));
  window::SetModalHandler(old);
  EXPECT_TRUE(boxes.front().contains(QString::fromUtf8("имя/пароль")));
  const std::vector<std::string> lines = Lines(Find<MarkupView>(*w.form, "comm"));
  bool told = false;
  for (const std::string& line : lines) {
    if (line.find(W("Подключаемся как erin")) == std::string::npos) continue;
    EXPECT_EQ(line.find(W("успешно")), std::string::npos) << line;
    told = line.find(W("сервер не принял имя или пароль")) != std::string::npos;
  }
  EXPECT_TRUE(told);
  EXPECT_FALSE(w.form->Connection().Connected());
}

// The login dialog's server field goes to Server and Port1; a broken
// address is refused with a reason.
TEST(GettingIn, LoginDialogChangesTheServer) {
  WindowFixture w;
  LoginDialog& reg = *w.reg;
  reg.Prepare();
  EXPECT_EQ(reg.ServerField->text(), "127.0.0.1:8080");
  EXPECT_EQ(reg.ServerLab->buddy(), reg.ServerField);
  reg.Name->setText("fred");
  reg.Password->setText("pw");
  reg.ServerField->setText("chat.example:99999");
  EXPECT_FALSE(reg.ButOk->isEnabled());
  reg.ServerField->setText("chat.example:9001");
  ASSERT_TRUE(reg.ButOk->isEnabled());
  reg.ButOk->click();
  EXPECT_EQ(reg.result(), QDialog::Accepted);
  EXPECT_EQ(w.settings->Server, "chat.example");
  EXPECT_EQ(w.settings->Port1, 9001);
  const std::string ini = w.ReadIni();
  EXPECT_NE(ini.find("Server=chat.example\r\n"), std::string::npos);
  EXPECT_NE(ini.find("Port1=9001\r\n"), std::string::npos);
}

// The settings dialog's server page writes Server, Port1 and ChatDir, and
// refuses OK while the address is unusable.
TEST(GettingIn, ServerPageWritesTheServerKeys) {
  WindowFixture w;
  EditSettings(*w.form, [](media::SettingsDialog& dialog) {
    auto* pages = Find<QTabWidget>(dialog, "SetupPages");
    QWidget* page = Find<QWidget>(dialog, "TabServer");
    ASSERT_GE(pages->indexOf(page), 0);
    EXPECT_EQ(pages->tabText(pages->indexOf(page)), "Server");
    auto* host = Find<QLineEdit>(dialog, "ServerHost");
    EXPECT_EQ(host->text(), "127.0.0.1");
    host->setText("bad host");
    EXPECT_FALSE(Find<QPushButton>(dialog, "ButOk")->isEnabled());
    host->setText("10.1.2.3");
    Find<QSpinBox>(dialog, "ServerPort")->setValue(7777);
    Find<QLineEdit>(dialog, "ChatDirEdit")->setText("http://10.1.2.3:7778/cgi-bin/chat/");
    EXPECT_TRUE(Find<QPushButton>(dialog, "ButOk")->isEnabled());
  });
  const std::string ini = w.ReadIni();
  EXPECT_NE(ini.find("Server=10.1.2.3\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("Port1=7777\r\n"), std::string::npos) << ini;
  EXPECT_NE(ini.find("ChatDir=http://10.1.2.3:7778/cgi-bin/chat/\r\n"), std::string::npos) << ini;
  EXPECT_EQ(w.settings->Port1, 7777);
}

// --server reaches the given server for this run and leaves the stored
// address alone; a malformed one ends the program with status 2.
TEST(GettingIn, ServerOptionConnectsThereForThisRun) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  const std::string number = Register(chatd, "gina");
  QTemporaryDir dir;
  {
    QFile ini(dir.filePath("molvat.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write(("[Global]\r\nUserName=gina\r\nPassword=pw\r\nUserNum=" + number + "\r\nPort1=1\r\n").c_str());
  }
  chatd_test::LineClient watcher(chatd.chatPort());
  ASSERT_FALSE(watcher.Login("watcher", "pw").empty());
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  QProcess client;
  client.setProcessEnvironment(env);
  client.start(CHAT_BINARY_DIR "/bin/chat-browser",
               {"--data-dir", dir.path(), "--server", QString("127.0.0.1:%1").arg(chatd.chatPort())});
  ASSERT_TRUE(client.waitForStarted());
  const std::optional<std::string> seen =
      watcher.ReadUntil([](const std::string& line) { return line.find("gina") != std::string::npos; });
  EXPECT_TRUE(seen.has_value()) << "the client never logged in through --server";
  client.terminate();
  client.waitForFinished(10000);
  QFile ini(dir.filePath("molvat.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  EXPECT_TRUE(ini.readAll().contains("Port1=1\r\n"));

  QProcess bad;
  bad.setProcessEnvironment(env);
  bad.start(CHAT_BINARY_DIR "/bin/chat-browser", {"--data-dir", dir.path(), "--server", "host:0"});
  ASSERT_TRUE(bad.waitForFinished(10000));
  EXPECT_EQ(bad.exitCode(), 2);
  EXPECT_TRUE(bad.readAllStandardError().contains("--server"));
}

// A program in the background only asks for attention; in the foreground
// it takes the keyboard as before.
TEST(GettingIn, StealFocusLeavesTheKeyboardToTheActiveProgram) {
  QWidget chat;
  chat.show();
  QWidget other;
  auto* edit = new QLineEdit(&other);
  other.show();
  other.activateWindow();
  edit->setFocus();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &other; }));
  window::DesktopReactions reactions(chat, nullptr);
  reactions.SetActiveProbe([] { return false; });  // the user types in another program
  reactions.BringToFront();
  WaitFor([] { return false; }, 100);
  EXPECT_TRUE(chat.isVisible());
  EXPECT_EQ(QApplication::activeWindow(), &other);
  EXPECT_EQ(QApplication::focusWidget(), edit);

  // Minimized, it comes back without the keyboard too.
  chat.showMinimized();
  WaitFor([] { return false; }, 50);
  reactions.BringToFront();
  WaitFor([] { return false; }, 100);
  EXPECT_FALSE(chat.isMinimized());
  EXPECT_EQ(QApplication::focusWidget(), edit);

  reactions.SetActiveProbe([] { return true; });
  reactions.BringToFront();
  EXPECT_TRUE(WaitFor([&] { return QApplication::activeWindow() == &chat; }));
}

// Qt's own buttons speak the interface language and switch with it.
TEST(GettingIn, QuestionBoxButtonsFollowTheLanguage) {
  WindowFixture w("[Global]\r\nRussianInterface=1\r\n");
  auto buttons = [] {
    QMessageBox box(QMessageBox::Question, "t", "q", QMessageBox::Yes | QMessageBox::No);
    return std::pair{box.button(QMessageBox::Yes)->text(), box.button(QMessageBox::No)->text()};
  };
  auto [yes, no] = buttons();
  EXPECT_TRUE(yes.contains(QString::fromUtf8("Да"))) << yes.toStdString();
  EXPECT_TRUE(no.contains(QString::fromUtf8("Нет"))) << no.toStdString();
  w.form->SwitchLanguage(false);
  std::tie(yes, no) = buttons();
  EXPECT_TRUE(yes.contains("Yes")) << yes.toStdString();
  EXPECT_TRUE(no.contains("No")) << no.toStdString();
  w.form->SwitchLanguage(true);
  EXPECT_TRUE(buttons().first.contains(QString::fromUtf8("Да")));
  window::UseQtTranslations(false);
}

}  // namespace
