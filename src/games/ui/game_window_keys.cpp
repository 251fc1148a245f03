// The game board from the keyboard and for screen readers: the cursor the
// arrows move, picking up and putting down with Space or Enter (the same
// two steps a drag takes), the names a screen reader reads, and the frame
// on the opponent's last move.
#include <QAccessible>
#include <QKeyEvent>
#include <QPointer>

#include "games/board_speech.h"
#include "games/game.h"
#include "games/ui/board_area.h"
#include "games/ui/game_window.h"

namespace games {
namespace {

bool Has(uint64_t set, int square) { return square >= 0 && square < 64 && (set >> square & 1); }

}  // namespace

void BoardArea::keyPressEvent(QKeyEvent* event) {
  if (!window_.BoardKey(event->key())) QWidget::keyPressEvent(event);
}

void BoardArea::focusInEvent(QFocusEvent* event) {
  QWidget::focusInEvent(event);
  if (event->reason() != Qt::MouseFocusReason && event->reason() != Qt::ActiveWindowFocusReason)
    window_.cursorShown_ = true;
  window_.BoardFocused();
}

void BoardArea::focusOutEvent(QFocusEvent* event) {
  QWidget::focusOutEvent(event);
  update();
}

uint64_t GameWindow::LastMoveSquares() const {
  if (!game_ || game_->review || lastMoveIndex_ < 0 || lastMoveIndex_ != game_->MoveCount() - 1) return 0;
  uint64_t squares = 0;
  const std::vector<games::Slide> slides = game_->Rules().SlidesOf(lastMoveIndex_);
  for (size_t i = 0; i < slides.size(); ++i) {
    if (i == 0 && kind_ != GameKind::Reversi) squares |= uint64_t(1) << slides[i].from;
    squares |= uint64_t(1) << slides[i].to;
    if (kind_ == GameKind::Reversi) break;  // the placed disc; the rest are flips
  }
  return squares;
}

QString GameWindow::BoardName() const {
  if (!game_) return windowTitle();
  const BoardRules& rules = game_->Rules();
  return QString::fromUtf8(
      BoardSpeech(kind_, game_->Running(), rules.ToMove(), rules.Result(), context_.russian()).c_str());
}

QString GameWindow::SquareName(int square) const {
  if (square < 0 || square >= 64) return QString();
  const int8_t piece = dragging_ && square == dragFrom_ ? dragPiece_ : ShownBoard()[size_t(square)];
  return QString::fromUtf8(SquareSpeech(kind_, square, piece, context_.russian()).c_str());
}

void GameWindow::AnnounceBoard(bool cursor) {
  if (!QAccessible::isActive()) return;
  const QString name = BoardName();
  if (name != spokenName_) {
    spokenName_ = name;
    QAccessibleEvent changed(board_, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&changed);
  }
  // The square under the cursor is spoken when the cursor moves or what is
  // on it changes by a key, not at every repaint.
  if (cursor && board_->hasFocus() && cursor_ >= 0) {
    QAccessibleEvent focus(board_, QAccessible::Focus);
    focus.setChild(ScreenOrder(SeenFromWhite(), cursor_));
    QAccessible::updateAccessibility(&focus);
  }
}

QPoint GameWindow::PieceCentre(int square) const {
  const Point p = PieceCorner(geometry_, SeenFromWhite(), square);
  return {p.x + geometry_.pieceWidth / 2, p.y + geometry_.pieceHeight / 2};
}

void GameWindow::BoardFocused() {
  if (cursor_ < 0) {
    // The first piece that can move, in reading order from the player's
    // side; else the bottom-left square.
    const bool fromWhite = SeenFromWhite();
    cursor_ = ScreenOrder(fromWhite, 56);
    bool found = false;
    for (int row = 7; row >= 0 && !found; --row)
      for (int column = 0; column < 8 && !found; ++column) {
        const int s = ScreenOrder(fromWhite, row * 8 + column);
        found = kind_ == GameKind::Reversi ? Has(marks_, s) : masks_.Movable(s);
        if (found) cursor_ = s;
      }
  }
  board_->update();
  AnnounceBoard(true);
}

void GameWindow::MoveCursor(int columns, int rows) {
  cursor_ = ScreenStep(SeenFromWhite(), cursor_ < 0 ? 0 : cursor_, columns, rows);
  if (dragging_) dragPoint_ = PieceCentre(cursor_);
  board_->update();
  AnnounceBoard(true);
}

bool GameWindow::BoardKey(int key) {
  if (key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_Up || key == Qt::Key_Down ||
      key == Qt::Key_Space || key == Qt::Key_Return || key == Qt::Key_Enter)
    cursorShown_ = true;
  switch (key) {
    case Qt::Key_Left: MoveCursor(-1, 0); return true;
    case Qt::Key_Right: MoveCursor(1, 0); return true;
    case Qt::Key_Up: MoveCursor(0, -1); return true;
    case Qt::Key_Down: MoveCursor(0, 1); return true;
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      if (cursor_ < 0) BoardFocused();
      QPointer<GameWindow> self(this);
      if (dragging_) PutDown(cursor_);
      else PickUp(cursor_, PieceCentre(cursor_));
      if (self) {
        board_->update();
        AnnounceBoard(true);
      }
      return true;
    }
    case Qt::Key_Escape:
      if (!dragging_) return false;
      PutDown(-1);
      return true;
    default: return false;
  }
}

}  // namespace games
