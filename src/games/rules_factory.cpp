#include "games/board_rules.h"

namespace games {

std::unique_ptr<BoardRules> MakeRules(GameKind kind) {
  switch (kind) {
    case GameKind::Checkers: return MakeCheckersRules();
    case GameKind::Chess: return MakeChessRules();
    case GameKind::Reversi: return MakeReversiRules();
  }
  return nullptr;
}

}  // namespace games
