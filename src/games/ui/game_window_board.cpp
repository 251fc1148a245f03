// The game window's board: painting into the bitmap, the hand cursor,
// dragging and clicking moves, replay of earlier positions, and the slide
// and reveal animations, which survive the window or game going away.
#include <QEventLoop>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QToolButton>

#include "games/ui/board_area.h"
#include "games/game.h"
#include "games/game_channel.h"
#include "games/ui/game_window.h"
#include "games/ui/piece_images.h"

namespace games {
namespace {

// A Windows colour value (red in the low byte).
QColor Win(uint32_t v) { return QColor(int(v & 0xFF), int(v >> 8 & 0xFF), int(v >> 16 & 0xFF)); }

bool Has(uint64_t set, int square) { return square >= 0 && square < 64 && (set >> square & 1); }

// Checkers: the squares a step passes over, from `from` (excluded) towards
// `to` (excluded).
std::vector<int> Between(int from, int to) {
  std::vector<int> squares;
  const int dc = ColumnOf(to) > ColumnOf(from) ? 1 : -1, dr = RowOf(to) > RowOf(from) ? 1 : -1;
  if (std::abs(ColumnOf(to) - ColumnOf(from)) != std::abs(RowOf(to) - RowOf(from))) return squares;
  for (int c = ColumnOf(from) + dc, r = RowOf(from) + dr; c != ColumnOf(to); c += dc, r += dr)
    squares.push_back(SquareAt(c, r));
  return squares;
}

}  // namespace

BoardArea::BoardArea(GameWindow& window, QWidget* parent) : QWidget(parent), window_(window) {
  InstallBoardAccessibility();
  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
}

void BoardArea::paintEvent(QPaintEvent* event) {
  QPainter p(this);
  const GameWindow& w = window_;
  // Whole bitmaps under a clip: a source rectangle would count device
  // pixels on a fine screen.
  p.setClipRect(event->rect());
  if (w.revealed_) {
    p.drawPixmap(0, 0, w.revealBase_);
    p.setClipRect(*w.revealed_ & event->rect());
    p.drawPixmap(0, 0, w.bitmap_);
    return;
  }
  p.drawPixmap(0, 0, w.bitmap_);
  const PieceImages& images = PiecesOf(w.kind_, w.bigBoard_);
  if (w.slidePiece_) {
    if (const QPixmap* piece = images.Piece(w.slidePiece_)) p.drawPixmap(w.slidePoint_, *piece);
  }
  if (hasFocus() && w.cursor_ >= 0 && w.cursorShown_) {
    // The keyboard's square: a wide frame in the highlight colour with a
    // thin one in its text colour inside, so it shows on light and dark
    // squares and follows a high-contrast palette.
    const Point c = SquareCorner(w.geometry_, w.SeenFromWhite(), w.cursor_);
    const QRect square(c.x, c.y, w.geometry_.square, w.geometry_.square);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(palette().color(QPalette::Highlight), 3, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.drawRect(square.adjusted(1, 1, -2, -2));
    p.setPen(QPen(palette().color(QPalette::HighlightedText), 1));
    p.drawRect(square.adjusted(3, 3, -4, -4));
  }
  if (w.dragging_) {
    // The hot spot is the picture's centre.
    if (const QPixmap* piece = images.Piece(w.dragPiece_))
      p.drawPixmap(w.dragPoint_ - QPoint(piece->width() / 2, piece->height() / 2), *piece);
  }
}

void BoardArea::mousePressEvent(QMouseEvent* event) {
  // The mouse plays without the keyboard's cursor until a key is used.
  window_.cursorShown_ = false;
  if (event->button() == Qt::LeftButton) window_.BoardMouseDown(event->position().toPoint());
}

void BoardArea::mouseMoveEvent(QMouseEvent* event) { window_.BoardMouseMove(event->position().toPoint()); }

void BoardArea::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) window_.BoardMouseUp(event->position().toPoint());
}

bool GameWindow::SeenFromWhite() const { return games::SeenFromWhite(kind_, game_ ? game_->White() : true, turned_); }

Board GameWindow::ShownBoard() const {
  if (under_) return *under_;
  if (!game_) return reviewBoard_;
  Board b = game_->review ? reviewBoard_ : game_->Rules().Position();
  if (dragging_ && dragFrom_ >= 0) b[size_t(dragFrom_)] = 0;
  return b;
}

void GameWindow::RefreshMasks() {
  const bool ownMove = game_ && game_->State() == kOwnMove && !game_->review;
  masks_ = ownMove && kind_ != GameKind::Reversi ? MasksOf(game_->Rules()) : MoveMasks{};
  if (kind_ == GameKind::Reversi) marks_ = ownMove ? game_->Rules().MovableSquares() : 0;
}

