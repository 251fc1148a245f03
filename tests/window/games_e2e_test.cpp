// Two real clients play checkers through a real chatd: the invitation from
// the Games menu, the colour choice, a game played to a win by dragging on
// the boards, "Once more?" in the same windows, a draw offered and declined,
// a lost move repaired by a ping and a copy repaired by "Synchronize" and
// "Party: ", a surrender, and closing a running game; chess to mate, to
// stalemate and through the promotion chooser; reversi to the end.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

#include "games/board_rules.h"
#include "games/checkers_rules.h"
#include "games/game.h"
#include "games/game_channel.h"
#include "games/ui/game_window.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "window/game_windows.h"
#include "window/qt_text.h"
#include "window_fixture.h"
#include "games/game_notes.h"

using games::Game;
using games::GameKind;
using games::GameWindow;
using text::W;

namespace {

// White wins: Black gives every man away.
const char* const kWinningGame[] = {
    "PA3-B4", "PD6-C5", "PB4-D6:PC5", "PC7-E5:PD6", "PB2-A3", "PE5-D4", "PC3-E5:PD4", "PF6-D4:PE5", "PE3-C5:PD4",
    "PB6-D4:PC5", "PA1-B2", "PD4-C3", "PB2-D4:PC3", "PH6-G5", "PC1-B2", "PG5-F4", "PG3-E5:PF4", "PE7-D6",
    "PE5-C7:PD6", "PB8-D6:PC7", "PB2-C3", "PD6-C5", "PD4-B6:PC5", "PA7-C5:PB6", "PD2-E3", "PC5-B4", "PA3-C5:PB4",
    "PG7-F6", "PE1-D2", "PF6-E5", "PF2-G3", "PE5-F4", "PE3-G5:PF4", "PD8-C7", "PG1-F2", "PC7-B6", "PC5-A7:PB6",
    "PF8-E7", "PD2-E3", "PE7-F6", "PG5-E7:PF6", "PH8-G7", "PC3-B4", "PG7-F6", "PE7-G5:PF6"};

Game* GameOf(WindowFixture& w, const std::string& peer) {
  return w.form->Games().Channel().Find(GameKind::Checkers, peer);
}

GameWindow* WindowOf(WindowFixture& w, const std::string& peer) {
  Game* g = GameOf(w, peer);
  return g ? static_cast<GameWindow*>(g->view) : nullptr;
}

int Square(char column, char row) { return (row - '1') * 8 + (std::tolower(column) - 'a'); }

QPoint Centre(GameWindow& w, int square) {
  const games::Point p = games::PieceCorner(w.Geometry(), w.SeenFromWhite(), square);
  return {p.x + w.Geometry().pieceWidth / 2, p.y + w.Geometry().pieceHeight / 2};
}

// Drags every step of a move text on the window's board.
void PlayMove(GameWindow& w, const std::string& move) {
  QWidget* board = w.findChild<QWidget*>("Board");
  size_t start = 0;
  while (start < move.size()) {
    const size_t comma = std::min(move.find(',', start), move.size());
    const std::string step = move.substr(start, comma - start);
    QTest::mousePress(board, Qt::LeftButton, {}, Centre(w, Square(step[1], step[2])));
    QTest::mouseRelease(board, Qt::LeftButton, {}, Centre(w, Square(step[4], step[5])));
    start = comma + 1;
  }
}

void Shoot(QWidget& w, const char* name) {
  if (const char* dir = getenv("CHAT_SCREENSHOT_DIR")) w.grab().save(QString("%1/%2.png").arg(dir, name));
}

// The colour of a square's background near its corner, where no piece is
// drawn, inside the frame that marks the opponent's last move.
QRgb SquareColour(GameWindow& w, int square) {
  const games::Point p = games::SquareCorner(w.Geometry(), w.SeenFromWhite(), square);
  return w.findChild<QWidget*>("Board")->grab().toImage().pixel(p.x + 4, p.y + 3);
}

}  // namespace

