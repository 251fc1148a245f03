// The archive shortcuts and the "Additional" button of a real main window
// against a real chatd: private messages found again in the private
// archive with a filter, public archive 1 holding the room's lines, and the
// smiley list downloaded and inserted at the message line's caret.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>

#include "chatd_process.h"
#include "line_client.h"
#include "archive/ui/archive_viewer.h"
#include "smileys/ui/smileys_window.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/line_file.h"
#include "window/qt_text.h"
#include "chat/smiley_codes.h"
#include "window_fixture.h"

using text::W;

namespace {

TEST(MediaWindowsAgainstChatd, ArchivesFromTheTopRightShortcutsAndSmileysFromTheButton) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture alice(IniFor("alice", Register(chatd, "alice"), chatd.chatPort(), chatd.httpPort(), true));
  WindowFixture bob(IniFor("bob", Register(chatd, "bob"), chatd.chatPort(), chatd.httpPort(), true));
  alice.form->show();
  bob.form->show();
  auto users = [](WindowFixture& w) { return Find<MarkupView>(*w.form, "users"); };
  ASSERT_TRUE(WaitFor([&] { return ListsOnline(alice, "bob") && ListsOnline(bob, "alice"); }, 10000));

  Say(*alice.form, QString::fromUtf8("всем привет из комнаты"));
  users(alice)->Document().DoLink("bob");
  Say(*alice.form, "first apple");
  Say(*alice.form, "second pear");
  Say(*alice.form, "third apple pie");
  MarkupView* bobPriv = Find<MarkupView>(*bob.form, "priv");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(bobPriv, "third apple pie"); }));

  // Bob opens his private archive from the top-right shortcut "0".
  MarkupView* topright = Find<MarkupView>(*bob.form, "topright");
  topright->Document().DoLink("0");
  media::ArchiveViewer* priv = media::ArchiveViewer::Find(0);
  ASSERT_NE(priv, nullptr);
  ASSERT_TRUE(WaitFor([&] { return PaneHas(priv->Pane(), "third apple pie"); }));
  EXPECT_TRUE(PaneHas(priv->Pane(), "second pear"));
  priv->findChild<QLineEdit*>("Filter")->setText("apple");
  priv->findChild<QPushButton*>("Apply")->click();
  ASSERT_TRUE(WaitFor([&] { return !priv->Model().Searching(); }));
  EXPECT_TRUE(PaneHas(priv->Pane(), W(" <b><a href=\"Для alice:\">alice:</a></b> ")));
  EXPECT_TRUE(PaneHas(priv->Pane(), "first apple"));
  EXPECT_TRUE(PaneHas(priv->Pane(), "third apple pie"));
  EXPECT_FALSE(PaneHas(priv->Pane(), "second pear"));
  // A name link of the archive addresses the message line as the private pane does.
  priv->Pane()->Document().DoLink(W("Для alice:"));
  MarkupView* towhom = Find<MarkupView>(*bob.form, "towhom");
  EXPECT_TRUE(WaitFor([&] { return PaneHas(towhom, "alice"); }));

  // Public archive 1 holds the room's line.
  topright->Document().DoLink("1");
  media::ArchiveViewer* pub = media::ArchiveViewer::Find(1);
  ASSERT_NE(pub, nullptr);
  ASSERT_NE(pub, priv);
  ASSERT_TRUE(WaitFor([&] { return PaneHas(pub->Pane(), W("Загрузка архива завершена")); }, 10000));
  EXPECT_TRUE(PaneHas(pub->Pane(), W("alice:</a></b> ")));
  EXPECT_TRUE(PaneHas(pub->Pane(), W("всем привет из комнаты")));

  // The smileys window downloads chatd's list and inserts at the caret.
  Find<QPushButton>(*bob.form, "AddSmile")->click();
  media::SmileysWindow* smileys = media::SmileysWindow::Current();
  ASSERT_NE(smileys, nullptr);
  smileys->IndexPane()->Document().DoLink("read");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(smileys->IndexPane(), "/smiles/200.gif'2>"); }, 10000));
  EXPECT_TRUE(text::Contains(text::ReadWholeFile(window::SmileyFilePath(bob.programDir)).value_or(""),
                             "/smiles/101.gif"));
  EXPECT_TRUE(window::AppSmileyTable().count(101));
  auto* enter = Find<QLineEdit>(*bob.form, "Enter");
  bob.form->activateWindow();
  enter->setFocus();
  ASSERT_TRUE(WaitFor([&] { return enter->hasFocus(); }));
  enter->setText("ab");
  enter->setCursorPosition(1);
  smileys->PicturePane()->Document().DoLink("101");
  ASSERT_TRUE(WaitFor([&] { return enter->text() == "a:u101:b"; }));
  EXPECT_EQ(enter->cursorPosition(), 7);

  // CHAT_SCREENSHOT_DIR=dir keeps pictures of the filtered archive and the smileys.
  if (const char* shots = getenv("CHAT_SCREENSHOT_DIR")) {
    smileys->IndexPane()->Document().DoLink("-1");
    WaitFor([] { return false; }, 3000);  // let the pictures arrive and animate
    priv->grab().save(QString("%1/private-archive-filter.png").arg(shots));
    pub->grab().save(QString("%1/public-archive-1.png").arg(shots));
    smileys->grab().save(QString("%1/smileys.png").arg(shots));
  }

  // Closing the main window closes every viewer and the smileys window.
  bob.form->close();
  EXPECT_TRUE(media::ArchiveViewer::OpenViewers().empty());
  EXPECT_EQ(media::SmileysWindow::Current(), nullptr);
}

}  // namespace
