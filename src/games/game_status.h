#pragma once
// What a game window shows besides the board: its caption and which of its
// buttons are enabled, from the game's state.  No Qt.
#include <string>

namespace games {

class Game;

// The name part, the text of the state, and " [Просмотр]" / " [Review]"
// while the game is in review.
std::string StatusCaption(const Game& game, bool russian);

struct ControlStates {
  bool toStart = false, moveBack = false;        // an earlier position exists
  bool play = false, moveFwd = false, toNow = false;  // a later one exists
  bool onceMore = false, ping = false, draw = false, surrender = false;
};

// `shownMoves` is the number of moves on the board being shown (the review
// position while in review).
ControlStates ControlStatesOf(const Game& game, int shownMoves);

}  // namespace games
