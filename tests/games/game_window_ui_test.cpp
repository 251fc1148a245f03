// Game windows over two channels that talk through the test network: the
// board's layout in both sizes, dragging and clicking moves with the mouse,
// replay, the chat line, and windows that go away in the middle of an
// animation.
#include <gtest/gtest.h>

#include <map>

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "games/board_speech.h"
#include "games/checkers_rules.h"
#include "games/ui/checkers_window.h"
#include "games/reversi_rules.h"
#include "games/ui/game_window.h"
#include "game_harness.h"
#include "games/ui/promotion_chooser.h"
#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

using namespace games;
using namespace games_test;

namespace {

int Sq(const char* name) { return SquareAt(name[0] - 'a', name[1] - '1'); }

// A player whose games open real windows.
struct WindowPlayer : Player {
  WindowPlayer(Network& net, std::string name, const std::string& dir) : Player(net, std::move(name), dir) {}
  GameView* CreateView(Game& game) override {
    GameWindowContext c;
    c.russian = [this] { return russian; };
    c.hilightMoves = [] { return true; };
    c.screenHeight = [this] { return screenHeight; };
    c.frameDelayMs = frameDelay;
    if (!mainFrame.isEmpty()) {
      c.mainFrame = [this] { return mainFrame; };
      c.panes = [this] { return panes; };
    }
    if (keepsPlaces) {
      c.restorePlace = [this](GameKind kind, QWidget& w, int offset) {
        auto it = places.find(kind);
        if (it == places.end()) return false;
        w.move(it->second + QPoint(offset, offset));
        return true;
      };
      c.keepPlace = [this](GameKind kind, const QWidget& w) { places[kind] = w.pos(); };
    }
    return GameWindow::Open(game, channel, c);
  }
  GameWindow* Window(GameKind kind = GameKind::Checkers) {
    Game* g = channel.Find(kind, name == "alice" ? "bob" : "alice");
    return g ? static_cast<GameWindow*>(g->view) : nullptr;
  }
  bool russian = false;
  QRect mainFrame, panes;  // the main window beside which games open
  bool keepsPlaces = false;
  std::map<GameKind, QPoint> places;  // where each kind of window was left
  int screenHeight = 1080;
  int frameDelay = 0;
};

struct Match : ::testing::Test {
  Network net;
  std::string dirA = TempDir("win-a"), dirB = TempDir("win-b");
  WindowPlayer alice{net, "alice", dirA}, bob{net, "bob", dirB};