TEST(GamesAgainstChatd, CheckersFromInvitationToWinOnceMoreDrawRepairSurrenderAndClose) {
  chatd_test::ChatdProcess chatd(CHAT_BINARY_DIR "/bin/chatd", {}, true);
  ASSERT_TRUE(chatd.ok());
  WindowFixture alice(IniFor("alice", Register(chatd, "alice"), chatd.chatPort()));
  WindowFixture bob(IniFor("bob", Register(chatd, "bob"), chatd.chatPort()));
  for (WindowFixture* w : {&alice, &bob}) {
    w->form->Games().SetFrameDelay(1);
    w->form->show();
  }
  auto users = [](WindowFixture& w) { return Find<MarkupView>(*w.form, "users"); };
  ASSERT_TRUE(WaitFor([&] { return ListsOnline(alice, "bob") && ListsOnline(bob, "alice"); }, 10000));

  // The Games menu follows the single addressee.
  EXPECT_FALSE(alice.form->Menu("MenGames")->menuAction()->isEnabled());
  users(alice)->Document().DoLink("bob");
  ASSERT_TRUE(alice.form->Menu("MenGames")->menuAction()->isEnabled());
  ASSERT_TRUE(alice.form->Action("MenNewCheckers")->isEnabled());
  EXPECT_FALSE(alice.form->Action("MenLoadCheckers")->isEnabled());

  // Invitation; bob, who has no window, is asked and chooses black.
  alice.form->Action("MenNewCheckers")->trigger();
  EXPECT_TRUE(PaneHas(Find<MarkupView>(*alice.form, "priv"), text::Shown(games::notes::kInviteSent[0]) + "bob"));
  ASSERT_TRUE(AnswerBox("alice: Let's play checkers?", true));
  ASSERT_TRUE(AnswerBox("Do you want to play white pieces?", false));
  ASSERT_TRUE(WaitFor([&] { return WindowOf(alice, "bob") && WindowOf(bob, "alice"); }));
  QPointer<GameWindow> aw = WindowOf(alice, "bob"), bw = WindowOf(bob, "alice");
  EXPECT_TRUE(GameOf(alice, "bob")->White());
  EXPECT_FALSE(GameOf(bob, "alice")->White());
  EXPECT_EQ(aw->windowTitle(), "Checkers - your move");
  EXPECT_EQ(bw->windowTitle(), "Checkers - opponent move");

  // The game to a win, every move dragged by its player.
  int n = 0;
  for (const char* move : kWinningGame) {
    GameWindow& mover = n % 2 == 0 ? *aw : *bw;
    WindowFixture& other = n % 2 == 0 ? bob : alice;
    PlayMove(mover, move);
    ++n;
    ASSERT_EQ((n % 2 == 1 ? GameOf(alice, "bob") : GameOf(bob, "alice"))->MoveCount(), n) << move;
    ASSERT_TRUE(WaitFor([&] {
      return GameOf(other, n % 2 == 1 ? "alice" : "bob")->MoveCount() == n && !aw->Animating() && !bw->Animating();
    })) << move;
    if (n == 12) {
      // Mid-game pictures: both sizes, turned and not.
      Shoot(*aw, "checkers-small-white");
      Shoot(*bw, "checkers-small-black");
      aw->findChild<QCheckBox*>("TurnBoard")->click();
      Shoot(*aw, "checkers-small-white-turned");
      aw->findChild<QCheckBox*>("TurnBoard")->click();
      // The offscreen screen is 600 pixels high; the box is enabled by hand.
      auto* big = bw->findChild<QCheckBox*>("BigSize");
      big->setEnabled(true);
      big->click();
      EXPECT_EQ(bw->size(), QSize(745, 659));
      Shoot(*bw, "checkers-big-black");
      bw->findChild<QCheckBox*>("TurnBoard")->click();
      Shoot(*bw, "checkers-big-black-turned");
      bw->findChild<QCheckBox*>("TurnBoard")->click();
    }
  }
  EXPECT_EQ(GameOf(alice, "bob")->State(), games::kWon);
  EXPECT_EQ(aw->windowTitle(), "Checkers - You won");
  ASSERT_TRUE(WaitFor([&] { return GameOf(bob, "alice")->State() == games::kLost; }));
  EXPECT_EQ(bw->windowTitle(), "Checkers - You lose");
  EXPECT_TRUE(PaneHas(aw->findChild<MarkupView*>("chat"), text::Shown(games::notes::kYouWonAgainst) + "bob"));
  EXPECT_TRUE(PaneHas(bw->findChild<MarkupView*>("chat"), text::Shown(games::notes::kYouLostTo) + "alice"));
  EXPECT_TRUE(PaneHas(bw->findChild<MarkupView*>("movetbl"), "<fcol=ff0000><bcol=ffffff><b>" + text::Shown(games::notes::kWhiteWon) + "</b>"));
  ASSERT_TRUE(aw->findChild<QPushButton*>("OnceMore")->isEnabled());

  // "Once more?": the next game in the same windows, bob white now.
  aw->findChild<QPushButton*>("OnceMore")->click();
  ASSERT_TRUE(AnswerBox("alice: Once more?", true));
  ASSERT_TRUE(AnswerBox("Do you want to play white pieces?", true));
  ASSERT_TRUE(WaitFor([&] { return !GameOf(alice, "bob")->White() && GameOf(alice, "bob")->Running(); }));
  EXPECT_EQ(WindowOf(alice, "bob"), aw.data());
  EXPECT_EQ(WindowOf(bob, "alice"), bw.data());
  EXPECT_EQ(GameOf(bob, "alice")->State(), games::kOwnMove);
  EXPECT_EQ(GameOf(alice, "bob")->MoveCount(), 0);

  // A draw offered and declined.
  bw->findChild<QPushButton*>("Draw")->click();
  ASSERT_TRUE(AnswerBox("Offer draw?", true));
  ASSERT_TRUE(AnswerBox("bob: Offer draw", false));
  ASSERT_TRUE(WaitFor([&] { return PaneHas(bw->findChild<MarkupView*>("chat"), text::Shown(games::notes::kDrawDeclined)); }));
  EXPECT_TRUE(GameOf(bob, "alice")->Running());

  // bob's first move is lost on the way: only his copy has it.  His ping
  // makes alice ask for it, and he sends it again.
  Game* bobGame = GameOf(bob, "alice");
  ASSERT_EQ(bobGame->PlayLocal(Square('c', '3'), Square('d', '4'), 0, nullptr), games::LocalPlay::Complete);
  bobGame->view->MoveListChanged();
  bobGame->view->GameChanged();
  EXPECT_EQ(GameOf(alice, "bob")->MoveCount(), 0);
  bw->findChild<QPushButton*>("Ping")->click();
  ASSERT_TRUE(WaitFor([&] { return GameOf(alice, "bob")->MoveCount() == 1; }));
  EXPECT_EQ(aw->ShownBoard()[size_t(Square('d', '4'))], games::kWhiteMan);
  EXPECT_TRUE(PaneHas(aw->findChild<MarkupView*>("chat"), "<b>bob</b>: " + text::Shown(games::notes::kPing)));
  ASSERT_TRUE(WaitFor([&] { return PaneHas(bw->findChild<MarkupView*>("chat"), "<b>alice</b>: " + text::Shown(games::notes::kPong)); }));

  // alice answers; then a move numbered beyond her copy arrives: she asks
  // with "Synchronize" and takes bob's whole game.
  PlayMove(*aw, "PF6-E5");
  ASSERT_TRUE(WaitFor([&] { return GameOf(bob, "alice")->MoveCount() == 2; }));
  GameOf(alice, "bob")->LoadParty("B;PC3-D4;1");  // alice's copy lost her own reply
  bob.form->Chat().SendChatMessage("alice", "Gm:Chk:7:PA3-B4", false);
  ASSERT_TRUE(WaitFor([&] { return GameOf(alice, "bob")->MoveCount() == 2; }));
  EXPECT_EQ(GameOf(alice, "bob")->PartyText(), "B;PC3-D4;PF6-E5;1");
  EXPECT_EQ(GameOf(alice, "bob")->Rules().Position(), GameOf(bob, "alice")->Rules().Position());

  // bob gives up.
  bw->findChild<QPushButton*>("Surrender")->click();
  ASSERT_TRUE(AnswerBox("Do you really surrender?", true));
  EXPECT_EQ(GameOf(bob, "alice")->State(), games::kSurrendered);
  ASSERT_TRUE(WaitFor([&] { return GameOf(alice, "bob")->State() == games::kOpponentSurrendered; }));
  EXPECT_EQ(aw->windowTitle(), "Checkers - opponent surrended, you won");
  EXPECT_TRUE(PaneHas(aw->findChild<MarkupView*>("chat"), "bob" + text::Shown(games::notes::kSurrenderedNote)));

  // One more game, which bob leaves by closing his window.
  bw->findChild<QPushButton*>("OnceMore")->click();
  ASSERT_TRUE(AnswerBox("bob: Once more?", true));
  ASSERT_TRUE(AnswerBox("Do you want to play white pieces?", true));
  ASSERT_TRUE(WaitFor([&] { return GameOf(bob, "alice")->Running() && !GameOf(bob, "alice")->White(); }));
  PlayMove(*aw, "PC3-D4");
  ASSERT_TRUE(WaitFor([&] { return GameOf(bob, "alice")->MoveCount() == 1 && !bw->Animating(); }));
  bw->close();
  ASSERT_TRUE(WaitFor([&] { return PaneHas(aw->findChild<MarkupView*>("chat"), "bob" + text::Shown(games::notes::kStoppedTheGame)); }));
  EXPECT_EQ(GameOf(bob, "alice"), nullptr);
  // bob's last game was kept, so his menu can load it.
  users(bob)->Document().DoLink("alice");
  EXPECT_TRUE(bob.form->Action("MenLoadCheckers")->isEnabled());
  EXPECT_TRUE(GameOf(alice, "bob")->Running());  // alice's game is not ended by it
}

