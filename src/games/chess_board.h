#pragma once
// Chess pieces, squares and the record of one played move.
//
// A board is 64 signed bytes indexed row * 8 + column (column 0 is file a,
// row 0 is rank 1).  0 is an empty square; White's pieces are 1 pawn,
// 2 rook, 3 knight, 4 bishop, 5 queen, 6 king and Black's the same plus 6.
#include <cstdint>

#include "games/board_rules.h"

namespace games::chess {

// Piece types are White's codes; a black piece is its type + 6.
inline constexpr int8_t kEmpty = 0;
inline constexpr int8_t kPawn = 1;
inline constexpr int8_t kRook = 2;
inline constexpr int8_t kKnight = 3;
inline constexpr int8_t kBishop = 4;
inline constexpr int8_t kQueen = 5;
inline constexpr int8_t kKing = 6;

inline constexpr int8_t CodeOf(int8_t type, Side side) {
  return static_cast<int8_t>(side == Side::Black ? type + 6 : type);
}
inline constexpr int8_t TypeOf(int8_t code) { return static_cast<int8_t>(code > 6 ? code - 6 : code); }
inline constexpr Side SideOf(int8_t code) { return code > 6 ? Side::Black : Side::White; }
inline constexpr bool IsOwn(int8_t code, Side side) {
  return code != kEmpty && (code > 6) == (side == Side::Black);
}
inline constexpr bool IsOpponent(int8_t code, Side side) {
  return code != kEmpty && (code > 6) != (side == Side::Black);
}

// The row a side's pieces start on and the row its pawns promote on.
inline constexpr int HomeRow(Side side) { return side == Side::White ? 0 : 7; }
inline constexpr int PromotionRow(Side side) { return side == Side::White ? 7 : 0; }

// What a move did to the opponent, written into the move list.
enum class Mark : int8_t { None = 0, Check = 1, Checkmate = 2, Stalemate = 3 };

// One move of a game's history.
struct ChessMove {
  int8_t fromCol = 0, fromRow = 0;
  int8_t toCol = 0, toRow = 0;
  int8_t piece = kEmpty;     // the moving piece (for a promotion, the pawn)
  int8_t captured = kEmpty;  // what stood on the target square
  int8_t extra = kEmpty;     // promotion: the new piece; en passant: the pawn taken
  Mark mark = Mark::None;

  int From() const { return SquareAt(fromCol, fromRow); }
  int To() const { return SquareAt(toCol, toRow); }
  bool IsCastling() const {
    return TypeOf(piece) == kKing && (toCol - fromCol == 2 || fromCol - toCol == 2);
  }
  bool IsPromotion() const { return TypeOf(piece) == kPawn && (toRow == 0 || toRow == 7); }
  bool IsEnPassant() const {
    return TypeOf(piece) == kPawn && captured == kEmpty && fromCol != toCol;
  }
};

void InitialBoard(Board& board);

// Plays a recorded move onto a bare board, as the replay of a game does:
// the piece (or its promotion), the pawn taken en passant, the castling rook.
void ApplyToBoard(Board& board, const ChessMove& move);

}  // namespace games::chess
