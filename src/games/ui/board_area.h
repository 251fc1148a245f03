#pragma once
// The paint box of a game window: copies the window's bitmap, draws the
// dragged or sliding piece and the keyboard's cursor over it, and hands
// mouse and key events to the window.
#include <QWidget>

namespace games {

class GameWindow;

class BoardArea : public QWidget {
  Q_OBJECT

 public:
  BoardArea(GameWindow& window, QWidget* parent);
  GameWindow& Window() const { return window_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 private:
  GameWindow& window_;
};

// Makes screen readers see a board as its game, position and squares.
void InstallBoardAccessibility();

}  // namespace games
