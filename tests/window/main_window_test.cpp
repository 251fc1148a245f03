#include <gtest/gtest.h>

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QFile>
#include <QProcess>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include "chatd_process.h"
#include "fixed_metrics.h"
#include "temp_dir.h"
#include "markup/view_globals.h"
#include "audio/file_audio_devices.h"
#include "resources/images.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "window/info_window.h"
#include "window/media_widgets.h"
#include "window/modal_boxes.h"
#include "window/sound_save_dialog.h"
#include "window_fixture.h"

using text::W;
using window::InfoWindow;

namespace {

const char* kIdentity = "[Global]\r\nUserName=alice\r\nPassword=pw\r\nUserNum=5\r\n";

TEST(MainWindow, StartsWithItsFirstLinesAndMenuStates) {
  WindowFixture w(kIdentity);
  MainWindow& f = *w.form;
  const auto comm = Lines(Find<MarkupView>(f, "comm"));
  ASSERT_EQ(comm.size(), 1u);
  // English mode (the default): the first line in English.
  EXPECT_EQ(comm[0], "<fcol=000000><bcol=FFFFFF>If you have problems starting, welcome to the <b>"
                     "<link=\"HTML\"http://127.0.0.1:8081/cgi-bin/chat/index1.html></b> or <b>"
                     "<link=\"Java\"http://127.0.0.1:8081/cgi-bin/chat/index2.html></b> version.");
  EXPECT_TRUE(text::EndsWith(Lines(Find<MarkupView>(f, "topleft"))[0], "<link='-100'http://127.0.0.1:8081>"));
  EXPECT_FALSE(f.Menu("MenAdmin")->menuAction()->isVisible());
  EXPECT_FALSE(f.Menu("MenPrivate")->menuAction()->isVisible());
  EXPECT_FALSE(f.Menu("MenFiles")->menuAction()->isVisible());
  EXPECT_FALSE(f.Menu("MenGames")->menuAction()->isEnabled());
  EXPECT_FALSE(f.Action("MenuDisconnect")->isEnabled());
  EXPECT_FALSE(f.Action("MenRefresh")->isEnabled());
  EXPECT_EQ(f.Action("MenuConnect")->shortcut(), QKeySequence(Qt::Key_F5));
  EXPECT_EQ(f.Action("MenuNoSound")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_S));
  EXPECT_FALSE(Find<QPushButton>(f, "Say")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(f, "UserInfo")->isEnabled());
  EXPECT_FALSE(Find<QPushButton>(f, "SendWav")->isEnabled());
  EXPECT_FALSE(Find<QWidget>(f, "Panel2")->isVisibleTo(&f));
  EXPECT_EQ(f.minimumHeight(), 464);
  // The start-up write-backs left the hosts in the file.
  EXPECT_NE(w.ReadIni().find("Port1=8080"), std::string::npos);
}

TEST(MainWindow, LanguageSwitchRewritesEveryCaption) {
  WindowFixture w(kIdentity);  // RussianInterface off by default
  MainWindow& f = *w.form;
  EXPECT_EQ(f.windowTitle(), "Chat on localhost");
  EXPECT_EQ(Find<QPushButton>(f, "Say")->text(), "Say");
  EXPECT_EQ(f.Menu("MenConn")->title(), "&Connection");  // with its mnemonic
  EXPECT_TRUE(f.Action("MenEngl")->isChecked());
  EXPECT_NE(Lines(Find<MarkupView>(f, "topright"))[0].find("<link=\"QEL\"http://127.0.0.1:8081/members.html> <pict=-3>"), std::string::npos);

  f.Action("MenRuss")->trigger();
  EXPECT_TRUE(f.Russian());
  EXPECT_EQ(f.windowTitle(), "Чат на localhost");
  EXPECT_EQ(Find<QPushButton>(f, "Say")->text(), "Сказать");
  EXPECT_EQ(Find<QLabel>(f, "PrivLab")->text(), "Приват для:");
  EXPECT_EQ(Find<QPushButton>(f, "SendWav")->toolTip(), "Нажмите и удерживайте пока идет запись");
  EXPECT_EQ(f.Action("MenuChangeName")->text().remove('&'), "Войти под другим именем ...");
  EXPECT_EQ(f.Menu("MenFineS")->title().remove('&'), "Штрафовать");
  EXPECT_EQ(f.Action("WhoIsLoc")->text().remove('&'), "WhoIs");  // keeps its design caption
  EXPECT_EQ(f.Action("MenRuss")->text().remove('&'), "Русский");
  EXPECT_NE(Lines(Find<MarkupView>(f, "topright"))[0].find(W("<link=\"КЕЛ\"")), std::string::npos);
  EXPECT_EQ(Lines(Find<MarkupView>(f, "topright")).size(), 1u);
  EXPECT_TRUE(markup::ViewGlobals::russian);

  // The checked item again: same mode, captions written again.
  Find<QPushButton>(f, "Say")->setText("x");
  f.Action("MenRuss")->trigger();
  EXPECT_TRUE(f.Russian());
  EXPECT_EQ(Find<QPushButton>(f, "Say")->text(), "Сказать");
  f.Action("MenEngl")->trigger();
  EXPECT_EQ(Find<QLabel>(f, "MessLab")->text(), "Message text:");
  EXPECT_FALSE(markup::ViewGlobals::russian);
}

