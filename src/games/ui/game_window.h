#pragma once
// GameWindow: one game against one opponent on screen.  The board painted
// into one off-screen bitmap, dragging (checkers, chess) or clicking
// (reversi) a move, the move list, replay of earlier positions, the game
// chat and the game buttons.  The game and its messages belong to the game
// channel; the window shows the game and forwards the player's actions.
// CheckersWindow, ChessWindow and ReversiWindow set it up per game.
#include <QPixmap>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "games/board_geometry.h"
#include "games/game_view.h"

class QCheckBox;
class QLineEdit;
class QPushButton;
class QSplitter;
class QToolButton;

namespace markup {
class MarkupView;
}

namespace games {

class BoardArea;
class Game;
class GameChannel;

// What a game window needs from the program around it.
struct GameWindowContext {
  std::function<bool()> russian;
  std::function<bool()> hilightMoves;
  std::function<int()> fontSize;
  // Height of the screen the window opens on; the big board needs 700.
  std::function<int()> screenHeight;
  // The chat pane's copy command (the main window's copy handler).
  std::function<void(const std::string&)> copyText;
  // Chess: the code of the piece a pawn of that colour becomes, or 0 when
  // no choice came (the window went away or the program quits meanwhile).
  std::function<int8_t(bool white, QObject* window)> choosePromotion;
  // The main window's frame and its panes on the screen: a new game window
  // opens beside them, not over the menu bar or the online list.
  std::function<QRect()> mainFrame;
  std::function<QRect()> panes;
  // Where the user left the last window of this kind: a new one opens there
  // (`offset` pixels down and right, inside the screens) when a place is
  // kept, and tells its place when it closes.
  std::function<bool(GameKind, QWidget&, int offset)> restorePlace;
  std::function<void(GameKind, const QWidget&)> keepPlace;
  // Pause between animation frames (the reversi reveal takes 2/3 of it).
  int frameDelayMs = 30;
};

// Where the buttons of one game sit.
struct GameWindowLayout {
  const char* captionRu;
  const char* captionEn;
  QRect surrender, draw, onceMore, ping;  // an empty rectangle: no such button
  bool turnBoard = true;
};

class GameWindow : public QWidget, public GameView {
  Q_OBJECT

 public:
  GameWindow(Game& game, GameChannel& channel, GameWindowContext context, const GameWindowLayout& layout,
             QWidget* parent = nullptr);
  ~GameWindow() override;

  // The window of `game`'s kind, shown.
  static GameWindow* Open(Game& game, GameChannel& channel, GameWindowContext context);

  // GameView
  void GameChanged() override;
  void MoveListChanged() override;
  void ChatLine(const std::string& markup, uint32_t textColor, uint32_t backColor) override;
  void ChatAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) override;
  void OpponentMoved(int index) override;
  void GameClosed() override;

  // Moves the window where the last one of its kind was left, or else
  // beside the main window's panes; inside the screen either way.
  void PlaceAtOpening();
  void PlaceBesideMain(int others);
  // Every caption in the current language, then the status.
  void Retitle();
  // Repaints the board (a settings change).
  void Redraw();

  // What the window shows, for the program and its tests.
  Game* ShownGame() const { return game_; }
  bool Busy() const { return busy_; }
  // A piece slides or a reveal spreads right now.
  bool Animating() const { return under_.has_value() || revealed_.has_value(); }
  int ReviewPos() const { return reviewPos_; }
  bool BigBoard() const { return bigBoard_; }
  bool SeenFromWhite() const;
  const BoardGeometry& Geometry() const { return geometry_; }
  const QPixmap& Bitmap() const { return bitmap_; }
  uint64_t Marks() const { return marks_; }
  // The position painted now (the review position while in review).
  Board ShownBoard() const;
  // The keyboard's square on the board (-1: none yet), and the squares of
  // the opponent's last move, marked until the next move.
  int Cursor() const { return cursor_; }
  // The square of the piece in the hand (dragged or picked up), or -1.
  int PickedUp() const { return dragging_ ? dragFrom_ : -1; }
  bool Russian() const { return context_.russian(); }
  uint64_t LastMoveSquares() const;
  // What a screen reader says of the board and of one square.
  QString BoardName() const;
  QString SquareName(int square) const;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

