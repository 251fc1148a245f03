#pragma once
// Reversi: a disc is placed where it closes one or more lines of the
// opponent's discs, which turn over; a side without a legal square passes,
// and the game ends when neither side can place, by counting discs.
#include <vector>

#include "games/board_rules.h"

namespace games {

// Disc codes: 1 white, 3 black; turning a disc over makes code k into 4 - k.
enum : int8_t { kWhiteDisc = 1, kBlackDisc = 3 };

struct ReversiMove {
  int8_t disc = 0;
  int8_t square = 0;
  std::vector<int8_t> flipped;  // in the order they turned over
  int white = 0, black = 0;     // discs on the board after the move
};

class ReversiRules : public BoardRules {
 public:
  ReversiRules();

  GameKind Kind() const override { return GameKind::Reversi; }
  void Reset() override;
  const Board& Position() const override { return board_; }
  Side ToMove() const override { return toMove_; }
  Outcome Result() const override;
  int MoveCount() const override { return static_cast<int>(history_.size()); }
  uint64_t MovableSquares() const override { return legal_; }
  uint64_t TargetsOf(int from) const override;
  LocalPlay PlayLocal(int from, int to, int8_t promotion) override;
  bool PlayMoveText(std::string_view text) override;
  std::string MoveText(int index) const override;
  std::string MoveListText(int index) const override;
  Board PositionAfter(int moves) const override;
  std::vector<Slide> SlidesOf(int index) const override;
  uint64_t Perft(int depth) override;

  // A position set up by hand: no history; the side to move passes at once
  // when it cannot place and the other side can.
  void SetPosition(const Board& board, Side side);
  const std::vector<ReversiMove>& History() const { return history_; }
  int Count(Side side) const;

  static Board InitialPosition();
  // The legal squares of the side owning `own` against `other`, as bits.
  static uint64_t LegalSquares(uint64_t own, uint64_t other);
  // The discs a disc placed on `square` turns over, as bits.
  static uint64_t FlipsOf(uint64_t own, uint64_t other, int square);

 private:
  void Place(int square, Side side);
  void SettleTurn(Side next);
  uint64_t Bits(Side side) const;

  Board start_{};  // the position the history starts from
  Board board_{};
  Side toMove_ = Side::White;
  bool over_ = false;
  uint64_t legal_ = 0;
  std::vector<ReversiMove> history_;
};

}  // namespace games