  void SetUp() override {
    net.players["alice"] = &alice;
    net.players["bob"] = &bob;
    alice.gameClients = {"bob"};
    bob.gameClients = {"alice"};
  }
  void TearDown() override {
    alice.channel.CloseAllGames();
    bob.channel.CloseAllGames();
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  // alice invites, bob accepts and plays black.
  void Start(GameKind kind = GameKind::Checkers) {
    alice.channel.OfferGame(kind, "bob");
    ASSERT_TRUE(net.Pump());
    bob.Answer(true);   // let us play
    bob.Answer(false);  // not white
    ASSERT_TRUE(net.Pump());
    ASSERT_NE(alice.Window(kind), nullptr);
    ASSERT_NE(bob.Window(kind), nullptr);
  }
};

QPoint CentreOf(GameWindow& w, int square) {
  const Point p = PieceCorner(w.Geometry(), w.SeenFromWhite(), square);
  return {p.x + w.Geometry().pieceWidth / 2, p.y + w.Geometry().pieceHeight / 2};
}

QWidget* BoardOf(GameWindow& w) { return w.findChild<QWidget*>("Board"); }

void Drag(GameWindow& w, const char* from, const char* to) {
  QTest::mousePress(BoardOf(w), Qt::LeftButton, {}, CentreOf(w, Sq(from)));
  QTest::mouseRelease(BoardOf(w), Qt::LeftButton, {}, CentreOf(w, Sq(to)));
}

template <class T>
T* Child(GameWindow& w, const char* name) {
  return w.findChild<T*>(name);
}

std::vector<std::string> PaneLines(GameWindow& w, const char* name) {
  std::vector<std::string> out;
  for (const auto& line : Child<markup::MarkupView>(w, name)->Document().lines()) out.push_back(line->source);
  return out;
}

}  // namespace

TEST_F(Match, LayoutOfBothBoardSizesAndTheirLimits) {
  Start();
  GameWindow& w = *alice.Window();
  EXPECT_EQ(w.size(), QSize(465, 379));
  EXPECT_EQ(BoardOf(w)->size(), QSize(304, 326));
  EXPECT_EQ(w.Bitmap().deviceIndependentSize().toSize(), QSize(304, 326));
  EXPECT_EQ(Child<QWidget>(w, "chat")->height(), 144);
  Child<QCheckBox>(w, "BigSize")->click();
  EXPECT_TRUE(w.BigBoard());
  EXPECT_EQ(w.size(), QSize(745, 659));
  EXPECT_EQ(BoardOf(w)->size(), QSize(584, 606));
  EXPECT_EQ(w.Geometry().square, 70);
  Child<QCheckBox>(w, "BigSize")->click();
  EXPECT_EQ(w.size(), QSize(465, 379));

  // A screen below 700 pixels has no room for the big board.
  bob.channel.CloseAllGames();
  bob.screenHeight = 699;
  bob.channel.OfferGame(GameKind::Chess, "alice");
  ASSERT_TRUE(net.Pump());
  alice.Answer(true);
  alice.Answer(true);
  ASSERT_TRUE(net.Pump());
  GameWindow& chess = *bob.Window(GameKind::Chess);
  EXPECT_EQ(chess.size(), QSize(489, 379));
  EXPECT_FALSE(Child<QCheckBox>(chess, "BigSize")->isEnabled());
  EXPECT_EQ(Child<QPushButton>(chess, "Draw")->geometry(), QRect(196, 25, 58, 20));
}

TEST_F(Match, CaptionsAndButtonsFollowTheStateInBothLanguages) {
  Start();
  GameWindow& a = *alice.Window();
  GameWindow& b = *bob.Window();
  EXPECT_EQ(a.windowTitle(), "Checkers - your move");
  EXPECT_EQ(b.windowTitle(), "Checkers - opponent move");
  EXPECT_TRUE(Child<QPushButton>(a, "Surrender")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(a, "Draw")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(b, "Surrender")->isEnabled());
  EXPECT_TRUE(Child<QPushButton>(b, "Ping")->isEnabled());
  EXPECT_FALSE(Child<QPushButton>(b, "OnceMore")->isEnabled());
  EXPECT_FALSE(Child<QToolButton>(a, "ToStart")->isEnabled());
  bob.russian = true;
  b.Retitle();
  EXPECT_EQ(b.windowTitle(), QString::fromUtf8("Шашки - ход соперника"));
  EXPECT_EQ(Child<QPushButton>(b, "Surrender")->text(), QString::fromUtf8("Сдаться"));
  EXPECT_EQ(Child<QCheckBox>(b, "TurnBoard")->text(), QString::fromUtf8("Повернуть доску"));
  EXPECT_EQ(Child<QPushButton>(b, "Ping")->toolTip(), QString::fromUtf8("Послать тестовый пакет для синхронизации"));
  // The move list starts with its header; bob plays black.
  const auto list = PaneLines(b, "movetbl");
  ASSERT_EQ(list.size(), 4u);
  EXPECT_TRUE(text::EndsWith(list[1], text::W("<fsize=9><b>alice - Вы</b>")));
  EXPECT_TRUE(text::EndsWith(list[3], "1.<xpos=28>_"));
}

TEST_F(Match, DraggingPlaysOnlyLegalMovesAndTheOpponentSeesThem) {
  Start();
  GameWindow& a = *alice.Window();
  GameWindow& b = *bob.Window();
  // bob, seeing the board from Black's side, cannot move now.
  EXPECT_FALSE(b.SeenFromWhite());
  Drag(b, "b6", "a5");
  EXPECT_EQ(bob.channel.Find(GameKind::Checkers, "alice")->MoveCount(), 0);

  // A press in the margin of a square picks nothing up.
  const Point corner = SquareCorner(a.Geometry(), true, Sq("c3"));
  QTest::mousePress(BoardOf(a), Qt::LeftButton, {}, QPoint(corner.x + 1, corner.y + 1));
  EXPECT_EQ(a.Marks(), 0u);
  QTest::mouseRelease(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("d4")));
  // A press on a man of the back row, which cannot move, neither.
  QTest::mousePress(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("b2")));
  EXPECT_EQ(a.Marks(), 0u);
  QTest::mouseRelease(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("b2")));
  // Picking up c3 marks its two targets; dropping on a non-target puts it back.
  QTest::mousePress(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("c3")));
  EXPECT_EQ(a.Marks(), (uint64_t{1} << Sq("b4")) | (uint64_t{1} << Sq("d4")));
  EXPECT_EQ(a.ShownBoard()[size_t(Sq("c3"))], 0);  // lifted while dragged
  QTest::mouseRelease(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("c5")));
  EXPECT_EQ(a.ShownBoard()[size_t(Sq("c3"))], kWhiteMan);
  EXPECT_EQ(a.Marks(), 0u);
  EXPECT_TRUE(net.SentBy("alice", net.sent.size()).empty());

  const size_t before = net.sent.size();
  Drag(a, "c3", "d4");
  EXPECT_EQ(net.SentBy("alice", before), std::vector<std::string>{"1:PC3-D4"});
  EXPECT_EQ(a.windowTitle(), "Checkers - opponent move");
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("d4"))], kWhiteMan);
  EXPECT_EQ(b.windowTitle(), "Checkers - your move");
  Drag(b, "e5", "d6");  // not a black man there: nothing
  Drag(b, "f6", "e5");
  ASSERT_TRUE(net.Pump());
  // White must take: d4 jumps e5 and lands on f6.
  QTest::mousePress(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("g3")));
  EXPECT_EQ(a.Marks(), 0u);
  QTest::mouseRelease(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("h4")));
  Drag(a, "d4", "f6");
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("e5"))], 0);
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("f6"))], kWhiteMan);
  const auto list = PaneLines(b, "movetbl");
  EXPECT_TRUE(text::EndsWith(list[3], "<fcol=000000><bcol=ffffff>1.<xpos=28>c3-d4"));
  EXPECT_TRUE(text::EndsWith(list[4], "<fcol=000000><bcol=ffffff><xpos=28>f6-e5"));
  EXPECT_TRUE(text::EndsWith(list[5], "<fcol=000000><bcol=ffffff>2.<xpos=28>d4xf6"));
  if (const char* shots = getenv("CHAT_SCREENSHOT_DIR")) {
    a.grab().save(QString("%1/checkers-white.png").arg(shots));
    b.grab().save(QString("%1/checkers-black.png").arg(shots));
  }
}