void GameWindow::Redraw() {
  if (!game_) return;
  RefreshMasks();
  PaintBoard();
  UpdateStatus();
  board_->update();
  AnnounceBoard();
}

void GameWindow::PaintBoard() {
  if (bitmap_.isNull()) return;
  const PieceImages& images = PiecesOf(kind_, bigBoard_);
  const BoardGeometry& g = geometry_;
  const bool fromWhite = SeenFromWhite();
  const bool chess = kind_ == GameKind::Chess;
  QPainter p(&bitmap_);
  // The strips have 1x pixels; on a fine bitmap they are scaled smoothly.
  p.setRenderHint(QPainter::SmoothPixmapTransform);
  if (chess || images.tiles.size() < 5) {
    p.fillRect(QRect(QPoint(), bitmap_.deviceIndependentSize().toSize()), Win(0x808080));
  } else {
    // The frame tile on the ring of squares around the field; only the
    // frame's width of it shows inside the bitmap.
    for (int i = -1; i <= 8; ++i)
      for (const auto& [c, r] : {std::pair{i, -1}, std::pair{i, 8}, std::pair{-1, i}, std::pair{8, i}})
        p.drawPixmap(g.frame + g.square * c, g.frame + g.square * r, images.tiles[2]);
  }
  QFont labels = font();
  labels.setBold(!chess && bigBoard_);
  p.setFont(labels);
  p.setPen(Win(chess ? 0xC1C1C1 : 0x29658D));
  for (const BoardLabel& l : BoardLabels(g, fromWhite))
    p.drawText(QRect(l.x, l.y, 20, 20), Qt::AlignLeft | Qt::AlignTop, QString(QChar(l.text)));

  const bool highlight = context_.hilightMoves() && !game_->review &&
                         (kind_ != GameKind::Reversi || game_->State() == kOwnMove);
  const Board shown = ShownBoard();
  for (int s = 0; s < 64; ++s) {
    const Point corner = SquareCorner(g, fromWhite, s);
    const bool dark = (ColumnOf(s) + RowOf(s)) % 2 == 0;
    const bool marked = highlight && Has(marks_, s);
    if (chess) {
      const uint32_t colour = marked ? (dark ? 0xA0C0A0 : 0xE0FFE0) : (dark ? 0xC0C0C0 : 0xFFFFFF);
      p.fillRect(corner.x, corner.y, g.square, g.square, Win(colour));
    } else if (images.tiles.size() >= 5) {
      p.drawPixmap(corner.x, corner.y, images.tiles[size_t((dark ? 1 : 0) + (marked ? 3 : 0))]);
    }
    if (const QPixmap* piece = images.Piece(shown[size_t(s)]))
      p.drawPixmap(corner.x + (g.square - piece->width()) / 2, corner.y + (g.square - piece->height()) / 2, *piece);
  }
  // The opponent's last move: a frame on the squares it left and reached.
  const uint64_t last = LastMoveSquares();
  if (last != 0) {
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(255, 160, 0), 2, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    for (int s = 0; s < 64; ++s)
      if (Has(last, s)) {
        const Point corner = SquareCorner(g, fromWhite, s);
        p.drawRect(QRect(corner.x + 1, corner.y + 1, g.square - 2, g.square - 2));
      }
  }
}

void GameWindow::BoardMouseDown(QPoint pt) { PickUp(HitTest(geometry_, SeenFromWhite(), pt.x(), pt.y()), pt); }

void GameWindow::PickUp(int s, QPoint pt) {
  if (!game_ || game_->State() != kOwnMove || busy_ || game_->review || dragging_) return;
  if (s < 0) return;
  if (kind_ == GameKind::Reversi) {
    if (Has(game_->Rules().MovableSquares(), s)) PlayLocal(s, s);
    return;
  }
  const Board& b = game_->Rules().Position();
  if (b[size_t(s)] == 0 || masks_.from[size_t(s)] == 0) return;
  marks_ = masks_.TargetsOf(s);
  if (marks_ == 0) return;
  dragging_ = true;
  dragFrom_ = s;
  dragPiece_ = b[size_t(s)];
  dragPoint_ = pt;
  Redraw();
}

