// What a screen reader sees of a game window and its board: a list named after the game
// and whose move it is, with one item per square in reading order (top-left
// first, as the player sees the board), each named by its coordinate and
// piece.  The keyboard's square is the focused item, the piece in the hand
// the selected one, and the squares it may go to say so.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <array>

#include "games/board_geometry.h"
#include "games/ui/board_area.h"
#include "games/ui/game_window.h"

namespace games {
namespace {

class BoardAccessible : public QAccessibleWidget {
 public:
  explicit BoardAccessible(BoardArea* board) : QAccessibleWidget(board, QAccessible::List) {}
  ~BoardAccessible() override {
    for (QAccessible::Id id : ids_)
      if (id) QAccessible::deleteAccessibleInterface(id);
  }

  BoardArea* Board() const { return static_cast<BoardArea*>(widget()); }
  GameWindow& Window() const { return Board()->Window(); }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) return Window().BoardName();
    return QAccessibleWidget::text(t);
  }
  int childCount() const override { return 64; }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override {
    for (int i = 0; i < 64; ++i)
      if (ids_[size_t(i)] && QAccessible::accessibleInterface(ids_[size_t(i)]) == child) return i;
    return -1;
  }
  QAccessibleInterface* childAt(int x, int y) const override {
    const QPoint local = Board()->mapFromGlobal(QPoint(x, y));
    const BoardGeometry& g = Window().Geometry();
    const int column = (local.x() - g.frame) / g.square, row = (local.y() - g.frame) / g.square;
    if (local.x() < g.frame || local.y() < g.frame || column > 7 || row > 7) return nullptr;
    return child(row * 8 + column);
  }
  QAccessibleInterface* focusChild() const override {
    const int cursor = Window().Cursor();
    return Board()->hasFocus() && cursor >= 0 ? child(ScreenOrder(Window().SeenFromWhite(), cursor)) : nullptr;
  }

 private:
  mutable std::array<QAccessible::Id, 64> ids_{};
};

class SquareAccessible : public QAccessibleInterface {
 public:
  SquareAccessible(BoardArea* board, int index) : board_(board), index_(index) {}

  bool isValid() const override { return !board_.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return board_ ? board_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(board_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    if (!board_) return QString();
    GameWindow& w = board_->Window();
    if (t == QAccessible::Name) return w.SquareName(Square());
    if (t == QAccessible::Description && (w.Marks() >> Square() & 1))
      return w.Russian() ? QString::fromUtf8("можно пойти") : QStringLiteral("can move here");
    return QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    if (!board_) return QRect();
    const BoardGeometry& g = board_->Window().Geometry();
    const Point c = SquareCorner(g, board_->Window().SeenFromWhite(), Square());
    return QRect(board_->mapToGlobal(QPoint(c.x, c.y)), QSize(g.square, g.square));
  }
  QAccessible::Role role() const override { return QAccessible::ListItem; }
  QAccessible::State state() const override {
    QAccessible::State s;
    if (!board_) {
      s.invalid = true;
      return s;
    }
    s.focusable = true;
    s.selectable = true;
    s.focused = board_->hasFocus() && board_->Window().Cursor() == Square();
    s.selected = board_->Window().PickedUp() == Square();
    return s;
  }

 private:
  int Square() const { return ScreenOrder(board_->Window().SeenFromWhite(), index_); }

  QPointer<BoardArea> board_;
  int index_;
};

QAccessibleInterface* BoardAccessible::child(int index) const {
  if (index < 0 || index >= 64) return nullptr;
  QAccessible::Id& id = ids_[size_t(index)];
  if (!id) id = QAccessible::registerAccessibleInterface(new SquareAccessible(Board(), index));
  return QAccessible::accessibleInterface(id);
}

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (!object || !object->isWidgetType()) return nullptr;
  if (className == QLatin1String("games::BoardArea")) return new BoardAccessible(static_cast<BoardArea*>(object));
  // A game window is a plain widget: without this it would be read as a
  // filler rather than a window with its title.
  if (className == QLatin1String("games::GameWindow"))
    return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::Window);
  return nullptr;
}

}  // namespace

void InstallBoardAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    return true;
  }();
  (void)installed;
}

}  // namespace games