// Red pixels of a widget as drawn now (the text of a red button).
int RedPixels(QWidget* w) {
  const QImage image = w->grab().toImage();
  int red = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      red += c.red() > 180 && c.green() < 90 && c.blue() < 90;
    }
  return red;
}

TEST_F(Match, ScreenReaderReadsTheBoardAndItsSquaresInBothLanguages) {
  Start();
  GameWindow& a = *alice.Window();
  QAccessibleInterface* board = QAccessible::queryAccessibleInterface(BoardOf(a));
  ASSERT_NE(board, nullptr);
  EXPECT_EQ(board->role(), QAccessible::List);
  EXPECT_EQ(board->text(QAccessible::Name), "Checkers, white to move");
  ASSERT_EQ(board->childCount(), 64);
  EXPECT_EQ(board->child(0)->text(QAccessible::Name), "a8, empty");  // reading order: top-left first
  QAccessibleInterface* c3 = board->child(ScreenOrder(true, Sq("c3")));
  EXPECT_EQ(c3->text(QAccessible::Name), "c3, white man");
  EXPECT_EQ(board->indexOfChild(c3), ScreenOrder(true, Sq("c3")));
  EXPECT_EQ(c3->parent(), board);

  // The keyboard's square is the focused item, the man in the hand the
  // selected one, and his targets say so.
  a.activateWindow();
  QApplication::processEvents();
  BoardOf(a)->setFocus(Qt::TabFocusReason);
  QTest::keyClick(BoardOf(a), Qt::Key_Space);
  const int cursor = a.Cursor();
  ASSERT_GE(cursor, 0);
  QAccessibleInterface* focused = board->focusChild();
  ASSERT_NE(focused, nullptr);
  EXPECT_TRUE(focused->state().focused);
  EXPECT_TRUE(focused->state().selected);
  EXPECT_EQ(focused->text(QAccessible::Name), QString::fromStdString(SquareSpeech(GameKind::Checkers, cursor, kWhiteMan, false)));
  int targets = 0;
  for (int i = 0; i < 64; ++i) targets += board->child(i)->text(QAccessible::Description) == "can move here";
  EXPECT_GT(targets, 0);
  QTest::keyClick(BoardOf(a), Qt::Key_Escape);

  // Every button, box, field and pane of the window has a name.
  auto everyControlNamed = [](QWidget& w) {
    std::vector<QAccessibleInterface*> todo{QAccessible::queryAccessibleInterface(&w)};
    int controls = 0;
    while (!todo.empty()) {
      QAccessibleInterface* i = todo.back();
      todo.pop_back();
      const QAccessible::Role r = i->role();
      if (r == QAccessible::Button || r == QAccessible::CheckBox || r == QAccessible::EditableText ||
          r == QAccessible::Document) {
        ++controls;
        EXPECT_FALSE(i->text(QAccessible::Name).isEmpty()) << (i->object() ? i->object()->objectName().toStdString() : "?");
      }
      if (r != QAccessible::List)
        for (int c = 0; c < i->childCount(); ++c) todo.push_back(i->child(c));
    }
    return controls;
  };
  EXPECT_GE(everyControlNamed(a), 15);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&a)->role(), QAccessible::Window);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(&a)->text(QAccessible::Name), "Checkers - your move");

  // Renamed with the language; the position after a move.
  alice.russian = true;
  a.Retitle();
  markup::ViewGlobals::russian = true;
  EXPECT_GE(everyControlNamed(a), 15);
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Child<QToolButton>(a, "ToStart"))->text(QAccessible::Name),
            QString::fromUtf8("В начало"));
  EXPECT_EQ(QAccessible::queryAccessibleInterface(Child<QWidget>(a, "movetbl"))->text(QAccessible::Name),
            QString::fromUtf8("Ходы"));
  markup::ViewGlobals::russian = false;
  EXPECT_EQ(board->text(QAccessible::Name), QString::fromUtf8("Шашки, ход белых"));
  EXPECT_EQ(c3->text(QAccessible::Name), QString::fromUtf8("c3, белая шашка"));
  Drag(a, "c3", "d4");
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(board->text(QAccessible::Name), QString::fromUtf8("Шашки, ход черных"));
  EXPECT_EQ(c3->text(QAccessible::Name), QString::fromUtf8("c3, пусто"));

  // Chess and reversi by their names and pieces, bob white seen from below.
  for (const GameKind kind : {GameKind::Chess, GameKind::Reversi}) {
    alice.channel.CloseAllGames();
    bob.channel.CloseAllGames();
    bob.channel.OfferGame(kind, "alice");
    ASSERT_TRUE(net.Pump());
    alice.Answer(true);
    alice.Answer(false);
    ASSERT_TRUE(net.Pump());
    GameWindow& w = *bob.Window(kind);
    QAccessibleInterface* b = QAccessible::queryAccessibleInterface(BoardOf(w));
    if (kind == GameKind::Chess) {
      EXPECT_EQ(b->text(QAccessible::Name), "Chess, white to move");
      EXPECT_EQ(b->child(ScreenOrder(true, Sq("e1")))->text(QAccessible::Name), "e1, white king");
      EXPECT_EQ(b->child(ScreenOrder(true, Sq("d8")))->text(QAccessible::Name), "d8, black queen");
    } else {
      EXPECT_TRUE(b->text(QAccessible::Name).startsWith("Reversi, ")) << b->text(QAccessible::Name).toStdString();
      EXPECT_EQ(b->child(ScreenOrder(true, Sq("d4")))->text(QAccessible::Name).left(4), "d4, ");
      EXPECT_NE(b->child(ScreenOrder(true, Sq("d4")))->text(QAccessible::Name), "d4, empty");
    }
  }
}

