#pragma once
// One game against one opponent, as both the channel and the window see it:
// who plays which colour, the state, the rules with the moves so far, and
// the move list.  No Qt.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "games/board_rules.h"
#include "games/game_kind.h"

namespace games {

class GameView;

// GameState values as the local player sees them.
enum : int8_t {
  kOwnMove = 0,
  kOpponentMove = 1,
  kWon = 2,
  kLost = 3,
  kOpponentSurrendered = 4,
  kSurrendered = 5,
  kDrawState = 100,        // checkers, reversi: draw; chess: stalemate
  kAgreedChessDraw = 101,  // chess only
};

// The state as the other side sees it: 0<->1, 2<->3, 4<->5; 100 and 101 stay.
inline int8_t Mirrored(int8_t state) { return state < 100 ? static_cast<int8_t>(state ^ 1) : state; }

struct MarkupLine {
  std::string markup;
  uint32_t textColor = 0x000000;
  uint32_t backColor = 0xFFFFFF;
  bool operator==(const MarkupLine&) const = default;
};

class Game {
 public:
  // A new game: "W;0" for white, "B;1" for black.
  Game(GameKind kind, std::string opponent, bool white, std::unique_ptr<BoardRules> rules);

  GameKind Kind() const { return kind_; }
  const std::string& Opponent() const { return opponent_; }
  bool White() const { return white_; }
  Side OwnSide() const { return white_ ? Side::White : Side::Black; }
  int8_t State() const { return state_; }
  bool Running() const { return state_ == kOwnMove || state_ == kOpponentMove; }
  const BoardRules& Rules() const { return *rules_; }
  int MoveCount() const { return rules_->MoveCount(); }
  const std::vector<MarkupLine>& MoveList() const { return moveList_; }

  bool review = false;       // the window shows a past position
  bool silentClose = false;  // closing sends nothing
  bool online = false;
  bool drawOffered = false;  // the local player offered a draw in this game
  GameView* view = nullptr;

  // Replaces the game by a PartyText: colour letter, ";", move texts each
  // followed by ";", the state.  Answers whether every move could be played;
  // loading stops at the first one that cannot.
  bool LoadParty(std::string_view party);
  // The PartyText of this game as the opponent loads it.
  std::string PartyTextForOpponent() const;
  // The PartyText as the local player would load it again.
  std::string PartyText() const;

  // The local player's move.  On Complete the move is recorded, the move
  // list and the state follow; `chatNote` gets the end-of-game chat line.
  LocalPlay PlayLocal(int from, int to, int8_t promotion, std::string* chatNote);
  // The opponent's move text; false when it is not the opponent's turn or
  // the text is not a legal move there (nothing changes).
  bool PlayOpponentMove(std::string_view moveText, std::string* chatNote);

  // Ends the game with `state` (surrender, draw) and writes the result line.
  void EndWith(int8_t state);

  // The move message of move `index`: its number, ":", its move text.
  std::string MoveMessage(int index) const;

 private:
  void ListHeader();
  void ListMove();
  void ListResult();
  // After a recorded move: the state by the rules and the chat line.
  void SettleAfterMove(std::string* chatNote);
  int8_t StateByRules() const;

  GameKind kind_;
  std::string opponent_;
  bool white_;
  int8_t state_ = kOwnMove;
  std::unique_ptr<BoardRules> rules_;
  std::vector<MarkupLine> moveList_;
};

// Whether every move of `party` is legal from the initial position.
bool PartyPlaysWholly(GameKind kind, std::string_view party);

}  // namespace games
