#pragma once
// What a game shows: the game window implements it, the game channel calls
// it.  A view may be missing (no display); the game goes on without it.
#include <cstdint>
#include <string>

namespace games {

class GameView {
 public:
  virtual ~GameView() = default;
  // State, position, online flag or history changed: redraw and update the
  // caption and buttons.
  virtual void GameChanged() = 0;
  // The move list lines of the game were rewritten.
  virtual void MoveListChanged() = 0;
  // A new line in the game chat, and text appended to its last line.
  virtual void ChatLine(const std::string& markup, uint32_t textColor, uint32_t backColor) = 0;
  virtual void ChatAppend(const std::string& markup, uint32_t textColor, uint32_t backColor) = 0;
  // The opponent's move `index` of the history has been played: show it
  // (animated unless the game is in review) and redraw.  This is the only
  // call that may process pending events; the caller touches nothing of the
  // game after it.
  virtual void OpponentMoved(int index) = 0;
  // The game is going away (replaced, or every game closes): the view
  // closes without calling back.
  virtual void GameClosed() = 0;
};

}  // namespace games
