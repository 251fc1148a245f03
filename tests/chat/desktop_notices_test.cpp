// What the desktop is told while the main window is not active, and which
// messages the chat hands to it.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "fixed_metrics.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "text/cp1251.h"
#include "chat/chat_controller.h"
#include "chat/desktop_notices.h"

using text::W;
using namespace window;

namespace {

struct RecordingSink : NoticeSink {
  void ShowNotice(const std::string& title, const std::string& body) override { notices.push_back(title + " | " + body); }
  void ShowWaiting(int count) override { waiting.push_back(count); }
  std::vector<std::string> notices;
  std::vector<int> waiting;
};

TEST(DesktopNotices, ShownOnlyWhileTheWindowIsNotActiveAndCountedUntilItIs) {
  settings::Settings settings;
  RecordingSink sink;
  DesktopNotices notices(settings, sink);
  notices.Arrived(NoticeKind::Private, "pete", "hello", true);
  EXPECT_TRUE(sink.notices.empty());
  EXPECT_TRUE(sink.waiting.empty());

  notices.Arrived(NoticeKind::Private, "pete", "hello", false);
  notices.Arrived(NoticeKind::Personal, "ann", "pete, look", false);  // public: not waiting in private
  notices.Arrived(NoticeKind::GameInvitation, W("Пётр"), "", false);
  EXPECT_EQ(sink.notices, (std::vector<std::string>{"Private message: pete | hello", "Message for you: ann | pete, look",
                                                    "Game invitation: Пётр | "}));
  EXPECT_EQ(sink.waiting, (std::vector<int>{1, 2}));
  notices.WindowActivated();
  notices.WindowActivated();  // nothing waits: said once
  EXPECT_EQ(sink.waiting, (std::vector<int>{1, 2, 0}));

  settings.RussianInterface = true;
  settings.Notifications = false;
  notices.Arrived(NoticeKind::Private, "pete", "x", false);
  EXPECT_EQ(sink.notices.size(), 3u);  // switched off, but still counted for the tray
  EXPECT_EQ(sink.waiting.back(), 1);
  settings.Notifications = true;
  settings.TrayIcon = false;
  notices.Arrived(NoticeKind::Private, "pete", "y", false);
  EXPECT_EQ(sink.notices.back(), "Личное сообщение: pete | y");
  EXPECT_EQ(sink.waiting.back(), 1);
}

TEST(DesktopNotices, BodyIsPlainTextCutToAHundredCharacters) {
  EXPECT_EQ(DesktopNotices::Body("<b>bold</b> and <a href=\"x\">link</a>  \r\n  next<br>line<BR/>end "), "bold and link next line end");
  EXPECT_EQ(DesktopNotices::Body(W("Привет, <fcol=ff0000>мир</fcol>")), "Привет, мир");
  // One Cyrillic letter is one character, though two bytes of UTF-8.
  const std::string body = DesktopNotices::Body(W("ж") + std::string(120, 'a'));
  EXPECT_EQ(body, "ж" + std::string(99, 'a') + "…");
  EXPECT_EQ(DesktopNotices::Body(std::string(100, 'b')), std::string(100, 'b'));  // exactly the limit: no mark
  EXPECT_EQ(DesktopNotices::Body("<img src=\"http://x/y.gif\">"), "");
}

// The chat hands private messages and public ones naming the user to the
// desktop, never the user's own, plain public, black-listed or repeated ones.
class Environment : public ChatEnvironment {
 public:
  void SendLine(const std::string&) override {}
  bool SocketOpen() override { return true; }
  void Trace(const std::string&) override {}
  void Beep() override {}
  void PlayWave(const std::string&) override {}
  void BringToFront() override {}
  bool NoSound() override { return true; }
  void Refused() override {}
  void Notice(NoticeKind kind, const std::string& sender, const std::string& text) override {
    notices.push_back(std::to_string(static_cast<int>(kind)) + " " + sender + ": " + text);
  }
  std::vector<std::string> notices;
};

TEST(DesktopNotices, TheChatReportsPersonalMessagesOnly) {
  QTemporaryDir dir;
  settings::Settings settings;
  settings.Load(dir.path().toStdString() + "/");
  settings.UserName = "me";
  markup_test::FixedMeasurer measurer;
  markup::MarkupDocument comm{measurer}, priv{measurer}, users{measurer}, towhom{measurer}, prev{measurer};
  Environment env;
  ChatController chat(settings, ChatPanes{comm, priv, users, towhom, prev}, env);
  auto msg = [](const std::string& fields) { return "x\xA6" + fields + "\xA6"; };
  chat.Dispatch(msg("Mess=1 <b>bob:</b> psst <b>now</b>;Public=0;FrName=bob;Mid=8;"));
  chat.Dispatch(msg("Mess=2 <b>bob:</b> hi all;Public=1;FrName=bob;Line=1;"));
  chat.Dispatch(msg("Mess=3 <b>bob:</b> hi me;Public=1;FrName=bob;Line=2;"));
  chat.Dispatch(msg("Mess=3 <b>bob:</b> hi me;Public=1;FrName=bob;Line=2;"));  // a repeat
  chat.Dispatch(msg("Mess=4 <b>me:</b> I am me;Public=1;FrName=me;Line=3;"));
  chat.Contacts().blackList = {"eve"};
  chat.Dispatch(msg("Mess=5 <b>eve:</b> spam;Public=0;FrName=eve;Mid=9;"));
  EXPECT_EQ(env.notices, (std::vector<std::string>{"0 bob: psst <b>now</b>", "1 bob: hi me"}));
}

}  // namespace
