#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "chatd_process.h"
#include "line_client.h"
#include "archive/private_archive.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "window/desktop_integration.h"
#include "window/qt_text.h"
#include "window_fixture.h"

using text::W;

namespace {

struct Recorder : window::NoticeSink {
  void ShowNotice(const std::string& title, const std::string& body) override { notices.push_back(title + " | " + body); }
  void ShowWaiting(int count) override { waiting.push_back(count); }
  std::vector<std::string> notices;
  std::vector<int> waiting;
};

// Two clients on their own program directories talk through a real chatd.
TEST(TwoClients, ChatPubliclyAndPrivatelyWithDeliveryStates) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture alice(IniFor("alice", Register(chatd, "alice"), chatd.chatPort(), 0, true));
  WindowFixture bob(IniFor("bob", Register(chatd, "bob"), chatd.chatPort(), 0, true));
  alice.form->show();
  bob.form->show();
  ASSERT_TRUE(WaitFor([&] { return ListsOnline(alice, "bob") && ListsOnline(bob, "alice"); }, 10000));

  // Public: both see it, once each.
  Find<QLineEdit>(*alice.form, "Enter")->setText(QString::fromUtf8("привет всем :)"));
  ASSERT_TRUE(Find<QPushButton>(*alice.form, "Say")->isEnabled());
  Find<QPushButton>(*alice.form, "Say")->click();
  EXPECT_TRUE(Find<QLineEdit>(*alice.form, "Enter")->text().isEmpty());
  const std::string shown = W("привет всем ") + "<pict=-1>";
  ASSERT_TRUE(WaitFor([&] { return PaneHas(Find<markup::MarkupView>(*bob.form, "comm"), shown) && PaneHas(Find<markup::MarkupView>(*alice.form, "comm"), shown); }));
  EXPECT_TRUE(PaneHas(Find<markup::MarkupView>(*alice.form, "comm"), "<fcol=008000>alice:</a>"));  // own name in green

  // Private: alice picks bob in her online list and writes to him, while
  // her window is the active one.
  Recorder aliceDesktop, bobDesktop;
  alice.form->Desktop().SetSinkForTests(&aliceDesktop);
  bob.form->Desktop().SetSinkForTests(&bobDesktop);
  bob.settings->StealFocus = {false, false, false, false};  // else the message brings his window forward
  alice.form->activateWindow();
  ASSERT_TRUE(WaitFor([&] { return alice.form->isActiveWindow(); }));
  Find<markup::MarkupView>(*alice.form, "users")->Document().DoLink("bob");
  EXPECT_TRUE(Find<QPushButton>(*alice.form, "UserInfo")->isEnabled());
  Find<QLineEdit>(*alice.form, "Enter")->setText("secret");
  Find<QPushButton>(*alice.form, "Say")->click();
  ASSERT_TRUE(WaitFor([&] { return PaneHas(Find<markup::MarkupView>(*bob.form, "priv"), "secret"); }));
  // Bob's client confirmed the arrival, so alice's echo ends as delivered.
  ASSERT_TRUE(WaitFor([&] { return PaneHas(Find<markup::MarkupView>(*alice.form, "priv"), "><pict=-17>"); }));
  EXPECT_TRUE(PaneHas(Find<markup::MarkupView>(*alice.form, "priv"), W("(Послано для <link=\"bob\"Для bob:>) ")));
  // Both archives hold the conversation; alice's entry carries the final state.
  const std::string aliceArchive = text::ReadWholeFile(media::ArchiveFilePath(alice.programDir)).value_or("");
  EXPECT_TRUE(text::Contains(aliceArchive, "><pict=-17>" + W("(Послано-->bob): ") + "secret"));
  const std::string bobArchive = text::ReadWholeFile(media::ArchiveFilePath(bob.programDir)).value_or("");
  EXPECT_TRUE(text::Contains(bobArchive, " <b>alice:</b> secret"));
  // Bob's desktop was told, and counts it as waiting until he comes back.
  EXPECT_EQ(bobDesktop.notices, std::vector<std::string>{"Личное сообщение: alice | secret"});  // Russian mode
  EXPECT_EQ(bobDesktop.waiting, std::vector<int>{1});
  EXPECT_TRUE(aliceDesktop.notices.empty());
  bob.form->activateWindow();
  ASSERT_TRUE(WaitFor([&] { return bobDesktop.waiting.back() == 0; }));
  // CHAT_SCREENSHOT_DIR=dir keeps a picture of both windows for a look.
  if (const char* shots = getenv("CHAT_SCREENSHOT_DIR")) {
    Find<QLineEdit>(*bob.form, "Enter")->setText(QString::fromUtf8("ответ :d: с улыбкой"));
    Find<markup::MarkupView>(*bob.form, "priv")->Document().DoLink(W("Для alice:"));
    Find<QPushButton>(*bob.form, "Say")->click();
    WaitFor([&] { return PaneHas(Find<markup::MarkupView>(*bob.form, "priv"), "><pict=-17>"); });
    for (auto* w : {&alice, &bob}) {
      w->form->resize(900, 600);
      w->form->grab().save(QString("%1/%2.png").arg(shots, ToQ(w->settings->UserName)));
    }
  }
  // Writing to bob made him alice's friend, kept at close.
  alice.form->close();
  EXPECT_EQ(text::ReadLineFile(alice.programDir + "offline.lst"), std::vector<std::string>{"bob"});
}

}  // namespace