TEST_F(Match, OpponentsLastMoveStaysFramedUntilTheNextMove) {
  Start();
  GameWindow& a = *alice.Window();
  GameWindow& b = *bob.Window();
  auto framed = [](GameWindow& w, const char* square) {
    const Point c = SquareCorner(w.Geometry(), w.SeenFromWhite(), Sq(square));
    return w.Bitmap().toImage().pixelColor(c.x + 1, c.y + 1) == QColor(255, 160, 0);
  };
  Drag(a, "c3", "d4");
  ASSERT_TRUE(net.Pump());
  EXPECT_TRUE(framed(b, "c3"));
  EXPECT_TRUE(framed(b, "d4"));
  EXPECT_FALSE(framed(b, "e3"));
  EXPECT_FALSE(framed(a, "d4"));  // not one's own move
  Drag(b, "f6", "e5");
  EXPECT_FALSE(framed(b, "d4"));
  ASSERT_TRUE(net.Pump());
  EXPECT_TRUE(framed(a, "f6"));
  EXPECT_TRUE(framed(a, "e5"));
}

TEST_F(Match, DisabledColouredButtonsLookDisabledAndAHighContrastPaletteIsFollowed) {
  Start();
  GameWindow& a = *alice.Window();
  GameWindow& b = *bob.Window();
  // alice may surrender, bob (whose move it is not) may not: his red button greys out.
  ASSERT_TRUE(Child<QPushButton>(a, "Surrender")->isEnabled());
  ASSERT_FALSE(Child<QPushButton>(b, "Surrender")->isEnabled());
  EXPECT_GT(RedPixels(Child<QPushButton>(a, "Surrender")), 5);
  EXPECT_EQ(RedPixels(Child<QPushButton>(b, "Surrender")), 0);

  const QPalette before = QApplication::palette();
  QPalette contrast(before);
  for (const auto& [role, colour] : {std::pair{QPalette::Window, QColor(Qt::black)},
                                     std::pair{QPalette::WindowText, QColor(Qt::white)},
                                     std::pair{QPalette::Button, QColor(Qt::black)},
                                     std::pair{QPalette::ButtonText, QColor(Qt::yellow)},
                                     std::pair{QPalette::Highlight, QColor(0x1A, 0xEB, 0xFF)}})
    contrast.setColor(role, colour);
  for (const auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
    contrast.setColor(QPalette::Disabled, role, QColor(0x7F, 0x7F, 0x7F));
  QApplication::setPalette(contrast);
  QApplication::processEvents();
  EXPECT_EQ(Child<QCheckBox>(a, "BigSize")->palette().color(QPalette::WindowText), QColor(Qt::white));
  EXPECT_EQ(Child<QPushButton>(a, "Ping")->palette().color(QPalette::Button), QColor(Qt::black));
  EXPECT_EQ(Child<QPushButton>(b, "Draw")->palette().color(QPalette::Disabled, QPalette::ButtonText),
            contrast.color(QPalette::Disabled, QPalette::ButtonText));
  // The keyboard's square shows in the palette's highlight colour once a
  // key is used (not after a mere click).
  a.activateWindow();
  QApplication::processEvents();
  ASSERT_GE(a.Cursor(), 0);
  const Point hidden = SquareCorner(a.Geometry(), true, a.Cursor());
  EXPECT_NE(BoardOf(a)->grab().toImage().pixelColor(hidden.x + 1, hidden.y + 1), QColor(0x1A, 0xEB, 0xFF));
  QTest::keyClick(BoardOf(a), Qt::Key_Left);
  const Point corner = SquareCorner(a.Geometry(), true, a.Cursor());
  EXPECT_EQ(BoardOf(a)->grab().toImage().pixelColor(corner.x + 1, corner.y + 1), QColor(0x1A, 0xEB, 0xFF));
  if (const char* shots = getenv("CHAT_SCREENSHOT_DIR")) {
    a.grab().save(QString("%1/checkers-high-contrast-white.png").arg(shots));
    b.grab().save(QString("%1/checkers-high-contrast-black.png").arg(shots));
  }
  QApplication::setPalette(before);
}

TEST_F(Match, NewWindowOpensBesideTheMainWindowAndStaysOnTheScreen) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  alice.mainFrame = QRect(area.left(), area.top(), 300, 500);
  alice.panes = QRect(area.left() + 4, area.top() + 40, 200, 400);
  Start();
  GameWindow& a = *alice.Window();
  // bob's window, in this same program, opened first: alice's is one step
  // down and right of the place beside her main window.
  EXPECT_EQ(a.frameGeometry().topLeft(), QPoint(area.left() + 300 + 24, area.top() + 40 + 24));
  // Big size near the bottom-right corner: moved back onto the screen.
  a.move(area.right() - 100, area.bottom() - 100);
  Child<QCheckBox>(a, "BigSize")->setEnabled(true);
  Child<QCheckBox>(a, "BigSize")->click();
  const QRect frame = a.frameGeometry();
  EXPECT_LE(frame.right(), area.right());
  EXPECT_GE(frame.left(), area.left());
  EXPECT_TRUE(frame.bottom() <= area.bottom() || frame.top() == area.top());
}