void GameWindow::BoardMouseMove(QPoint pt) {
  if (dragging_) {
    dragPoint_ = pt;
    board_->update();
    return;
  }
  bool hand = false;
  if (game_ && game_->State() == kOwnMove && !game_->review) {
    const int s = HitTest(geometry_, SeenFromWhite(), pt.x(), pt.y());
    hand = kind_ == GameKind::Reversi ? Has(game_->Rules().MovableSquares(), s) : s >= 0 && masks_.Movable(s);
  }
  board_->setCursor(hand ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void GameWindow::BoardMouseUp(QPoint pt) {
  if (dragging_) PutDown(HitTest(geometry_, SeenFromWhite(), pt.x(), pt.y()));
}

void GameWindow::PutDown(int s) {
  if (!dragging_) return;
  dragging_ = false;
  const int from = dragFrom_;
  dragFrom_ = -1;
  const bool accepted = Has(marks_, s);
  marks_ = 0;
  if (accepted && game_) PlayLocal(from, s);
  else Redraw();
}

void GameWindow::PlayLocal(int from, int to) {
  QPointer<GameWindow> self(this);
  int8_t promotion = 0;
  if (game_->Rules().NeedsPromotion(from, to)) {
    // While the piece is chosen the pawn stands on its target square.
    Board arrived = game_->Rules().Position();
    arrived[size_t(to)] = arrived[size_t(from)];
    arrived[size_t(from)] = 0;
    under_ = arrived;
    Redraw();
    const bool white = game_->White();
    promotion = context_.choosePromotion ? context_.choosePromotion(white, this) : static_cast<int8_t>(white ? 5 : 11);
    if (!Alive(self)) return;
    under_.reset();
    if (promotion == 0) return Redraw();  // no choice: the pawn goes back
  }
  if (kind_ != GameKind::Reversi) {
    channel_.LocalMove(kind_, opponent_, from, to, promotion);
    if (Alive(self)) Redraw();
    return;
  }
  // Reversi: the move is sent at once; the new position then spreads out
  // from the placed disc.
  const Board before = game_->Rules().Position();
  under_ = before;
  busy_ = true;
  const LocalPlay play = channel_.LocalMove(kind_, opponent_, from, to, 0);
  if (!Alive(self)) return;
  if (play == LocalPlay::Complete && !Reveal(to, before, game_->Rules().Position())) return;
  busy_ = false;
  under_.reset();
  Redraw();
}

bool GameWindow::Pause(int ms) {
  QPointer<GameWindow> self(this);
  QEventLoop loop;
  QTimer::singleShot(std::max(0, ms), &loop, &QEventLoop::quit);
  loop.exec();
  return self && game_;
}

bool GameWindow::Slide(int from, int to, int8_t piece, const Board& under) {
  QPointer<GameWindow> self(this);
  under_ = under;
  HoldChecks(true);
  PaintBoard();
  board_->update();
  const bool fromWhite = SeenFromWhite();
  const Point a = PieceCorner(geometry_, fromWhite, from), b = PieceCorner(geometry_, fromWhite, to);
  const int t = SlideMargin(a, b);
  slidePiece_ = piece;
  for (const Point& at : SlideFrames(a, b)) {
    const QPoint before = slidePoint_;
    slidePoint_ = QPoint(at.x, at.y);
    // The patch reaches one step past the picture, so it wipes out the
    // frame before.
    const QRect patch(at.x - t - 1, at.y - t - 1, geometry_.pieceWidth + 2 * t + 2, geometry_.pieceHeight + 2 * t + 2);
    board_->update(patch.united(QRect(before, QSize(geometry_.pieceWidth, geometry_.pieceHeight))));
    if (!Pause(context_.frameDelayMs)) return false;
  }
  slidePiece_ = 0;
  under_.reset();
  HoldChecks(false);
  return true;
}

bool GameWindow::Reveal(int square, const Board& before, const Board& after) {
  QPointer<GameWindow> self(this);
  HoldChecks(true);
  under_ = before;
  PaintBoard();
  revealBase_ = bitmap_;
  under_ = after;
  PaintBoard();
  const Point corner = SquareCorner(geometry_, true, square);
  const int x = corner.x + geometry_.square / 2, y = corner.y + geometry_.square / 2;
  for (int d : RevealSteps(geometry_, bigBoard_, RevealReach(before, after, square))) {
    revealed_ = QRect(x - d, y - d, 2 * d + 1, 2 * d + 1);
    board_->update();
    if (!Pause(context_.frameDelayMs * 2 / 3)) return false;
  }
  revealed_.reset();
  under_.reset();
  HoldChecks(false);
  return true;
}

void GameWindow::OpponentMoved(int index) {
  if (!game_) return;
  lastMoveIndex_ = index;
  if (game_->review) {
    // Shown when the review ends.
    Redraw();
    return;
  }
  // Lines are handled while an animation waits between its frames, so a
  // move (or a repaired game) can arrive in the middle of one: the running
  // animation shows the position as it is then when it ends.
  if (Animating()) return;
  QPointer<GameWindow> self(this);
  const BoardRules& rules = game_->Rules();
  Board b = rules.PositionAfter(index);
  const std::vector<games::Slide> slides = rules.SlidesOf(index);
  if (kind_ == GameKind::Reversi) {
    if (!slides.empty()) {
      busy_ = true;
      if (!Reveal(slides.front().to, b, rules.PositionAfter(index + 1))) return;
      busy_ = false;
    }
  } else {
    for (const games::Slide& s : slides) {
      b[size_t(s.from)] = 0;
      if (!Slide(s.from, s.to, s.piece, b)) return;
      if (kind_ == GameKind::Checkers) {
        for (int over : Between(s.from, s.to))
          if (b[size_t(over)] != 0) {
            b[size_t(over)] = 0;
            break;
          }
      }
      b[size_t(s.to)] = s.piece;
    }
  }
  GameChanged();
}

void GameWindow::ReleasePlay() { replay_[2]->setChecked(false); }

void GameWindow::ToStartClick() {
  ReleasePlay();
  if (busy_ || !game_) return;
  reviewBoard_ = game_->Rules().PositionAfter(0);
  reviewPos_ = 0;
  game_->review = true;
  Redraw();
}

void GameWindow::MoveBackClick() {
  ReleasePlay();
  if (busy_ || !game_) return;
  if (!game_->review) {
    reviewBoard_ = game_->Rules().Position();
    reviewPos_ = game_->MoveCount();
    game_->review = true;
  }
  StepBack();
}

void GameWindow::MoveFwdClick() {
  ReleasePlay();
  if (!busy_) StepForward();
}

void GameWindow::ToNowClick() {
  ReleasePlay();
  if (busy_ || !game_) return;
  game_->review = false;
  GameChanged();
}

void GameWindow::PlayClick() {
  if (!replay_[2]->isChecked() || busy_) return;
  QPointer<GameWindow> self(this);
  HoldChecks(true);
  while (Alive(self) && game_->review && replay_[2]->isChecked()) {
    StepForward();
    if (!Alive(self)) return;
  }
  HoldChecks(false);
  ReleasePlay();
  UpdateStatus();
}

void GameWindow::StepForward() {
  if (!game_ || !game_->review || busy_) return;
  QPointer<GameWindow> self(this);
  const int i = reviewPos_;
  const BoardRules& rules = game_->Rules();
  if (i >= rules.MoveCount()) {
    game_->review = false;
    GameChanged();
    return;
  }
  busy_ = true;
  UpdateStatus();
  Board b = rules.PositionAfter(i);
  const std::vector<games::Slide> slides = rules.SlidesOf(i);
  if (kind_ == GameKind::Reversi) {
    if (!slides.empty() && !Reveal(slides.front().to, b, rules.PositionAfter(i + 1))) return;
  } else {
    for (const games::Slide& s : slides) {
      b[size_t(s.from)] = 0;
      if (!Slide(s.from, s.to, s.piece, b)) return;
      if (kind_ == GameKind::Checkers)
        for (int over : Between(s.from, s.to))
          if (b[size_t(over)] != 0) {
            b[size_t(over)] = 0;
            break;
          }
      b[size_t(s.to)] = s.piece;
    }
  }
  busy_ = false;
  if (!game_->review) return GameChanged();  // the game was replaced meanwhile
  reviewBoard_ = game_->Rules().PositionAfter(i + 1);
  reviewPos_ = i + 1;
  if (reviewPos_ >= game_->MoveCount()) {
    game_->review = false;
    ReleasePlay();
  }
  GameChanged();
}

void GameWindow::StepBack() {
  if (!game_ || !game_->review || busy_ || reviewPos_ <= 0) return;
  QPointer<GameWindow> self(this);
  const int i = reviewPos_ - 1;
  busy_ = true;
  UpdateStatus();
  const Board earlier = game_->Rules().PositionAfter(i);
  Board b = game_->Rules().PositionAfter(i + 1);
  std::vector<games::Slide> slides = game_->Rules().SlidesOf(i);
  if (kind_ != GameKind::Reversi) {
    for (auto it = slides.rbegin(); it != slides.rend(); ++it) {
      b[size_t(it->to)] = 0;
      if (!Slide(it->to, it->from, it->piece, b)) return;
      b[size_t(it->from)] = it->piece;
      for (int over : Between(it->from, it->to)) b[size_t(over)] = earlier[size_t(over)];  // captured pieces come back
    }
  }
  busy_ = false;
  if (!game_->review) return GameChanged();
  reviewBoard_ = earlier;
  reviewPos_ = i;
  Redraw();
}

}  // namespace games