// Two clients through chatd with a chess or reversi game between them,
// alice white, and each move dragged (or clicked) by its player.
struct Match {
  explicit Match(GameKind kind = GameKind::Chess) : kind(kind) {}
  GameKind kind;
  chatd_test::ChatdProcess chatd{CHAT_BINARY_DIR "/bin/chatd", {}, true};
  std::unique_ptr<WindowFixture> alice, bob;
  GameWindow* aw = nullptr;
  GameWindow* bw = nullptr;
  int plies = 0;

  Game* Of(WindowFixture& w, const std::string& peer) { return w.form->Games().Channel().Find(kind, peer); }
  Game* AliceGame() { return Of(*alice, "bob"); }
  Game* BobGame() { return Of(*bob, "alice"); }

  void Start() {
    ASSERT_TRUE(chatd.ok());
    alice = std::make_unique<WindowFixture>(IniFor("alice", Register(chatd, "alice"), chatd.chatPort()));
    bob = std::make_unique<WindowFixture>(IniFor("bob", Register(chatd, "bob"), chatd.chatPort()));
    ASSERT_NO_FATAL_FAILURE(ShowBoth());
    const bool chess = kind == GameKind::Chess;
    alice->form->Action(chess ? "MenNewChess" : "MenNewReversi")->trigger();
    ASSERT_TRUE(AnswerBox(chess ? "alice: Let's play chess?" : "alice: Let's play reversi?", true));
    ASSERT_TRUE(AnswerBox("Do you want to play white pieces?", false));
    ASSERT_TRUE(WaitFor([&] { return AliceGame() && BobGame(); }));
    aw = static_cast<GameWindow*>(AliceGame()->view);
    bw = static_cast<GameWindow*>(BobGame()->view);
    ASSERT_TRUE(aw && bw);
    ASSERT_TRUE(AliceGame()->White());
  }