// A game window opens where the user left the last one of its kind, and
// beside the main window while none was left anywhere.
TEST_F(Match, AGameWindowOpensWhereTheLastOfItsKindWasLeft) {
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  alice.mainFrame = QRect(area.left(), area.top(), 300, 500);
  alice.panes = QRect(area.left() + 4, area.top() + 40, 200, 400);
  alice.keepsPlaces = true;
  Start();
  GameWindow* first = alice.Window();
  EXPECT_EQ(first->frameGeometry().topLeft(), QPoint(area.left() + 300 + 24, area.top() + 40 + 24));
  const QPoint left(area.left() + 50, area.top() + 70);
  first->move(left);
  first->close();
  ASSERT_EQ(alice.places.count(GameKind::Checkers), 1u);
  EXPECT_EQ(alice.places[GameKind::Checkers], left);
  bob.channel.CloseAllGames();
  QApplication::processEvents();

  Start();
  // bob's window, in this same program, is open already: one step further.
  EXPECT_EQ(alice.Window()->pos(), left + QPoint(24, 24));
  EXPECT_EQ(alice.places.count(GameKind::Chess), 0u);
}

TEST_F(Match, TurningTheBoardMirrorsWhatIsHit) {
  Start();
  GameWindow& a = *alice.Window();
  Child<QCheckBox>(a, "TurnBoard")->click();
  EXPECT_FALSE(a.SeenFromWhite());
  // c3 is now where f6 was seen from White; the drag still finds c3.
  const QPoint c3 = CentreOf(a, Sq("c3"));
  EXPECT_EQ(c3, QPoint(SquareCorner(a.Geometry(), true, Sq("f6")).x + 17, SquareCorner(a.Geometry(), true, Sq("f6")).y + 17));
  Drag(a, "c3", "b4");
  EXPECT_EQ(alice.channel.Find(GameKind::Checkers, "bob")->MoveCount(), 1);
}