 private:
  friend class BoardArea;

  void BuildControls(const GameWindowLayout& layout);
  void Relayout();
  void UpdateStatus();
  void PaintBoard();
  void RefreshMasks();

  // Board events (points in the board's coordinates).
  void BoardMouseDown(QPoint p);
  void BoardMouseMove(QPoint p);
  void BoardMouseUp(QPoint p);
  // Arrows move the cursor, Space or Enter picks up and puts down, Escape
  // puts the piece back: the mouse's moves through the same two steps.
  bool BoardKey(int key);
  void BoardFocused();
  // Takes the piece on `square` into the hand (the drag), or plays a
  // reversi disc there; `at` is where the piece is drawn meanwhile.
  void PickUp(int square, QPoint at);
  // Puts the piece in the hand on `square`: the move when the rules allow
  // it there, else back where it came from.
  void PutDown(int square);
  void MoveCursor(int columns, int rows);
  QPoint PieceCentre(int square) const;
  // Tells a screen reader the board's new name, and with `cursor` the
  // square under the keyboard's cursor.
  void AnnounceBoard(bool cursor = false);
  void PlayLocal(int from, int to);

  // Replay.
  void ToStartClick();
  void MoveBackClick();
  void PlayClick();
  void MoveFwdClick();
  void ToNowClick();
  void ReleasePlay();
  void StepForward();
  void StepBack();

  // Animations; false when the window or its game went away meanwhile.
  bool Slide(int from, int to, int8_t piece, const Board& under);
  bool Reveal(int square, const Board& before, const Board& after);
  bool Pause(int ms);
  bool Alive(const QPointer<GameWindow>& self) const { return self && game_; }
  // The two check boxes are off while something animates.
  void HoldChecks(bool hold);

  void BigSizeClick();
  void TurnBoardClick();
  void EnterChange();
  void SayClick();

  Game* game_;
  GameChannel& channel_;
  GameWindowContext context_;
  GameKind kind_;
  std::string opponent_;

  BoardGeometry geometry_;
  QPixmap bitmap_;
  bool bigBoard_ = false;
  bool turned_ = false;
  bool busy_ = false;
  bool closedByGame_ = false;
  Board reviewBoard_{};
  int reviewPos_ = 0;
  uint64_t marks_ = 0;
  MoveMasks masks_;
  int cursor_ = -1;
  bool cursorShown_ = false;  // the board was reached or used by the keyboard
  int lastMoveIndex_ = -1;  // the opponent's last move in the history
  QString spokenName_;      // the board's name a screen reader last heard
  // Dragging a piece.
  bool dragging_ = false;
  int dragFrom_ = -1;
  int8_t dragPiece_ = 0;
  QPoint dragPoint_;
  // While a piece slides: the position under it and where it is drawn.
  std::optional<Board> under_;
  int8_t slidePiece_ = 0;
  QPoint slidePoint_;
  // The reveal paints only the part of the bitmap it has reached.
  std::optional<QRect> revealed_;
  QPixmap revealBase_;
  int holds_ = 0;
  bool bigWasEnabled_ = true, turnWasEnabled_ = true;

  // Controls, by their object names.
  BoardArea* board_ = nullptr;
  QWidget* brdPanel_ = nullptr;
  QWidget* controls_ = nullptr;
  QWidget* brdPan_ = nullptr;
  QWidget* rPan_ = nullptr;
  QWidget* chatPan_ = nullptr;
  QSplitter* splitter_ = nullptr;
  markup::MarkupView* movetbl_ = nullptr;
  markup::MarkupView* chat_ = nullptr;
  std::array<QToolButton*, 5> replay_{};  // ToStart, MoveBack, Play, MoveFwd, ToNow
  QCheckBox* bigSize_ = nullptr;
  QCheckBox* turnBoard_ = nullptr;
  QPushButton* surrender_ = nullptr;
  QPushButton* draw_ = nullptr;
  QPushButton* onceMore_ = nullptr;
  QPushButton* ping_ = nullptr;
  QLineEdit* enter_ = nullptr;
  QPushButton* say_ = nullptr;
  const char* captionRu_;
  const char* captionEn_;
};

}  // namespace games