  // Both main windows shown and online; alice has bob as her addressee.
  void ShowBoth() {
    for (WindowFixture* w : {alice.get(), bob.get()}) {
      w->form->Games().SetFrameDelay(1);
      w->form->show();
    }
    ASSERT_TRUE(WaitFor([&] { return ListsOnline(*alice, "bob") && ListsOnline(*bob, "alice"); }, 10000));
    Find<MarkupView>(*alice->form, "users")->Document().DoLink("bob");
  }

  void Play(const std::vector<std::string>& moves) {
    for (const std::string& move : moves) {
      PlayMove(plies % 2 == 0 ? *aw : *bw, move);
      ++plies;
      ASSERT_TRUE(WaitFor([&] {
        return AliceGame()->MoveCount() == plies && BobGame()->MoveCount() == plies && !aw->Animating() &&
               !bw->Animating();
      })) << move;
    }
  }
};

TEST(GamesAgainstChatd, ChessToMate) {
  Match m;
  ASSERT_NO_FATAL_FAILURE(m.Start());
  ASSERT_NO_FATAL_FAILURE(m.Play({"PF2-F3", "PE7-E5", "PG2-G4", "PD8-H4"}));
  EXPECT_EQ(m.BobGame()->State(), games::kWon);
  ASSERT_TRUE(WaitFor([&] { return m.AliceGame()->State() == games::kLost; }));
  EXPECT_TRUE(PaneHas(m.bw->findChild<MarkupView*>("chat"), text::Shown(games::notes::kMateYouWon) + "alice"));
  Shoot(*m.bw, "chess-mate-black");
}