TEST_F(Match, ReplayShowsEarlierPositionsAndMovesArrivingMeanwhileWait) {
  Start();
  GameWindow& a = *alice.Window();
  GameWindow& b = *bob.Window();
  Drag(a, "c3", "d4");
  ASSERT_TRUE(net.Pump());
  Drag(b, "b6", "a5");
  ASSERT_TRUE(net.Pump());
  Drag(a, "g3", "h4");
  ASSERT_TRUE(net.Pump());
  const Board now = b.ShownBoard();

  Child<QToolButton>(b, "ToStart")->click();
  EXPECT_EQ(b.ShownBoard(), CheckersRules::InitialPosition());
  EXPECT_EQ(b.windowTitle(), "Checkers - your move [Review]");
  EXPECT_FALSE(Child<QToolButton>(b, "ToStart")->isEnabled());
  EXPECT_TRUE(Child<QToolButton>(b, "ToNow")->isEnabled());
  // No move can be made while reviewing.
  Drag(b, "f6", "g5");
  EXPECT_EQ(bob.channel.Find(GameKind::Checkers, "alice")->MoveCount(), 3);
  Child<QToolButton>(b, "MoveFwd")->click();
  EXPECT_EQ(b.ReviewPos(), 1);
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("d4"))], kWhiteMan);
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("c3"))], 0);
  Child<QToolButton>(b, "MoveBack")->click();
  EXPECT_EQ(b.ShownBoard(), CheckersRules::InitialPosition());
  Child<QToolButton>(b, "ToNow")->click();
  EXPECT_EQ(b.ShownBoard(), now);
  EXPECT_EQ(b.windowTitle(), "Checkers - your move");

  // alice reviews; bob's move arrives and waits for the end of the review.
  Child<QToolButton>(a, "MoveBack")->click();
  EXPECT_EQ(a.ReviewPos(), 2);
  const Board shownToAlice = a.ShownBoard();
  Drag(b, "f6", "g5");
  ASSERT_TRUE(net.Pump());
  EXPECT_EQ(a.ShownBoard(), shownToAlice);
  EXPECT_EQ(a.windowTitle(), "Checkers - your move [Review]");
  // Play runs to the end, which ends the review.
  Child<QToolButton>(a, "Play")->click();
  EXPECT_FALSE(alice.channel.Find(GameKind::Checkers, "bob")->review);
  EXPECT_FALSE(Child<QToolButton>(a, "Play")->isChecked());
  EXPECT_EQ(a.ShownBoard()[size_t(Sq("g5"))], kBlackMan);
  EXPECT_EQ(a.windowTitle(), "Checkers - your move");
}

