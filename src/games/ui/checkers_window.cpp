#include "games/ui/checkers_window.h"

#include "games/game.h"

namespace games {

const GameWindowLayout CheckersWindow::kLayout{"Шашки", "Checkers", QRect(113, 25, 65, 20), QRect(181, 25, 50, 20),
                                               QRect(234, 25, 69, 20), QRect(234, 3, 69, 20), true};
const GameWindowLayout ChessWindow::kLayout{"Шахматы", "Chess", QRect(120, 25, 72, 20), QRect(196, 25, 58, 20),
                                            QRect(258, 25, 69, 20), QRect(258, 3, 69, 20), true};
const GameWindowLayout ReversiWindow::kLayout{"Реверси", "Reversi", QRect(167, 25, 65, 20), QRect(),
                                              QRect(234, 25, 69, 20), QRect(234, 3, 69, 20), false};

CheckersWindow::CheckersWindow(Game& game, GameChannel& channel, GameWindowContext context, QWidget* parent)
    : GameWindow(game, channel, std::move(context), kLayout, parent) {}

ChessWindow::ChessWindow(Game& game, GameChannel& channel, GameWindowContext context, QWidget* parent)
    : GameWindow(game, channel, std::move(context), kLayout, parent) {}

ReversiWindow::ReversiWindow(Game& game, GameChannel& channel, GameWindowContext context, QWidget* parent)
    : GameWindow(game, channel, std::move(context), kLayout, parent) {}

GameWindow* GameWindow::Open(Game& game, GameChannel& channel, GameWindowContext context) {
  GameWindow* window = nullptr;
  switch (game.Kind()) {
    case GameKind::Checkers: window = new CheckersWindow(game, channel, std::move(context)); break;
    case GameKind::Chess: window = new ChessWindow(game, channel, std::move(context)); break;
    case GameKind::Reversi: window = new ReversiWindow(game, channel, std::move(context)); break;
  }
  window->PlaceAtOpening();
  window->show();
  window->Redraw();
  return window;
}

}  // namespace games