// The shortest stalemate known (ten moves): Black, not in check, cannot move.
TEST(GamesAgainstChatd, ChessToStalemate) {
  Match m;
  ASSERT_NO_FATAL_FAILURE(m.Start());
  ASSERT_NO_FATAL_FAILURE(m.Play({"PE2-E3", "PA7-A5", "PD1-H5", "PA8-A6", "PH5-A5", "PH7-H5", "PH2-H4", "PA6-H6",
                                  "PA5-C7", "PF7-F6", "PC7-D7", "PE8-F7", "PD7-B7", "PD8-D3", "PB7-B8", "PD3-H7",
                                  "PB8-C8", "PF7-G6", "PC8-E6"}));
  EXPECT_EQ(m.AliceGame()->State(), games::kDrawState);
  ASSERT_TRUE(WaitFor([&] { return m.BobGame()->State() == games::kDrawState; }));
  Shoot(*m.aw, "chess-stalemate-white");
}

// Both players quit in the middle of a game and come back: alice loads the
// game from her records and offers to continue, bob takes his own copy, and
// the game goes on to mate.
TEST(GamesAgainstChatd, ChessInterruptedByQuittingContinuesFromTheRecords) {
  Match m;
  ASSERT_NO_FATAL_FAILURE(m.Start());
  ASSERT_NO_FATAL_FAILURE(m.Play({"PF2-F3", "PE7-E5", "PG2-G4"}));

  m.alice->Restart();
  m.bob->Restart();
  EXPECT_EQ(m.alice->ReadFile("Games/bob.chs"), "White\r\n1: PF2-F3   PE7-E5\r\n2: PG2-G4\r\n1\r\n");
  EXPECT_EQ(m.bob->ReadFile("Games/alice.chs"), "Black\r\n1: PF2-F3   PE7-E5\r\n2: PG2-G4\r\n0\r\n");
  ASSERT_NO_FATAL_FAILURE(m.ShowBoth());
  EXPECT_EQ(m.AliceGame(), nullptr);
  EXPECT_EQ(m.BobGame(), nullptr);

  QAction* load = m.alice->form->Action("MenLoadChess");
  ASSERT_TRUE(load->isEnabled());
  load->trigger();
  ASSERT_TRUE(m.AliceGame());
  EXPECT_TRUE(PaneHas(static_cast<GameWindow*>(m.AliceGame()->view)->findChild<MarkupView*>("chat"),
                      text::Shown(games::notes::kContinueOfferSent)));
  ASSERT_TRUE(AnswerBox("alice: Let's continue chess game?", true));
  ASSERT_TRUE(WaitFor([&] { return m.BobGame() != nullptr; }));
  m.aw = static_cast<GameWindow*>(m.AliceGame()->view);
  m.bw = static_cast<GameWindow*>(m.BobGame()->view);
  EXPECT_EQ(m.BobGame()->MoveCount(), 3);
  EXPECT_EQ(m.BobGame()->State(), games::kOwnMove);
  EXPECT_EQ(m.AliceGame()->State(), games::kOpponentMove);
  EXPECT_FALSE(m.BobGame()->White());

  ASSERT_NO_FATAL_FAILURE(m.Play({"PD8-H4"}));
  EXPECT_EQ(m.BobGame()->State(), games::kWon);
  ASSERT_TRUE(WaitFor([&] { return m.AliceGame()->State() == games::kLost; }));
}

