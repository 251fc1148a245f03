// Reversi rules: legal squares, flips in their order, passes, counting, perft.
#include <gtest/gtest.h>

#include "games/reversi_rules.h"

using namespace games;

namespace {

int Sq(const char* name) { return SquareAt(name[0] - 'a', name[1] - '1'); }
uint64_t Bit(const char* name) { return uint64_t{1} << Sq(name); }

Board BoardWith(std::initializer_list<std::pair<const char*, int8_t>> discs) {
  Board b{};
  for (const auto& [sq, code] : discs) b[Sq(sq)] = code;
  return b;
}

}  // namespace

TEST(ReversiRules, OpeningSquaresAndFirstMoveTexts) {
  ReversiRules rules;
  EXPECT_EQ(rules.MovableSquares(), Bit("e3") | Bit("f4") | Bit("c5") | Bit("d6"));
  EXPECT_EQ(rules.PlayLocal(Sq("e6"), Sq("e6"), 0), LocalPlay::Refused);
  ASSERT_EQ(rules.PlayLocal(Sq("e3"), Sq("e3"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.Position()[Sq("e4")], kWhiteDisc);
  EXPECT_EQ(rules.MoveText(0), "WE3");
  EXPECT_EQ(rules.MoveListText(0), "e3<xpos=50>4:1");
  EXPECT_EQ(rules.ToMove(), Side::Black);
}

TEST(ReversiRules, EveryClosedLineTurnsUpToTheNearestOwnDisc) {
  ReversiRules rules;
  rules.SetPosition(BoardWith({{"a4", kBlackDisc}, {"b4", kWhiteDisc}, {"c4", kBlackDisc},
                           {"e4", kBlackDisc}, {"f4", kBlackDisc}, {"g4", kWhiteDisc}, {"h4", kWhiteDisc},
                           {"d5", kBlackDisc}, {"d6", kWhiteDisc}, {"d7", kBlackDisc}, {"d8", kWhiteDisc},
                           {"d3", kBlackDisc}, {"d2", kBlackDisc}}),
                    Side::White);
  ASSERT_EQ(rules.PlayLocal(Sq("d4"), Sq("d4"), 0), LocalPlay::Complete);
  // Left, right, down (open: nothing), up; nearest first.
  const std::vector<int8_t> expected = {static_cast<int8_t>(Sq("c4")), static_cast<int8_t>(Sq("e4")),
                                        static_cast<int8_t>(Sq("f4")), static_cast<int8_t>(Sq("d5"))};
  EXPECT_EQ(rules.History()[0].flipped, expected);
  EXPECT_EQ(rules.Position()[Sq("a4")], kBlackDisc);
  EXPECT_EQ(rules.Position()[Sq("d7")], kBlackDisc);
  EXPECT_EQ(rules.Position()[Sq("d3")], kBlackDisc);
  EXPECT_EQ(rules.PositionAfter(1), rules.Position());
}

TEST(ReversiRules, SideWithoutSquaresPassesAndFinishedGameIsCounted) {
  // Black cannot place at all; White has c1 and h8.
  const Board start = BoardWith({{"a1", kWhiteDisc}, {"b1", kBlackDisc}, {"a8", kWhiteDisc}, {"b8", kWhiteDisc},
                             {"c8", kWhiteDisc}, {"d8", kWhiteDisc}, {"e8", kWhiteDisc}, {"f8", kWhiteDisc},
                             {"g8", kBlackDisc}});
  ReversiRules rules;
  rules.SetPosition(start, Side::White);
  // Each branch: White places, Black passes, White places, the game is over.
  EXPECT_EQ(rules.Perft(1), 2u);
  EXPECT_EQ(rules.Perft(2), 2u);
  EXPECT_EQ(rules.Perft(4), 2u);
  EXPECT_EQ(rules.Perft(7), 2u);

  ASSERT_EQ(rules.PlayLocal(Sq("c1"), Sq("c1"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.ToMove(), Side::White);  // Black passed
  EXPECT_EQ(rules.Result(), Outcome::Running);
  EXPECT_FALSE(rules.PlayMoveText("BH8"));  // not Black's turn
  ASSERT_TRUE(rules.PlayMoveText("WH8"));
  EXPECT_EQ(rules.MoveCount(), 2);  // the pass is not a move
  EXPECT_EQ(rules.Result(), Outcome::WhiteWon);
  EXPECT_EQ(rules.MovableSquares(), 0u);
  EXPECT_FALSE(rules.PlayMoveText("WA2"));
  EXPECT_EQ(rules.MoveListText(1), "h8<xpos=50>11:0");
}

TEST(ReversiRules, CountingDecidesABlockedBoard) {
  Board full{};
  for (int sq = 0; sq < 64; ++sq) full[sq] = sq < 33 ? kWhiteDisc : kBlackDisc;
  ReversiRules rules;
  rules.SetPosition(full, Side::Black);
  EXPECT_EQ(rules.Result(), Outcome::WhiteWon);
  for (int sq = 0; sq < 64; ++sq) full[sq] = sq < 32 ? kWhiteDisc : kBlackDisc;
  rules.SetPosition(full, Side::White);
  EXPECT_EQ(rules.Result(), Outcome::Drawn);
  // Two lone discs apart: nobody can place.
  rules.SetPosition(BoardWith({{"a1", kWhiteDisc}, {"h8", kBlackDisc}, {"h7", kBlackDisc}}), Side::White);
  EXPECT_EQ(rules.Result(), Outcome::BlackWon);
}

TEST(ReversiRules, PerftFromTheStart) {
  ReversiRules rules;
  const uint64_t expected[] = {1, 4, 12, 56, 244, 1396, 8200};
  for (int d = 0; d <= 6; ++d) EXPECT_EQ(rules.Perft(d), expected[d]) << d;
  EXPECT_EQ(rules.Position(), ReversiRules::InitialPosition());
}

TEST(ReversiRules, MoveTextsMustNameTheSideAndALegalSquare) {
  ReversiRules rules;
  EXPECT_FALSE(rules.PlayMoveText("BE3"));
  EXPECT_FALSE(rules.PlayMoveText("WE6"));
  EXPECT_FALSE(rules.PlayMoveText("WZ3"));
  EXPECT_FALSE(rules.PlayMoveText("W"));
  EXPECT_EQ(rules.MoveCount(), 0);
  EXPECT_TRUE(rules.PlayMoveText("WF4"));
  EXPECT_TRUE(rules.PlayMoveText("BF5"));
  EXPECT_EQ(rules.MoveText(1), "BF5");
}

namespace {

// The move tree walked through what the window uses, passes included: a
// pass is a move when the game goes on, a finished game is a leaf.
uint64_t WindowPerft(const ReversiRules& rules, int depth) {
  if (depth == 0 || rules.Result() != Outcome::Running) return 1;
  uint64_t total = 0;
  for (uint64_t sq = rules.MovableSquares(); sq; sq &= sq - 1) {
    ReversiRules next = rules;
    const Side mover = next.ToMove();
    next.PlayLocal(std::countr_zero(sq), std::countr_zero(sq), 0);
    if (next.Result() == Outcome::Running && next.ToMove() == mover)
      total += depth == 1 ? 1 : WindowPerft(next, depth - 2);  // the other side passed
    else
      total += WindowPerft(next, depth - 1);
  }
  return total;
}

}  // namespace

TEST(ReversiRules, PerftWalkAgreesWithTheMovesTheWindowOffers) {
  ReversiRules rules;
  EXPECT_EQ(rules.Perft(6), WindowPerft(rules, 6));
  // Late in a game, where passes and early ends happen.
  for (const char* m : {"WE3", "BF3", "WG3", "BF4", "WG5", "BC5", "WD6", "BD3", "WC3", "BF5"})
    if (!rules.PlayMoveText(m)) break;
  Board late = rules.Position();
  for (int sq = 0; sq < 48; ++sq)
    if (late[sq] == 0) late[sq] = (sq * 7) % 3 == 0 ? kBlackDisc : kWhiteDisc;
  rules.SetPosition(late, Side::White);
  for (int depth = 1; depth <= 6; ++depth) EXPECT_EQ(rules.Perft(depth), WindowPerft(rules, depth)) << depth;
}
