#pragma once
// Test-only: sets up a chess position written in Forsyth-Edwards notation.
//
// The rules know castling and en passant only from the move history, so the
// castling and en-passant fields become history: a right that is missing
// while its king and rook stand at home becomes the rook's trip out of its
// corner and back, and an en-passant square becomes the double step that
// made it.  A right claimed for a king or rook that is not at home cannot be
// written as any history; such a text is refused.
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "games/chess_rules.h"

namespace games::chess::testing {

inline ChessMove HistoryMove(int from, int to, int8_t piece) {
  ChessMove move;
  move.fromCol = static_cast<int8_t>(ColumnOf(from));
  move.fromRow = static_cast<int8_t>(RowOf(from));
  move.toCol = static_cast<int8_t>(ColumnOf(to));
  move.toRow = static_cast<int8_t>(RowOf(to));
  move.piece = piece;
  return move;
}

// Board, side to move, castling rights and en-passant square; the move
// counters are ignored.  Returns an empty text on success, else why not.
inline std::string LoadFen(ChessRules& rules, std::string_view fen) {
  std::istringstream in{std::string(fen)};
  std::string fields[4];
  for (std::string& field : fields)
    if (!(in >> field)) return "fewer than four fields";

  Board board{};
  int row = 7, col = 0;
  for (char c : fields[0]) {
    static constexpr std::string_view kLetters = "PRNBQKprnbqk";
    if (c == '/') {
      if (col != 8 || row == 0) return "bad row";
      --row;
      col = 0;
    } else if (c >= '1' && c <= '8') {
      col += c - '0';
    } else if (kLetters.find(c) != std::string_view::npos && col < 8) {
      const int at = static_cast<int>(kLetters.find(c));
      board[SquareAt(col++, row)] = static_cast<int8_t>(at + 1);  // codes 1-6 White, 7-12 Black
    } else {
      return std::string("bad piece letter ") + c;
    }
    if (col > 8) return "row too long";
  }
  if (row != 0 || col != 8) return "bad board";
  if (fields[1] != "w" && fields[1] != "b") return "bad side";
  const Side toMove = fields[1] == "w" ? Side::White : Side::Black;

  std::vector<ChessMove> history;
  struct Right {
    char letter;
    Side side;
    int rookCol;
  };
  for (const Right right : {Right{'K', Side::White, 7}, Right{'Q', Side::White, 0}, Right{'k', Side::Black, 7},
                            Right{'q', Side::Black, 0}}) {
    const int home = HomeRow(right.side);
    const bool atHome = board[SquareAt(4, home)] == CodeOf(kKing, right.side) &&
                        board[SquareAt(right.rookCol, home)] == CodeOf(kRook, right.side);
    const bool claimed = fields[2].find(right.letter) != std::string::npos;
    if (claimed && !atHome) return std::string("castling right ") + right.letter + " without king and rook at home";
    if (!claimed && atHome) {
      const int corner = SquareAt(right.rookCol, home);
      const int out = SquareAt(right.rookCol, right.side == Side::White ? 1 : 6);
      const int8_t rook = CodeOf(kRook, right.side);
      history.push_back(HistoryMove(corner, out, rook));
      history.push_back(HistoryMove(out, corner, rook));
    }
  }
  if (fields[3] != "-") {
    if (fields[3].size() != 2 || fields[3][0] < 'a' || fields[3][0] > 'h') return "bad en-passant square";
    const int epCol = fields[3][0] - 'a';
    // The pawn that just moved belongs to the side not to move.
    const Side mover = Other(toMove);
    const int dir = mover == Side::White ? 1 : -1;
    const int startRow = mover == Side::White ? 1 : 6;
    if (fields[3][1] != '1' + startRow + dir) return "bad en-passant square";
    history.push_back(HistoryMove(SquareAt(epCol, startRow), SquareAt(epCol, startRow + 2 * dir),
                                  CodeOf(kPawn, mover)));
  }
  if (!rules.LoadPosition(board, toMove, history)) return "position refused by the rules";
  return {};
}

}  // namespace games::chess::testing
