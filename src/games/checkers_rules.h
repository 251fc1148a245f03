#pragma once
// Checkers: men move forward and capture in all four diagonal directions,
// kings fly along the diagonals, capturing is compulsory, a capture goes on
// with the same piece while it can, and a man that reaches the far row
// becomes a king at once, also in the middle of a capture.
#include <array>
#include <vector>

#include "games/board_rules.h"

namespace games {

// Piece codes: 1 white man, 2 white king, 3 black man, 4 black king.
enum : int8_t { kWhiteMan = 1, kWhiteKing = 2, kBlackMan = 3, kBlackKing = 4 };

// One step of a move: a plain move or a single jump.
struct CheckersStep {
  int8_t from = 0, to = 0;   // squares
  int8_t piece = 0;          // code of the moving piece before the step
  int8_t captured = 0;       // code of the jumped piece, 0 for a plain step
  int8_t capturedAt = 0;     // its square
  int8_t end = 0;            // last step: 2 when the other side cannot move after it
};
using CheckersMove = std::vector<CheckersStep>;

class CheckersRules : public BoardRules {
 public:
  CheckersRules();

  GameKind Kind() const override { return GameKind::Checkers; }
  void Reset() override;
  const Board& Position() const override { return board_; }
  Side ToMove() const override { return toMove_; }
  Outcome Result() const override;
  int MoveCount() const override { return static_cast<int>(history_.size()); }
  uint64_t MovableSquares() const override;
  uint64_t TargetsOf(int from) const override;
  LocalPlay PlayLocal(int from, int to, int8_t promotion) override;
  bool PlayMoveText(std::string_view text) override;
  std::string MoveText(int index) const override;
  std::string MoveListText(int index) const override;
  Board PositionAfter(int moves) const override;
  std::vector<Slide> SlidesOf(int index) const override;
  uint64_t Perft(int depth) override;

  // A position set up by hand (tests, tools): no history, `side` to move.
  void SetPosition(const Board& board, Side side);
  const std::vector<CheckersMove>& History() const { return history_; }
  // Whether a capture sequence of the local player is under way.
  bool InCapture() const { return !pending_.empty(); }

  static Board InitialPosition();

  // A candidate step found by the generator; `over` is the jumped square or -1.
  struct Candidate {
    int8_t from, to, over;
  };
  static constexpr int kMaxCandidates = 256;
  using Candidates = std::array<Candidate, kMaxCandidates>;
  // Every legal step of `side`, squares visited a1, a2, ..., h8; only
  // captures when any capture exists.  Returns how many were written.
  static int Generate(const Board& board, Side side, Candidates& out);
  // The jumps the piece on `square` can make from there.
  static int CapturesFrom(const Board& board, int square, Candidates& out, int count);

 private:
  // Plays one step on `board`, promoting and removing the jumped piece.
  static CheckersStep ApplyStep(Board& board, int from, int to);
  bool IsCandidate(int from, int to) const;
  void Regenerate();
  void FinishMove();
  uint64_t PerftFrom(int depth, Side side);
  uint64_t PerftContinue(int depth, Side side, int square);

  Board start_{};  // the position the history starts from
  Board board_{};
  Side toMove_ = Side::White;
  std::vector<CheckersMove> history_;
  CheckersMove pending_;  // steps of the local capture not yet complete
  Candidates legal_{};
  int legalCount_ = 0;
};

}  // namespace games
