#pragma once
// The rules of chess over one game: the position, the history of moves,
// legal move generation (every candidate is made, the own king tested with
// Attacked, and unmade), castling, en passant, promotion, and the marks of
// check, mate and stalemate.  No Qt: the game channel, the game window and
// the perft tool all use this same class through BoardRules.
#include <cstdint>
#include <optional>
#include <vector>

#include "games/chess_board.h"

namespace games::chess {

class ChessRules final : public BoardRules {
 public:
  // Enough for any position with at most 16 pieces a side (16 queens).
  static constexpr int kMaxMoves = 448;

  struct Step {
    int8_t from, to;
  };
  // Legal (piece, target) pairs; a promotion is one pair whatever the new piece.
  struct MoveList {
    Step steps[kMaxMoves];
    int count = 0;
    int promotions = 0;  // how many of the pairs promote a pawn
  };

  // What MakeMove changed besides the moving piece, so UnmakeMove can put it back.
  struct Undo {
    int8_t piece;         // the piece that left the source (before promotion)
    int8_t captured;      // what stood on the target
    int8_t epSquare;      // square of the pawn taken en passant, or -1
    int8_t epPawn;        // that pawn
    int8_t rookFrom, rookTo;  // the castling rook's move, or -1
    int8_t kingSquare;    // the mover's king square before the move
    uint8_t castleBlocked;
    bool recorded;
  };

  ChessRules();

  // BoardRules.  The masks behind MovableSquares and TargetsOf always
  // belong to the side to move.
  GameKind Kind() const override { return GameKind::Chess; }
  void Reset() override;
  const Board& Position() const override { return board_; }
  Side ToMove() const override { return toMove_; }
  Outcome Result() const override { return outcome_; }
  int MoveCount() const override { return static_cast<int>(history_.size()); }
  uint64_t MovableSquares() const override;
  uint64_t TargetsOf(int from) const override;
  bool NeedsPromotion(int from, int to) const override;
  // `promotion` is the chosen piece's code (either colour's code of the type
  // is taken); a promotion without one is refused.
  LocalPlay PlayLocal(int from, int to, int8_t promotion) override;
  // The text is checked as ReadMoveText does before it is played, with the
  // looser castling rule of received moves: castling is refused after a
  // move that starts on the rook's corner square, not after a capture there.
  bool PlayMoveText(std::string_view text) override;
  std::string MoveText(int index) const override;
  std::string MoveListText(int index) const override;
  // Never before the position the game began from.
  Board PositionAfter(int moves) const override;
  // The king's slide and then, for castling, the rook's.
  std::vector<Slide> SlidesOf(int index) const override;
  // Plies; each promotion counts once per new piece.  As in the published
  // tables, a game that ends before the last ply adds no leaf.
  uint64_t Perft(int depth) override;

  // Any position with its history (the history decides castling and en
  // passant).  Refused, leaving the game unchanged, when a side has not
  // exactly one king or more than 16 pieces, or a pawn stands on row 0 or 7.
  bool LoadPosition(const Board& board, Side toMove, const std::vector<ChessMove>& history);

  int8_t At(int square) const { return board_[square]; }
  const std::vector<ChessMove>& History() const { return history_; }
  int KingSquare(Side side) const { return king_[static_cast<int>(side)]; }

  // Fills the window's masks for `side`: each piece of `side` gets a bit of
  // its own in FromMask of its square (in the order a1, a2, …, h8), and
  // ToMask of a square holds the bits of every piece that may legally move
  // there.  Returns the number of legal (piece, target) pairs.
  int Generate(Side side);
  uint32_t FromMask(int square) const { return fromMask_[square]; }
  uint32_t ToMask(int square) const { return toMask_[square]; }
  // Whether the last Generate allows the move from → to.
  bool MaskAllows(int from, int to) const { return (fromMask_[from] & toMask_[to]) != 0; }

  // Whether a piece of the side opposite `side` attacks `square` (the king
  // aside: its reach is handled where kings move).
  bool Attacked(int square, Side side) const;
  bool InCheck(Side side) const;

  // Every legal (piece, target) pair of `side`, in the order of Generate.
  int GenerateLegal(Side side, MoveList& list);
  bool IsLegal(int from, int to);
  // Whether the legal move from → to brings a pawn to its last row and so
  // needs the choice of a new piece.
  bool IsPromotion(int from, int to) const;

  // Plays a legal move of the side to move and records it with its mark.
  // `promotionType` (kRook … kQueen) is required for a promotion and ignored
  // otherwise.  Returns the recorded move, or nothing when the move is not
  // legal (the game is then unchanged).
  std::optional<ChessMove> Play(int from, int to, int8_t promotionType);
  // How many legal moves the side to move has after the last Play (0 at the
  // end of the game).
  int RepliesAfterLastPlay() const { return lastReplies_; }

  // The move primitives of the legality test; `promotionCode` is the new
  // piece's code for a pawn reaching its last row when recording, 0 to keep
  // a pawn.  Recording appends the move to the history and passes the turn.
  Undo MakeMove(int from, int to, int8_t promotionCode, bool record);
  void UnmakeMove(int from, int to, const Undo& undo);

 private:
  void GeneratePiece(int square, Side side, MoveList& list);
  void AddIfLegal(int from, int to, Side side, MoveList& list);
  void AddCastling(int kingSquare, Side side, MoveList& list);
  bool NextToKing(int square, Side side) const;
  uint64_t PerftNode(int depth);
  static uint8_t CastleBlockOf(const ChessMove& move);
  // Play without the legality test, which the caller made.
  std::optional<ChessMove> Record(int from, int to, int8_t promotionType);
  // Masks and outcome for the side to move.
  void Refresh();

  Board board_;
  Board start_;        // the position the game began from
  size_t startMoves_ = 0;  // history entries that came with a loaded position
  int8_t king_[2];
  Side toMove_ = Side::White;
  // Castling sides ruled out by the history: bit 0 White king side, 1 White
  // queen side, 2 Black king side, 3 Black queen side.
  // The high four bits are the same sides under the rule of received moves.
  uint8_t castleBlocked_ = 0;
  // Castling is judged by the rule of received moves: only a move that
  // starts on the rook's corner square rules it out.
  bool receivedRules_ = false;
  std::vector<ChessMove> history_;
  uint32_t fromMask_[64];
  uint32_t toMask_[64];
  int lastReplies_ = 0;
  Outcome outcome_ = Outcome::Running;
};

}  // namespace games::chess
