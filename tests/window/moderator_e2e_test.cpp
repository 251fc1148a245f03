// The moderator menu of a real main window against a real chatd: the menu
// appears for the moderator only, a fine is asked first (No sends nothing)
// and then refuses the fined user's public messages, address and WHOIS
// answers and the fine list open their windows, the debug trace records
// both directions, and anybody's information window shows his photos.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QMenu>

#include "chatd_process.h"
#include "line_client.h"
#include "test_data.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "window/info_window.h"
#include "window/modal_boxes.h"
#include "window_fixture.h"

using text::W;
using window::InfoWindow;

namespace {

InfoWindow* InfoWindowOf(const std::string& key) {
  for (InfoWindow* w : window::InfoWindows())
    if (w->Key() == key) return w;
  return nullptr;
}

bool InfoHas(const std::string& key, const std::string& part) {
  InfoWindow* w = InfoWindowOf(key);
  return w && PaneHas(w->ht, part);
}

QAction* ActionOf(MainWindow& form, const char* name) { return Find<QAction>(form, name); }

// Answers every question with `answer` and counts them.
struct QuestionAnswerer {
  bool answer = false;
  int questions = 0;
  QString lastText;
  window::ModalHandler previous;
  QuestionAnswerer() {
    previous = window::SetModalHandler([this](const window::ModalBox& box) {
      if (box.kind != window::ModalBox::Kind::Question) return false;
      ++questions;
      lastText = box.text;
      EXPECT_TRUE(box.defaultNo);
      return answer;
    });
  }
  ~QuestionAnswerer() { window::SetModalHandler(previous); }
};

TEST(ModeratorAgainstChatd, MenuFinesLookupsTraceAndInformationWindows) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {"--moderator", "boss", "--photos", "pete:1"}, true);
  ASSERT_TRUE(chatd.ok());
  ASSERT_TRUE(QDir().mkpath(QString::fromStdString(chatd.dataDir() + "/photos")));
  ASSERT_TRUE(QFile::copy(QString::fromStdString(TestData("pictures/baseline.jpg")),
                          QString::fromStdString(chatd.dataDir() + "/photos/pete_1.jpg")));
  // A moderator's account is made by the administrator, not by registering.
  ASSERT_TRUE(chatd.AddUser("boss", "pw"));
  const std::string bossNum = Register(chatd, "boss"), aliceNum = Register(chatd, "alice");
  chatd_test::LineClient pete(chatd.chatPort());
  ASSERT_FALSE(pete.Login("pete", "pw").empty());

  QuestionAnswerer questions;
  WindowFixture boss(IniFor("boss", bossNum, chatd.chatPort(), chatd.httpPort()));
  WindowFixture alice(IniFor("alice", aliceNum, chatd.chatPort(), chatd.httpPort()));
  boss.form->show();
  alice.form->show();
  ASSERT_TRUE(WaitFor([&] { return ListsOnline(boss, "pete") && ListsOnline(alice, "pete"); }, 10000));
  auto users = [](WindowFixture& w) { return Find<MarkupView>(*w.form, "users"); };

  // Only the moderator sees his menu.
  ASSERT_TRUE(WaitFor([&] { return boss.form->Menu("MenAdmin")->menuAction()->isVisible(); }));
  EXPECT_FALSE(alice.form->Menu("MenAdmin")->menuAction()->isVisible());

  // The trace records what goes out and what comes in from now on.
  ActionOf(*boss.form, "DebugMode")->trigger();
  users(boss)->Document().DoLink("pete");

  // No to the question sends no fine; pete can still talk.
  ActionOf(*boss.form, "MenNS3")->trigger();
  questions.answer = false;
  ActionOf(*boss.form, "MenFineS2")->trigger();
  EXPECT_EQ(questions.questions, 1);
  EXPECT_TRUE(questions.lastText.contains("pete"));
  pete.Send("x\xA6Mess=still free;Mid=1;\xA6\n");
  ASSERT_TRUE(pete.ReadUntil([](const std::string& l) { return text::Contains(l, "Status=Ok") && text::Contains(l, "Mid=1"); }));

  // Yes fines him: the fine list opens and his public messages are refused.
  questions.answer = true;
  ActionOf(*boss.form, "MenFineS2")->trigger();
  EXPECT_EQ(questions.questions, 2);
  ASSERT_TRUE(WaitFor([] { return InfoHas("FINE", "pete<xpos=80>"); }, 10000));
  EXPECT_TRUE(InfoHas("FINE", "<fcol=000080>"));  // still running
  pete.Send("x\xA6Mess=fined now;Mid=2;\xA6\n");
  ASSERT_TRUE(pete.ReadUntil([](const std::string& l) { return text::Contains(l, "Status=Fined") && text::Contains(l, "Mid=2"); }));

  // Address and WHOIS lookups of the addressee.
  ActionOf(*boss.form, "MenIP")->trigger();
  ASSERT_TRUE(WaitFor([] { return InfoHas("IP::pete", "127.0.0.1"); }, 10000));
  ActionOf(*boss.form, "WhoIsLoc")->trigger();
  ASSERT_TRUE(WaitFor([] { return InfoHas("WhoIs::pete", "WhoIs <b>pete</b>: "); }, 10000));

  // The trace holds the sent fine line and the received answers.
  ASSERT_NE(InfoWindowOf("DEBUG"), nullptr);
  EXPECT_TRUE(InfoHas("DEBUG", "Fine;Cln=pete;Fdate=1;Fprc=2;"));
  EXPECT_TRUE(InfoHas("DEBUG", "GetIP"));

  // Anybody reads anybody's information window, with his photo links.
  users(alice)->Document().DoLink("--INFO--pete");
  ASSERT_TRUE(WaitFor([] { return InfoHas("pete", "/photos/pete_1.jpg"); }, 10000));
  EXPECT_FALSE(InfoHas("pete", "--DelPict--"));

  // CHAT_SCREENSHOT_DIR=dir keeps pictures of the windows and the menu.
  if (const char* shots = getenv("CHAT_SCREENSHOT_DIR")) {
    WaitFor([] { return false; }, 2000);  // let the photo arrive
    for (const char* key : {"pete", "FINE", "DEBUG"})
      if (InfoWindow* w = InfoWindowOf(key)) w->grab().save(QString("%1/info-%2.png").arg(shots, key));
    QMenu* admin = boss.form->Menu("MenAdmin");
    admin->popup(boss.form->mapToGlobal(QPoint(40, 40)));
    WaitFor([] { return false; }, 300);
    admin->grab().save(QString("%1/moderator-menu.png").arg(shots));
    admin->hide();
  }
  alice.form->close();
  boss.form->close();
  window::CloseAllInfoWindows();
}

}  // namespace
