// Checkers played with the keyboard alone between two real clients through
// a real chatd: the arrows move the board's cursor (each player sees his own
// side at the bottom), Space picks a man up and Enter puts it down, up to
// the first capture; the moves on the wire are those a drag makes.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QScreen>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>

#include "games/board_geometry.h"
#include "games/checkers_rules.h"
#include "games/game.h"
#include "games/game_channel.h"
#include "games/ui/game_window.h"
#include "window/game_windows.h"
#include "window_fixture.h"

using games::GameKind;
using games::GameWindow;

namespace {

games::Game* GameWith(WindowFixture& w, const std::string& peer) {
  return w.form->Games().Channel().Find(GameKind::Checkers, peer);
}

int Sq(const char* name) { return games::SquareAt(name[0] - 'a', name[1] - '1'); }

// Arrow keys from the cursor to `square`, as the player sees the board.
void WalkTo(GameWindow& w, QWidget* board, int square) {
  const int from = games::ScreenOrder(w.SeenFromWhite(), w.Cursor());
  const int to = games::ScreenOrder(w.SeenFromWhite(), square);
  for (int dx = to % 8 - from % 8; dx != 0; dx += dx > 0 ? -1 : 1)
    QTest::keyClick(board, dx > 0 ? Qt::Key_Right : Qt::Key_Left);
  for (int dy = to / 8 - from / 8; dy != 0; dy += dy > 0 ? -1 : 1)
    QTest::keyClick(board, dy > 0 ? Qt::Key_Down : Qt::Key_Up);
}

// The board of the window that gets the keyboard.
QWidget* FocusBoard(GameWindow& w) {
  QWidget* board = w.findChild<QWidget*>("Board");
  w.activateWindow();
  EXPECT_TRUE(QTest::qWaitForWindowActive(&w));
  board->setFocus(Qt::TabFocusReason);
  return board;
}

// One move from the keyboard: walk, Space, walk, Enter.
void KeyMove(GameWindow& w, const char* from, const char* to) {
  QWidget* board = FocusBoard(w);
  WalkTo(w, board, Sq(from));
  ASSERT_EQ(w.Cursor(), Sq(from));
  QTest::keyClick(board, Qt::Key_Space);
  ASSERT_EQ(w.PickedUp(), Sq(from)) << from;
  WalkTo(w, board, Sq(to));
  ASSERT_EQ(w.Cursor(), Sq(to));
  QTest::keyClick(board, Qt::Key_Return);
}

}  // namespace

TEST(GamesFromKeyboard, CheckersToTheFirstCaptureAgainstAnotherClient) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture alice(IniFor("alice", Register(chatd, "alice"), chatd.chatPort()));
  WindowFixture bob(IniFor("bob", Register(chatd, "bob"), chatd.chatPort()));
  for (WindowFixture* w : {&alice, &bob}) {
    w->form->Games().SetFrameDelay(1);
    w->form->show();
  }
  ASSERT_TRUE(WaitFor([&] { return ListsOnline(alice, "bob") && ListsOnline(bob, "alice"); }, 10000));
  const char* shots = getenv("CHAT_SCREENSHOT_DIR");
  const bool screen = shots && QGuiApplication::platformName() == "xcb";
  if (screen) {
    // For the picture: a main window of a usual size in the top-left corner.
    bob.form->hide();
    alice.form->setGeometry(20, 40, 760, 640);
    QTest::qWait(300);
  }
  Find<MarkupView>(*alice.form, "users")->Document().DoLink("bob");
  alice.form->Action("MenNewCheckers")->trigger();
  ASSERT_TRUE(AnswerBox("alice: Let's play checkers?", true));
  ASSERT_TRUE(AnswerBox("Do you want to play white pieces?", false));
  ASSERT_TRUE(WaitFor([&] { return GameWith(alice, "bob") && GameWith(bob, "alice") && GameWith(bob, "alice")->view; }));
  QPointer<GameWindow> aw = static_cast<GameWindow*>(GameWith(alice, "bob")->view);
  QPointer<GameWindow> bw = static_cast<GameWindow*>(GameWith(bob, "alice")->view);
  ASSERT_TRUE(aw && bw);
  auto settled = [&](int moves) {
    return WaitFor([&] {
      return GameWith(alice, "bob")->MoveCount() == moves && GameWith(bob, "alice")->MoveCount() == moves &&
             !aw->Animating() && !bw->Animating();
    });
  };

  // Escape puts a picked-up man back; nothing is sent.
  QWidget* board = FocusBoard(*aw);
  ASSERT_GE(aw->Cursor(), 0);
  WalkTo(*aw, board, Sq("c3"));
  QTest::keyClick(board, Qt::Key_Space);
  EXPECT_EQ(aw->PickedUp(), Sq("c3"));
  EXPECT_NE(aw->Marks(), 0u);
  QTest::keyClick(board, Qt::Key_Escape);
  EXPECT_EQ(aw->PickedUp(), -1);
  EXPECT_EQ(aw->ShownBoard()[size_t(Sq("c3"))], games::kWhiteMan);
  // Space on a man that cannot move picks nothing up.
  WalkTo(*aw, board, Sq("a1"));
  QTest::keyClick(board, Qt::Key_Space);
  EXPECT_EQ(aw->PickedUp(), -1);

  KeyMove(*aw, "a3", "b4");
  ASSERT_TRUE(settled(1));
  // bob sees the board from black's side: his arrows run the other way.
  EXPECT_FALSE(bw->SeenFromWhite());
  EXPECT_EQ(bw->LastMoveSquares(), (uint64_t(1) << Sq("a3")) | (uint64_t(1) << Sq("b4")));
  KeyMove(*bw, "d6", "c5");
  ASSERT_TRUE(settled(2));
  EXPECT_EQ(bw->LastMoveSquares(), 0u);  // his own move clears the mark
  // A square the man may not go to puts it back; the capture is then made.
  QWidget* aBoard = FocusBoard(*aw);
  WalkTo(*aw, aBoard, Sq("b4"));
  QTest::keyClick(aBoard, Qt::Key_Space);
  WalkTo(*aw, aBoard, Sq("a5"));
  QTest::keyClick(aBoard, Qt::Key_Enter);
  EXPECT_EQ(GameWith(alice, "bob")->MoveCount(), 2);
  KeyMove(*aw, "b4", "d6");
  ASSERT_TRUE(settled(3));

  for (games::Game* g : {GameWith(alice, "bob"), GameWith(bob, "alice")}) {
    EXPECT_EQ(g->Rules().MoveText(0), "PA3-B4");
    EXPECT_EQ(g->Rules().MoveText(1), "PD6-C5");
    EXPECT_EQ(g->Rules().MoveText(2), "PB4-D6:PC5");
    EXPECT_EQ(g->Rules().Position()[size_t(Sq("c5"))], 0);
    EXPECT_EQ(g->Rules().Position()[size_t(Sq("d6"))], games::kWhiteMan);
  }
  EXPECT_EQ(bw->windowTitle(), "Checkers - your move");

  // On a real display (xcb under Xvfb) the whole screen: alice's game window
  // beside her main window, the last move framed, the keyboard's cursor.
  if (screen) {
    const QString dir = shots;
    bw->grab().save(QString("%1/game-last-move-marked.png").arg(dir));
    bw->hide();
    FocusBoard(*aw);
    QTest::qWait(500);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString("%1/game-beside-panes.png").arg(dir));
    aw->findChild<QCheckBox*>("BigSize")->click();
    QTest::qWait(500);
    QGuiApplication::primaryScreen()->grabWindow(0).save(QString("%1/game-big-on-screen.png").arg(dir));
  }
}