// A game message restores a minimised game window, except while the
// settings dialog is open: then the dialog keeps the user's attention.
TEST(GamesAgainstChatd, GameMessagesBringTheWindowBackUnlessTheSettingsDialogIsOpen) {
  Match m;
  ASSERT_NO_FATAL_FAILURE(m.Start());
  m.aw->showMinimized();
  ASSERT_TRUE(m.aw->isMinimized());
  media::SettingsDialog& settings = m.alice->form->Setup().Dialog();
  settings.show();
  m.bob->form->Games().Channel().Say(GameKind::Chess, "alice", "first");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(m.aw->findChild<MarkupView*>("chat"), "first"); }));
  EXPECT_TRUE(m.aw->isMinimized());
  settings.hide();
  m.bob->form->Games().Channel().Say(GameKind::Chess, "alice", "second");
  ASSERT_TRUE(WaitFor([&] { return PaneHas(m.aw->findChild<MarkupView*>("chat"), "second"); }));
  EXPECT_FALSE(m.aw->isMinimized());
}

// A pawn reaching the last rank by a capture opens the chooser on the
// mover's side; the piece chosen there (a knight, not the obvious queen)
// is what both boards hold.
TEST(GamesAgainstChatd, ChessPromotionChosenInTheChooserArrivesAsThatPiece) {
  Match m;
  ASSERT_NO_FATAL_FAILURE(m.Start());
  ASSERT_NO_FATAL_FAILURE(m.Play({"PH2-H4", "PG7-G5", "PH4-G5", "PH7-H6", "PG5-H6", "PF8-G7", "PH6-G7", "PG8-F6"}));
  // With highlighting on, the pawn picked up on g7 marks its targets g8 and
  // h8 (the knight there can be taken) and nothing else.
  const QRgb plainDark = SquareColour(*m.aw, Square('h', '8')), plainLight = SquareColour(*m.aw, Square('g', '8'));
  m.alice->settings->HilightMoves = true;
  QWidget* board = m.aw->findChild<QWidget*>("Board");
  QTest::mousePress(board, Qt::LeftButton, {}, Centre(*m.aw, Square('g', '7')));
  EXPECT_NE(SquareColour(*m.aw, Square('h', '8')), plainDark);
  EXPECT_NE(SquareColour(*m.aw, Square('g', '8')), plainLight);
  EXPECT_EQ(SquareColour(*m.aw, Square('f', '8')), plainDark);
  EXPECT_EQ(SquareColour(*m.aw, Square('g', '6')), plainLight);
  Shoot(*m.aw, "chess-highlighted-white");
  QTest::mouseRelease(board, Qt::LeftButton, {}, Centre(*m.aw, Square('g', '7')));
  EXPECT_EQ(SquareColour(*m.aw, Square('h', '8')), plainDark);

  // The chooser is modal: a timer answers it once it is open.
  bool asked = false;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* chooser = QApplication::activeModalWidget();
    if (!chooser || chooser->objectName() != "ChessSelP") return;
    answer.stop();
    asked = true;
    // The pawn stands on h8 while the piece is chosen.
    EXPECT_EQ(m.aw->ShownBoard()[size_t(Square('h', '8'))], 1);
    EXPECT_EQ(m.aw->ShownBoard()[size_t(Square('g', '7'))], 0);
    Shoot(*chooser, "chess-promotion-chooser");
    Shoot(*m.aw, "chess-promotion-window");
    QTest::mouseClick(chooser->findChild<QWidget*>("F2"), Qt::LeftButton);  // the knight
  });
  answer.start(10);
  ASSERT_NO_FATAL_FAILURE(m.Play({"PG7-H8"}));
  EXPECT_TRUE(asked);
  constexpr int kH8 = 63, kWhiteKnight = 3;
  EXPECT_EQ(m.AliceGame()->Rules().Position()[kH8], kWhiteKnight);
  EXPECT_EQ(m.BobGame()->Rules().Position()[kH8], kWhiteKnight);
}