TEST_F(Match, ChatLineRewritesPicturesSendsAndShowsTheEcho) {
  Start();
  GameWindow& a = *alice.Window();
  auto* enter = Child<QLineEdit>(a, "Enter");
  auto* say = Child<QPushButton>(a, "Say");
  EXPECT_FALSE(say->isEnabled());
  enter->setText("see [img]http://x/p.gif[/img] now");
  EXPECT_EQ(enter->text(), "see <img src=http://x/p.gif> now");
  EXPECT_EQ(enter->cursorPosition(), 28);
  ASSERT_TRUE(say->isEnabled());
  say->click();
  EXPECT_TRUE(enter->text().isEmpty());
  ASSERT_TRUE(net.Pump());
  const auto bobChat = PaneLines(*bob.Window(), "chat");
  ASSERT_FALSE(bobChat.empty());
  EXPECT_TRUE(text::Contains(bobChat.back(), "see <img src=http://x/p.gif> now"));
  const auto own = PaneLines(a, "chat");
  ASSERT_FALSE(own.empty());
  EXPECT_TRUE(text::Contains(own.back(), "<b>alice</b> "));
  EXPECT_TRUE(text::Contains(own.back(), "see <img src=http://x/p.gif> now"));
  // Offline the line cannot be said.
  alice.channel.SetGameOnline(false);
  enter->setText("later");
  EXPECT_FALSE(say->isEnabled());
}

TEST_F(Match, WindowClosedDuringTheSlideOfAnIncomingMove) {
  bob.frameDelay = 30;
  Start();
  Drag(*alice.Window(), "c3", "d4");
  // The move arrives and slides; the user closes the window in the middle.
  QPointer<GameWindow> window = bob.Window();
  QTimer::singleShot(100, window, [window] { window->close(); });
  ASSERT_TRUE(net.Pump());
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
  EXPECT_EQ(bob.channel.Find(GameKind::Checkers, "alice"), nullptr);
  // Closing a running game tells the opponent; the game was kept.
  EXPECT_EQ(net.SentBy("bob").back(), "I stop the game");
  EXPECT_TRUE(bob.records.Exists(GameKind::Checkers, "alice"));
}

TEST_F(Match, GameReplacedDuringTheSlideOfAnIncomingMove) {
  bob.frameDelay = 30;
  Start();
  Drag(*alice.Window(), "c3", "d4");
  QPointer<GameWindow> window = bob.Window();
  // Every game closes while the piece is on its way.
  QTimer::singleShot(100, window, [this] { bob.channel.CloseAllGames(); });
  ASSERT_TRUE(net.Pump());
  QApplication::processEvents();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_TRUE(window.isNull());
  EXPECT_EQ(bob.channel.GameCount(GameKind::Checkers), 0u);
}