TEST(MainWindow, OutOfRangeFineTypeChecksTheFirstItemAndCloseWritesSettings) {
  WindowFixture w(std::string(kIdentity) + "FineType=7\r\nPreview=1\r\n");
  MainWindow& f = *w.form;
  EXPECT_TRUE(f.Action("MenNS1")->isChecked());
  EXPECT_EQ(w.settings->FineType, 0);
  EXPECT_TRUE(f.Action("MenPreview")->isChecked());
  EXPECT_TRUE(Find<QWidget>(f, "PrevPanelBig")->isVisibleTo(&f));
  f.Action("MenPreview")->trigger();
  EXPECT_FALSE(Find<QWidget>(f, "PrevPanelBig")->isVisibleTo(&f));
  f.close();
  const std::string ini = w.ReadIni();
  EXPECT_NE(ini.find("Preview=0"), std::string::npos);
  EXPECT_NE(ini.find("FineType=0"), std::string::npos);
  EXPECT_NE(ini.find("LastWav="), std::string::npos);
  EXPECT_TRUE(w.form->Connection().UserStopped());
}

TEST(MainWindow, ClipboardPictureEnablesSendBuf) {
  WindowFixture w(kIdentity);
  QImage image(4, 4, QImage::Format_RGB32);
  image.fill(Qt::red);
  QGuiApplication::clipboard()->setImage(image);
  ASSERT_TRUE(WaitFor([&] { return w.form->Action("SendBuf")->isEnabled(); }));
  QGuiApplication::clipboard()->setText("words");
  EXPECT_TRUE(WaitFor([&] { return !w.form->Action("SendBuf")->isEnabled(); }));
}

TEST(InfoWindows, AtMostThirtyTwoAreOpenTheOldestGoesButNeverTheTraceLog) {
  WindowFixture w(kIdentity);
  window::TraceLog(*w.settings, "first");
  for (int i = 0; i < 100; ++i)
    window::ShowInfoWindow(*w.settings, "k" + std::to_string(i), "t", "x", -1, -1, false);
  const auto& open = window::InfoWindows();
  ASSERT_EQ(open.size(), window::kMaxInfoWindows);
  EXPECT_EQ(open.front()->Key(), "DEBUG");
  EXPECT_EQ(open[1]->Key(), "k69");
  EXPECT_EQ(open.back()->Key(), "k99");
  window::CloseAllInfoWindows();
}

