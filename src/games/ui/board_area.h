#pragma once
// The paint box of a game window: copies the window's bitmap, draws the
// dragged or sliding piece over it, and hands mouse events to the window.
#include <QWidget>

namespace games {

class GameWindow;

class BoardArea : public QWidget {
 public:
  BoardArea(GameWindow& window, QWidget* parent);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  GameWindow& window_;
};

}  // namespace games
