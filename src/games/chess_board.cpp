#include "games/chess_board.h"

namespace games::chess {

void InitialBoard(Board& board) {
  static constexpr int8_t kBackRow[8] = {kRook, kKnight, kBishop, kQueen, kKing, kBishop, kKnight, kRook};
  for (int square = 0; square < 64; ++square) board[square] = kEmpty;
  for (int col = 0; col < 8; ++col) {
    board[SquareAt(col, 0)] = kBackRow[col];
    board[SquareAt(col, 1)] = kPawn;
    board[SquareAt(col, 6)] = CodeOf(kPawn, Side::Black);
    board[SquareAt(col, 7)] = CodeOf(kBackRow[col], Side::Black);
  }
}

void ApplyToBoard(Board& board, const ChessMove& move) {
  if (move.fromCol < 0 || move.fromCol > 7 || move.fromRow < 0 || move.fromRow > 7 || move.toCol < 0 ||
      move.toCol > 7 || move.toRow < 0 || move.toRow > 7)
    return;
  const int from = move.From();
  const int to = move.To();
  const int8_t piece = board[from];
  board[from] = kEmpty;
  board[to] = move.IsPromotion() && move.extra != kEmpty ? move.extra : piece;
  if (move.IsEnPassant()) board[SquareAt(move.toCol, move.fromRow)] = kEmpty;
  if (move.IsCastling()) {
    const int row = move.fromRow;
    const bool kingSide = move.toCol > move.fromCol;
    const int rookFrom = SquareAt(kingSide ? 7 : 0, row);
    const int rookTo = SquareAt(kingSide ? 5 : 3, row);
    board[rookTo] = board[rookFrom];
    board[rookFrom] = kEmpty;
  }
}

}  // namespace games::chess