TEST(InfoWindows, KeyedWindowsAreReusedAndTheTraceLogGrows) {
  WindowFixture w(kIdentity);
  window::TraceLog(*w.settings, "one");
  window::TraceLog(*w.settings, "two");
  ASSERT_EQ(window::InfoWindows().size(), 1u);
  InfoWindow* log = window::InfoWindows()[0];
  EXPECT_EQ(log->windowTitle(), "Info: Trace log");
  EXPECT_EQ(log->width(), 500);
  ASSERT_EQ(Lines(log->ht).size(), 2u);
  EXPECT_TRUE(text::EndsWith(Lines(log->ht)[1], "two"));

  w.form->Action("MenuAbout")->trigger();
  ASSERT_EQ(window::InfoWindows().size(), 2u);
  InfoWindow* about = window::InfoWindows()[1];
  EXPECT_EQ(about->Key(), "Information about program");
  EXPECT_EQ(about->windowTitle(), "Info: About...");
  EXPECT_NE(Lines(about->ht)[0].find("version 2.8, build "), std::string::npos);  // English mode
  about->resize(333, 222);
  window::ShowInfoWindow(*w.settings, "Information about program", "other", "replaced", 900, 900, false);
  EXPECT_EQ(window::InfoWindows().size(), 2u);
  EXPECT_EQ(Lines(about->ht).size(), 1u);
  EXPECT_TRUE(text::EndsWith(Lines(about->ht)[0], "replaced"));
  EXPECT_EQ(about->size(), QSize(333, 222));  // a reused window keeps its size

  // Closing frees it; the next call opens a new window with the new title.
  QPointer<InfoWindow> closed(about);
  about->close();
  EXPECT_TRUE(WaitFor([&] { return closed.isNull(); }));
  window::ShowInfoWindow(*w.settings, "Information about program", "again", "new", -1, -1, false);
  EXPECT_EQ(window::InfoWindows().back()->windowTitle(), "Info: again");
  // Links in an information window act like links in the common pane.
  window::InfoWindows().back()->ht->Document().DoLink(W("Для bob(12):"));
  EXPECT_EQ(Find<QLineEdit>(*w.form, "Enter")->text(), QString::fromUtf8("Для bob(12): "));
  window::CloseAllInfoWindows();
  EXPECT_TRUE(window::InfoWindows().empty());
}

// Right-clicks the first line of `view` and returns its pop-up menu.
QMenu* PopupOf(MarkupView* view) {
  const QPoint at = view->contentsRect().topLeft() + QPoint(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, view->mapToGlobal(at), Qt::RightButton, Qt::RightButton,
                    Qt::NoModifier);
  QApplication::sendEvent(view, &press);
  return view->PopupMenu();
}

TEST(InfoWindows, PopupCopiesTheLineLikeThePanesAndTheOnlineListHasNoPopup) {
  WindowFixture w(kIdentity);
  w.form->show();
  window::ShowInfoWindow(*w.settings, "k", "t", "<b>Ann</b> &lt;x", -1, -1, false);
  InfoWindow* info = window::InfoWindows().back();
  QApplication::processEvents();
  auto* enter = Find<QLineEdit>(*w.form, "Enter");
  enter->setText("");
  QMenu* menu = PopupOf(info->ht);
  ASSERT_NE(menu, nullptr);
  const QList<QAction*> items = menu->actions();
  ASSERT_GE(items.size(), 3);
  items[0]->trigger();
  EXPECT_EQ(QGuiApplication::clipboard()->text(), "Ann <x");
  items[1]->trigger();
  EXPECT_EQ(enter->text(), "Ann <x");
  enter->setText("");
  items[2]->trigger();
  EXPECT_TRUE(enter->text().endsWith("<b>Ann</b> <x")) << enter->text().toStdString();
  menu->hide();
  window::CloseAllInfoWindows();

  auto* users = Find<MarkupView>(*w.form, "users");
  users->NewString("ann", 0, 0xFFFFFF);
  EXPECT_EQ(PopupOf(users), nullptr);
  EXPECT_FALSE(Lines(users).empty());
}

TEST(MainWindow, LabelledRowsGiveTheirPaneTheRestOfTheWidth) {
  WindowFixture w(std::string(kIdentity) + "Preview=1\r\nTranslit=1\r\n");
  MainWindow& f = *w.form;
  f.resize(1000, 600);
  f.show();
  QApplication::processEvents();
  for (auto [labelName, paneName] : {std::pair{"PrevLab", "prev"}, std::pair{"TransLab", "transl"}}) {
    auto* label = Find<QLabel>(f, labelName);
    auto* pane = Find<MarkupView>(f, paneName);
    EXPECT_LE(label->width(), label->sizeHint().width()) << labelName;
    EXPECT_LT(pane->x() - label->geometry().right(), 10) << paneName;
    EXPECT_GT(pane->width(), pane->parentWidget()->width() * 3 / 4) << paneName;
  }
}

