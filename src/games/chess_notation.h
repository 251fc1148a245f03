#pragma once
// The two texts of a chess move: the move text sent to the opponent
// ("PE2-E4", "PE5:+D6", "PB7:RA8Q", "KE1-G1") and the markup shown in the
// move list (red piece letters, "О-О", blue marks).
#include <optional>
#include <string>
#include <string_view>

#include "games/chess_board.h"

namespace games::chess {

class ChessRules;

std::string MoveText(const ChessMove& move);

struct ReadMove {
  int from = 0;
  int to = 0;
  int8_t promotionType = kEmpty;  // kRook … kQueen for a promotion
};

// Reads the move text of a move of the side to move in `rules`.  The text
// comes from a peer, so it must be exactly of the written form and agree
// with the position: the piece letter names the piece on the source square,
// the capture part says what the move takes (":" + letter, ":+" en passant,
// "-" nothing), a promotion letter follows exactly when a pawn reaches its
// last row, and the move is legal.  Otherwise nothing is returned.
std::optional<ReadMove> ReadMoveText(ChessRules& rules, std::string_view text);

// The move's line text in the move list, Windows-1251 markup.
std::string MoveListText(const ChessMove& move);

}  // namespace games::chess
