#pragma once
// The game windows of the three games: the shared GameWindow with each
// game's caption and button places.  Chess adds the promotion chooser
// (through the context), reversi has no draw and no turning of the board.
#include "games/ui/game_window.h"

namespace games {

class CheckersWindow : public GameWindow {
 public:
  CheckersWindow(Game& game, GameChannel& channel, GameWindowContext context, QWidget* parent = nullptr);
  static const GameWindowLayout kLayout;
};

class ChessWindow : public GameWindow {
 public:
  ChessWindow(Game& game, GameChannel& channel, GameWindowContext context, QWidget* parent = nullptr);
  static const GameWindowLayout kLayout;
};

class ReversiWindow : public GameWindow {
 public:
  ReversiWindow(Game& game, GameChannel& channel, GameWindowContext context, QWidget* parent = nullptr);
  static const GameWindowLayout kLayout;
};

}  // namespace games