TEST(MainWindow, PaneLinkReplacesTheSelectionTheMessageLineHad) {
  WindowFixture w(kIdentity);
  MainWindow& f = *w.form;
  f.resize(1000, 600);
  f.show();
  QApplication::processEvents();
  auto* comm = Find<MarkupView>(f, "comm");
  comm->Clear();
  comm->NewString("<link=\"bob:\"" + W("Для bob(12):") + ">", 0, 0xFFFFFF);
  auto* enter = Find<QLineEdit>(f, "Enter");
  enter->setFocus();
  enter->setText("hello world");
  enter->setSelection(6, 5);
  // The click gives the pane the focus, and the line drops its selection.
  const QPoint at = comm->contentsRect().topLeft() + QPoint(5, 5);
  QMouseEvent press(QEvent::MouseButtonPress, at, comm->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                    Qt::NoModifier);
  QApplication::sendEvent(comm, &press);
  ASSERT_TRUE(WaitFor([&] { return enter->text() != "hello world"; }));
  EXPECT_EQ(enter->text(), QString::fromUtf8("hello Для bob(12): "));
  EXPECT_EQ(enter->cursorPosition(), enter->text().size());
}

TEST(MainWindow, UnknownProgramPictureDrawsNothingInAPicturesSpace) {
  WindowFixture w(kIdentity);
  EXPECT_EQ(markup::StaticImageWidth(-1), 15);
  EXPECT_EQ(markup::StaticImageHeight(-1), 15);
  EXPECT_EQ(markup::StaticImageWidth(-55), 15);
  EXPECT_EQ(markup::StaticImageHeight(-55), 15);
  EXPECT_EQ(markup::StaticImageWidth(-100), resources::Logo().width());
  markup_test::RecordingCanvas canvas;
  markup::DrawStaticImage(-55, canvas, 3, 4);
  EXPECT_TRUE(canvas.squares.empty());
  EXPECT_TRUE(canvas.fills.empty());
  EXPECT_EQ(canvas.lines, 0);
}

TEST(Program, WindowTitlesGetNoApplicationNameAppended) {
  // Qt appends an explicitly set display name to every window title; without
  // one the display name simply follows the application name.
  const QString name = QCoreApplication::applicationName();
  EXPECT_EQ(name, "Chat browser");
  QCoreApplication::setApplicationName("probe");
  EXPECT_EQ(QGuiApplication::applicationDisplayName(), "probe");
  QCoreApplication::setApplicationName(name);
}

// Answers the next modal dialog or box by running `answer` on it.
void AnswerNextModal(std::function<void(QWidget*)> answer) {
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

TEST(SoundSaveDialog, TheOverwriteQuestionIsAboutTheNameWithItsSuffix) {
  TempDir dir;
  dir.Put("x.cwv", "old");
  dir.Put("x.wav", "old");
  EXPECT_EQ(window::SoundSuffixFor("*.wav"), "wav");
  EXPECT_EQ(window::SoundSuffixFor("*.cwv"), "cwv");

  QFileDialog dialog;
  window::SetUpSoundSaveDialog(dialog, true);
  // The OK button's accept, public through QDialog.
  auto accept = [&dialog] { static_cast<QDialog&>(dialog).accept(); };
  EXPECT_EQ(dialog.windowTitle(), QString::fromUtf8("Сохранить звуковое сообщение"));
  dialog.setDirectory(QString::fromStdString(dir.Path()));
  // The user types "x": the dialog asks about x.cwv, and "No" keeps it open.
  QString question;
  auto answer = [&question](QMessageBox::StandardButton button) {
    AnswerNextModal([&question, button](QWidget* modal) {
      auto* box = qobject_cast<QMessageBox*>(modal);
      question = box ? box->text() : "no box";
      if (box) box->button(button)->click();
    });
  };
  dialog.selectFile("x");
  answer(QMessageBox::No);
  accept();
  EXPECT_TRUE(question.contains("x.cwv")) << question.toStdString();
  EXPECT_NE(dialog.result(), QDialog::Accepted);

  // With "*.wav" chosen a bare name becomes x.wav, and "Yes" takes it.
  auto* types = dialog.findChild<QComboBox*>("fileTypeCombo");
  ASSERT_NE(types, nullptr);
  types->setCurrentIndex(1);
  emit types->activated(1);
  emit types->textActivated(types->currentText());
  dialog.selectFile("x");
  question.clear();
  answer(QMessageBox::Yes);
  accept();
  EXPECT_TRUE(question.contains("x.wav")) << question.toStdString();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedFiles(), QStringList{QString::fromStdString(dir.File("x.wav"))});

  // A new name is taken without a question.
  dialog.setResult(0);
  dialog.selectFile("fresh");
  accept();
  EXPECT_EQ(dialog.result(), QDialog::Accepted);
  EXPECT_EQ(dialog.selectedFiles(), QStringList{QString::fromStdString(dir.File("fresh.wav"))});
}