TEST_F(Match, ReversiIsPlayedByClickingAndRevealed) {
  Start(GameKind::Reversi);
  GameWindow& a = *alice.Window(GameKind::Reversi);
  EXPECT_EQ(a.findChild<QPushButton*>("Draw"), nullptr);
  EXPECT_EQ(a.findChild<QCheckBox*>("TurnBoard"), nullptr);
  // The legal squares are marked while it is alice's move.
  EXPECT_EQ(a.Marks(), (uint64_t{1} << Sq("e3")) | (uint64_t{1} << Sq("f4")) | (uint64_t{1} << Sq("c5")) |
                           (uint64_t{1} << Sq("d6")));
  QTest::mouseClick(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("a1")));
  EXPECT_EQ(alice.channel.Find(GameKind::Reversi, "bob")->MoveCount(), 0);
  QTest::mouseClick(BoardOf(a), Qt::LeftButton, {}, CentreOf(a, Sq("e3")));
  EXPECT_EQ(net.SentBy("alice").back(), "1:WE3");
  ASSERT_TRUE(net.Pump());
  GameWindow& b = *bob.Window(GameKind::Reversi);
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("e3"))], kWhiteDisc);
  EXPECT_EQ(b.ShownBoard()[size_t(Sq("e4"))], kWhiteDisc);
  EXPECT_FALSE(b.Busy());
  EXPECT_EQ(b.windowTitle(), "Reversi - your move");
}

TEST(PromotionChooser, OnlyAChoiceEndsItAndGivesThePieceOfThatColour) {
  // Escape and closing are refused; then the rook's box (F1) is pressed.
  QTimer::singleShot(20, [] {
    QWidget* open = QApplication::activeModalWidget();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(open->windowTitle(), "Choose");
    EXPECT_EQ(open->size(), QSize(160, 175));
    QTest::keyClick(open, Qt::Key_Escape);
    open->close();
    QTimer::singleShot(20, [] {
      QWidget* still = QApplication::activeModalWidget();
      ASSERT_NE(still, nullptr);
      QTest::mouseClick(still->findChild<QWidget*>("F1"), Qt::LeftButton);
    });
  });
  EXPECT_EQ(PromotionChooser::Choose(false, false), 8);  // black rook
  // F2 to F4: knight, bishop, queen.
  for (const auto& [box, piece] : {std::pair{"F2", 3}, std::pair{"F3", 4}, std::pair{"F4", 5}}) {
    QTimer::singleShot(20, [box = box] {
      QWidget* open = QApplication::activeModalWidget();
      EXPECT_EQ(open->windowTitle(), QString::fromUtf8("Выберите"));
      QTest::mouseClick(open->findChild<QWidget*>(box), Qt::LeftButton);
    });
    EXPECT_EQ(PromotionChooser::Choose(true, true), piece) << box;
  }
}

// A chooser whose game window goes away while it is open gives up with no
// piece instead of staying on the screen for a board that is gone.
TEST(PromotionChooser, TheKeyboardChoosesAndAScreenReaderNamesThePieces) {
  // The queen has the keyboard first; Tab goes on to the rook, Space takes it.
  QTimer::singleShot(20, [] {
    QWidget* open = QApplication::activeModalWidget();
    ASSERT_NE(open, nullptr);
    QWidget* queen = open->findChild<QWidget*>("F4");
    EXPECT_EQ(QApplication::focusWidget(), queen);
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(queen);
    EXPECT_EQ(face->role(), QAccessible::Button);
    EXPECT_EQ(face->text(QAccessible::Name), "white queen");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), open->findChild<QWidget*>("F1"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
  });
  EXPECT_EQ(PromotionChooser::Choose(true, false), 2);  // white rook
  QTimer::singleShot(20, [] {
    QWidget* open = QApplication::activeModalWidget();
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(open->findChild<QWidget*>("F3"))->text(QAccessible::Name),
              QString::fromUtf8("черный слон"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  });
  EXPECT_EQ(PromotionChooser::Choose(false, true), 11);  // black queen
}

TEST(PromotionChooser, GivesUpWhenItsWindowIsDestroyed) {
  auto* window = new QWidget;
  QTimer::singleShot(20, window, [window] {
    ASSERT_NE(QApplication::activeModalWidget(), nullptr);
    delete window;
  });
  EXPECT_EQ(PromotionChooser::Choose(true, false, window), 0);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// Its window closing (the game ended, the program quits) ends the choice
// too; the program's quitting would end the dialog's loop, which must not
// open it again.
TEST(PromotionChooser, GivesUpWhenItsWindowCloses) {
  QWidget window;
  window.show();
  QTimer::singleShot(20, &window, [&window] {
    ASSERT_NE(QApplication::activeModalWidget(), nullptr);
    window.close();
  });
  EXPECT_EQ(PromotionChooser::Choose(true, false, &window), 0);
  EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}