// A whole reversi game through chatd with at least one pass: the moves are
// found first on a rules copy (a varied choice among the legal squares until
// a game with a pass turns up), then clicked on the players' boards.
TEST(GamesAgainstChatd, ReversiToTheEndWithAPass) {
  struct Placed {
    games::Side side;
    int square;
  };
  std::vector<Placed> game;
  bool passed = false;
  for (int seed = 0; seed < 500 && !passed; ++seed) {
    game.clear();
    auto rules = games::MakeReversiRules();
    while (rules->Result() == games::Outcome::Running) {
      const uint64_t legal = rules->MovableSquares();
      ASSERT_NE(legal, 0u);
      std::vector<int> squares;
      for (int sq = 0; sq < 64; ++sq)
        if (legal >> sq & 1) squares.push_back(sq);
      const int pick = squares[size_t(seed * 7 + int(game.size()) * 3) % squares.size()];
      const games::Side side = rules->ToMove();
      ASSERT_EQ(rules->PlayLocal(pick, pick, 0), games::LocalPlay::Complete);
      game.push_back({side, pick});
    }
    for (size_t i = 1; i < game.size(); ++i) passed |= game[i].side == game[i - 1].side;
  }
  ASSERT_TRUE(passed);

  Match m(GameKind::Reversi);
  ASSERT_NO_FATAL_FAILURE(m.Start());
  m.alice->settings->HilightMoves = true;
  int placed = 0;
  for (const Placed& p : game) {
    if (placed == 10) {
      // alice's legal squares are marked while it is her move; bob's board,
      // not his move and highlighting off, shows the same squares plain.
      ASSERT_EQ(p.side, games::Side::White);
      const uint64_t legal = m.AliceGame()->Rules().MovableSquares();
      for (int sq = 0; sq < 64; ++sq) {
        if (m.AliceGame()->Rules().Position()[size_t(sq)] != 0) continue;
        EXPECT_EQ(SquareColour(*m.aw, sq) != SquareColour(*m.bw, sq), bool(legal >> sq & 1)) << sq;
      }
      Shoot(*m.aw, "reversi-highlighted-white");
      // Highlighting switched off in the settings dialog shows at once.
      EditSettings(*m.alice->form, [](media::SettingsDialog& d) { Find<QCheckBox>(d, "HilightMoves")->setChecked(false); });
      ASSERT_FALSE(m.alice->settings->HilightMoves);
      for (int sq = 0; sq < 64; ++sq) EXPECT_EQ(SquareColour(*m.aw, sq), SquareColour(*m.bw, sq)) << sq;
    }
    GameWindow& mover = p.side == games::Side::White ? *m.aw : *m.bw;
    QTest::mouseClick(mover.findChild<QWidget*>("Board"), Qt::LeftButton, {}, Centre(mover, p.square));
    ++placed;
    ASSERT_TRUE(WaitFor([&] {
      return m.AliceGame()->MoveCount() == placed && m.BobGame()->MoveCount() == placed && !m.aw->Animating() &&
             !m.bw->Animating();
    })) << "disc " << placed;
  }
  EXPECT_FALSE(m.AliceGame()->Running());
  ASSERT_TRUE(WaitFor([&] { return !m.BobGame()->Running(); }));
  EXPECT_EQ(m.AliceGame()->Rules().Position(), m.BobGame()->Rules().Position());
  const games::Outcome result = m.AliceGame()->Rules().Result();
  EXPECT_EQ(m.AliceGame()->State(),
            result == games::Outcome::WhiteWon ? games::kWon : result == games::Outcome::BlackWon ? games::kLost : games::kDrawState);
  Shoot(*m.aw, "reversi-end-white");
}