TEST(MainWindowWithChatd, RegistersThroughTheDialogAndKeepsTheNumber) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture w("[Global]\r\nPort1=" + std::to_string(chatd.chatPort()) + "\r\n");
  bool dialogSeen = false;
  AnswerNextModal([&](QWidget* modal) {
    auto* reg = qobject_cast<LoginDialog*>(modal);
    ASSERT_TRUE(reg);
    dialogSeen = true;
    EXPECT_FALSE(reg->ButOk->isEnabled());
    reg->Name->setText("carol");
    reg->Password->setText("secret");
    EXPECT_TRUE(reg->ButOk->isEnabled());  // login mode needs no e-mail
    EXPECT_FALSE(reg->Mail->isEnabled());
    reg->ButOk->click();
  });
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return w.form->Connection().Connected() && !w.settings->UserNum.empty(); }, 10000));
  EXPECT_TRUE(dialogSeen);
  EXPECT_NE(w.ReadIni().find("UserNum=" + w.settings->UserNum), std::string::npos);
  EXPECT_NE(w.ReadIni().find("UserName=carol"), std::string::npos);
  EXPECT_TRUE(w.form->Action("MenuDisconnect")->isEnabled());
  EXPECT_NE(Lines(Find<markup::MarkupView>(*w.form, "comm")).back().find(" successfully..."), std::string::npos);

  // Typing enables Say only while online.
  Find<QLineEdit>(*w.form, "Enter")->setText("hi");
  EXPECT_TRUE(Find<QPushButton>(*w.form, "Say")->isEnabled());
  w.form->Action("MenuDisconnect")->trigger();
  EXPECT_FALSE(Find<QPushButton>(*w.form, "Say")->isEnabled());
  EXPECT_TRUE(text::StartsWith(Lines(Find<markup::MarkupView>(*w.form, "comm")).back(), "<fcol=0000FF><bcol=FFFFFF>Connection closed "));
}

// The real boxes: the new-server question carries the exclamation icon and
// takes Yes on Enter; the other questions default to No.
TEST(ModalBoxes, IconAndDefaultButtonOfTheQuestions) {
  struct Seen {
    QMessageBox::Icon icon;
    QString caption;
    bool yesDefault;
  };
  auto answer = [](std::vector<Seen>& seen) {
    QTimer::singleShot(0, [&seen] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      seen.push_back({box->icon(), box->windowTitle(), box->defaultButton() == box->button(QMessageBox::Yes)});
      box->defaultButton()->click();
    });
  };
  std::vector<Seen> seen;
  answer(seen);
  EXPECT_TRUE(window::AskWithExclamation(nullptr, true, QString::fromUtf8("Найден новый адрес"), "New server"));
  answer(seen);
  EXPECT_FALSE(window::AskDefaultNo(nullptr, false, QString::fromUtf8("Оштрафовать?"), "Fine?"));
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0].icon, QMessageBox::Warning);
  EXPECT_EQ(seen[0].caption, QString::fromUtf8("Внимание"));
  EXPECT_TRUE(seen[0].yesDefault);
  EXPECT_EQ(seen[1].icon, QMessageBox::Question);
  EXPECT_EQ(seen[1].caption, "Attention");
  EXPECT_FALSE(seen[1].yesDefault);
}

TEST(MainWindowWithPeer, RefusedLoginStopsReconnectingAndWarns) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  WindowFixture w(std::string(kIdentity) + "Port1=" + std::to_string(server.serverPort()) + "\r\n");
  QObject::connect(&server, &QTcpServer::newConnection, [&] {
    QTcpSocket* peer = server.nextPendingConnection();
    peer->write("x\xA6NewUserNum=77;\xA6\n?5\n");
  });
  QString boxText;
  window::SetModalHandler([&](const window::ModalBox& box) {
    boxText = box.text;
    EXPECT_EQ(box.caption, "Attention");
    return true;
  });
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return !boxText.isEmpty(); }, 10000));
  EXPECT_TRUE(boxText.startsWith("Server does not accept your name/password."));
  EXPECT_EQ(w.settings->UserNum, "77");  // stored before the refusal was handled
  EXPECT_TRUE(w.form->Connection().UserStopped());
  EXPECT_FALSE(w.form->Connection().ReconnectPending());
  EXPECT_TRUE(w.form->Action("MenuConnect")->isEnabled());
  window::SetModalHandler(nullptr);
}

TEST(MainWindowWithPeer, SendsTheExactLoginLineOfARegisteredUser) {
  QTcpServer server;
  ASSERT_TRUE(server.listen(QHostAddress::LocalHost, 0));
  WindowFixture w("[Global]\r\nUserName=alice\r\nPassword=pw\r\nUserNum=5\r\nUserMail=a@x\r\nSex=1\r\n"
                  "TextColor=0000ff\r\nPort1=" + std::to_string(server.serverPort()) + "\r\n");
  w.form->show();
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
  QTcpSocket* peer = server.nextPendingConnection();
  ASSERT_TRUE(WaitFor([&] { return peer->canReadLine(); }));
  // An output or an input that takes the message format: the window's own test.
  const std::string sound = w.form->MediaUi().AudioCapable() ? "Sound=1;" : "";
  EXPECT_EQ(peer->readLine().toStdString(),
            "l\xA6Num=5;Name=alice;Email=a@x;Color_Bacg=#ffffff;Color_Text=#ff0000;Pass=pw;Type=7;Ver=2.8;Sex=m;" +
                sound + "\xA6\n");

  // With devices that play (and no microphone) the login says so.
  WindowFixture playing("[Global]\r\nUserName=bob\r\nPassword=pw\r\nUserNum=6\r\nPort1=" +
                        std::to_string(server.serverPort()) + "\r\n");
  playing.form->MediaUi().ReplaceAudioDevices(std::make_unique<audio::FileAudioDevices>(""));
  ASSERT_TRUE(playing.form->MediaUi().AudioCapable());
  playing.form->show();
  ASSERT_TRUE(WaitFor([&] { return server.hasPendingConnections(); }));
  QTcpSocket* second = server.nextPendingConnection();
  ASSERT_TRUE(WaitFor([&] { return second->canReadLine(); }));
  EXPECT_TRUE(text::EndsWith(second->readLine().toStdString(), ";Sound=1;\xA6\n"));
}

TEST(LoginDialog, RegistrationNeedsMailAndRefusesLineBreakingCharacters) {
  WindowFixture w;
  LoginDialog& reg = *w.reg;
  reg.SetRegistration(true);
  reg.Prepare();
  EXPECT_EQ(reg.windowTitle(), "Registration");
  EXPECT_TRUE(reg.Mail->isEnabled());
  reg.Name->setText("dave");
  reg.Password->setText("pw");
  EXPECT_FALSE(reg.ButOk->isEnabled());
  reg.Mail->setText("d@x");
  EXPECT_TRUE(reg.ButOk->isEnabled());
  reg.Name->setText("da;ve");
  reg.ButOk->click();
  EXPECT_FALSE(reg.Problem->isHidden());
  EXPECT_TRUE(reg.Problem->text().contains(";"));
  EXPECT_TRUE(w.settings->UserName.empty());  // nothing stored
  reg.Name->setText(QString::fromUtf8("Дейв"));
  reg.ButOk->click();
  EXPECT_EQ(w.settings->UserName, W("Дейв"));
  EXPECT_EQ(reg.result(), QDialog::Accepted);
}

TEST(Program, TerminationSignalClosesTheWindowNormally) {
  QTemporaryDir dir;
  QProcess client;
  client.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  client.setProcessEnvironment(env);
  // Port 1 refuses at once, so the client keeps retrying while we wait.
  {
    QFile ini(dir.filePath("molvat.ini"));
    ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
    ini.write("[Global]\r\nUserName=a\r\nPassword=b\r\nUserNum=1\r\nPort1=1\r\n");
  }
  client.start(CHAT_BINARY_DIR "/bin/chat-browser", {"--data-dir", dir.path()});
  ASSERT_TRUE(client.waitForStarted());
  // Wait until start-up has written its hosts back, then ask it to stop.
  ASSERT_TRUE(WaitFor([&] {
    QFile ini(dir.filePath("molvat.ini"));
    return ini.open(QIODevice::ReadOnly) && ini.readAll().contains("ChatDir=");
  }, 10000));
  WaitFor([] { return false; }, 300);
  client.terminate();  // SIGTERM
  ASSERT_TRUE(client.waitForFinished(10000));
  EXPECT_EQ(client.exitStatus(), QProcess::NormalExit);
  QFile ini(dir.filePath("molvat.ini"));
  ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
  const QByteArray written = ini.readAll();
  EXPECT_TRUE(written.contains("CurrentAckID=")) << written.toStdString();
  EXPECT_TRUE(written.contains("LastWav="));
}

}  // namespace
