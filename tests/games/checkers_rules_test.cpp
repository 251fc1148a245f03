// Checkers rules: compulsory capture, capture sequences, promotion during a
// capture, move texts both ways, the end of the game, perft.
#include <gtest/gtest.h>

#include "games/checkers_rules.h"
#include "text/cp1251.h"

using namespace games;

namespace {

int Sq(const char* name) { return SquareAt(name[0] - 'a', name[1] - '1'); }
uint64_t Bit(const char* name) { return uint64_t{1} << Sq(name); }

Board BoardWith(std::initializer_list<std::pair<const char*, int8_t>> pieces) {
  Board b{};
  for (const auto& [sq, code] : pieces) b[Sq(sq)] = code;
  return b;
}

}  // namespace

TEST(CheckersRules, OpeningMovesAndTheFirstTwoPlies) {
  CheckersRules rules;
  // a3-b4, c3-b4, c3-d4, e3-d4, e3-f4, g3-f4, g3-h4.
  EXPECT_EQ(rules.MovableSquares(), Bit("a3") | Bit("c3") | Bit("e3") | Bit("g3"));
  EXPECT_EQ(rules.TargetsOf(Sq("c3")), Bit("b4") | Bit("d4"));
  EXPECT_EQ(rules.TargetsOf(Sq("c1")), 0u);
  EXPECT_EQ(rules.Perft(1), 7u);
  // No move of either side brings the men into contact: 7 x 7.
  EXPECT_EQ(rules.Perft(2), 49u);
  EXPECT_EQ(rules.Position(), CheckersRules::InitialPosition());
}

TEST(CheckersRules, CaptureAnywhereLeavesOnlyCaptures) {
  CheckersRules rules;
  // The man on h2 could step to g3, but the man on d4 can capture c5, and a
  // man also captures backwards: d4 over c3 onto b2.
  rules.SetPosition(BoardWith({{"d4", kWhiteMan}, {"h2", kWhiteMan}, {"c5", kBlackMan}, {"c3", kBlackMan}, {"h8", kBlackMan}}),
                    Side::White);
  EXPECT_EQ(rules.MovableSquares(), Bit("d4"));
  EXPECT_EQ(rules.TargetsOf(Sq("d4")), Bit("b6") | Bit("b2"));
  EXPECT_EQ(rules.PlayLocal(Sq("h2"), Sq("g3"), 0), LocalPlay::Refused);
  EXPECT_EQ(rules.PlayLocal(Sq("d4"), Sq("b2"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.Position()[Sq("c3")], 0);
  EXPECT_EQ(rules.MoveText(0), "PD4-B2:PC3");
  EXPECT_EQ(rules.MoveListText(0), "d4xb2");
  EXPECT_EQ(rules.ToMove(), Side::Black);
}

TEST(CheckersRules, ManMustGoOnCapturingAndIsSentWhole) {
  CheckersRules rules;
  rules.SetPosition(BoardWith({{"c1", kWhiteMan}, {"a1", kWhiteMan}, {"d2", kBlackMan}, {"f4", kBlackMan}, {"h8", kBlackMan}}),
                    Side::White);
  ASSERT_EQ(rules.PlayLocal(Sq("c1"), Sq("e3"), 0), LocalPlay::Continues);
  EXPECT_TRUE(rules.InCapture());
  EXPECT_EQ(rules.MoveCount(), 0);               // nothing to send yet
  EXPECT_EQ(rules.Position()[Sq("d2")], 0);      // the jumped man left at once
  EXPECT_EQ(rules.MovableSquares(), Bit("e3"));  // only the capturing man
  EXPECT_EQ(rules.PlayLocal(Sq("a1"), Sq("b2"), 0), LocalPlay::Refused);
  ASSERT_EQ(rules.PlayLocal(Sq("e3"), Sq("g5"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.MoveCount(), 1);
  EXPECT_EQ(rules.MoveText(0), "PC1-E3:PD2,PE3-G5:PF4");
  EXPECT_EQ(rules.MoveListText(0), "c1xe3xg5");
  ASSERT_EQ(rules.SlidesOf(0).size(), 2u);
  EXPECT_EQ(rules.SlidesOf(0)[1].from, Sq("e3"));
}

TEST(CheckersRules, PromotionDuringACaptureGoesOnAsKing) {
  CheckersRules rules;
  // c6 over d7 lands on e8 and is crowned; only a king reaches g6 from e8
  // (f7 is empty), and it must jump on to h5.
  rules.SetPosition(BoardWith({{"c6", kWhiteMan}, {"d7", kBlackMan}, {"g6", kBlackMan}, {"a7", kBlackMan}}), Side::White);
  ASSERT_EQ(rules.PlayLocal(Sq("c6"), Sq("e8"), 0), LocalPlay::Continues);
  EXPECT_EQ(rules.Position()[Sq("e8")], kWhiteKing);
  EXPECT_EQ(rules.TargetsOf(Sq("e8")), Bit("h5"));
  ASSERT_EQ(rules.PlayLocal(Sq("e8"), Sq("h5"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.MoveText(0), "PC6-E8:PD7,DE8-H5:PG6");
  EXPECT_EQ(rules.MoveListText(0), "c6xe8xh5");  // the move began with a man
}

TEST(CheckersRules, FlyingKingCapturesFromAfarButNotTwoInARow) {
  CheckersRules rules;
  rules.SetPosition(BoardWith({{"a1", kWhiteKing}, {"d4", kBlackMan}, {"a7", kBlackMan}}), Side::White);
  EXPECT_EQ(rules.TargetsOf(Sq("a1")), Bit("e5") | Bit("f6") | Bit("g7") | Bit("h8"));

  rules.SetPosition(BoardWith({{"a1", kWhiteKing}, {"b2", kBlackMan}, {"c3", kBlackMan}, {"a7", kBlackMan}}), Side::White);
  EXPECT_EQ(rules.TargetsOf(Sq("a1")), 0u);
  EXPECT_EQ(rules.MovableSquares(), 0u);
  EXPECT_EQ(rules.Result(), Outcome::BlackWon);  // White is blocked and has lost
}

TEST(CheckersRules, CapturedPieceLeavesAtOnceSoTheKingMayCrossItsSquare) {
  // a3 x b4 -> d6 x f4 -> g3 x f2 -> e1 x d2 -> a5: the last jump passes b4,
  // where the first captured man stood.
  const Board start = BoardWith({{"a3", kWhiteKing}, {"b4", kBlackMan}, {"f4", kBlackMan}, {"f2", kBlackMan}, {"d2", kBlackMan}});
  CheckersRules rules;
  rules.SetPosition(start, Side::White);
  ASSERT_EQ(rules.PlayLocal(Sq("a3"), Sq("d6"), 0), LocalPlay::Continues);
  ASSERT_EQ(rules.PlayLocal(Sq("d6"), Sq("g3"), 0), LocalPlay::Continues);
  ASSERT_EQ(rules.PlayLocal(Sq("g3"), Sq("e1"), 0), LocalPlay::Continues);
  EXPECT_EQ(rules.TargetsOf(Sq("e1")), Bit("c3") | Bit("b4") | Bit("a5"));
  ASSERT_EQ(rules.PlayLocal(Sq("e1"), Sq("a5"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.Result(), Outcome::WhiteWon);
  EXPECT_EQ(rules.History()[0].back().end, 2);
  EXPECT_EQ(rules.MoveListText(0), text::W("<fcol=ff0000>Д<fcol=000000>") +
                                       "a3xd6xg3xe1xa5<fcol=0000ff>++<fcol=000000>");

  // Every whole sequence of that position, counted by hand: via c5 then g1
  // (1); via d6 then h2 (1) or g3, e1 and c3, b4 or a5 (3); e7 (1); f8 (1).
  rules.SetPosition(start, Side::White);
  EXPECT_EQ(rules.Perft(1), 7u);
  EXPECT_EQ(rules.Position(), start);
}

TEST(CheckersRules, MoveTextsTravelAndBadOnesChangeNothing) {
  CheckersRules sender, receiver;
  const Board start = BoardWith({{"c1", kWhiteMan}, {"d2", kBlackMan}, {"f4", kBlackMan}, {"h8", kBlackMan}});
  sender.SetPosition(start, Side::White);
  receiver.SetPosition(start, Side::White);

  EXPECT_FALSE(receiver.PlayMoveText("PC1-E3:PD2"));      // stops in the middle of a capture
  EXPECT_FALSE(receiver.PlayMoveText("PC1-B2"));          // a plain step while a capture exists
  EXPECT_FALSE(receiver.PlayMoveText("PC1-E3:PD2,PE3-G5:PF4,PG5-H6"));
  EXPECT_FALSE(receiver.PlayMoveText("PZ9-E3"));
  EXPECT_FALSE(receiver.PlayMoveText("P"));
  EXPECT_FALSE(receiver.PlayMoveText(""));
  EXPECT_EQ(receiver.Position(), start);
  EXPECT_EQ(receiver.MoveCount(), 0);

  ASSERT_EQ(sender.PlayLocal(Sq("c1"), Sq("e3"), 0), LocalPlay::Continues);
  ASSERT_EQ(sender.PlayLocal(Sq("e3"), Sq("g5"), 0), LocalPlay::Complete);
  ASSERT_TRUE(receiver.PlayMoveText(sender.MoveText(0)));
  EXPECT_EQ(receiver.Position(), sender.Position());
  EXPECT_EQ(receiver.ToMove(), Side::Black);
  EXPECT_EQ(receiver.PositionAfter(0), start);
  // A move of the side that is not to move is refused.
  EXPECT_FALSE(receiver.PlayMoveText("PG5-H6"));
  EXPECT_TRUE(receiver.PlayMoveText("PH8-G7"));
}

TEST(CheckersRules, RecordedGameReplaysToTheSamePosition) {
  CheckersRules a;
  const char* moves[] = {"PC3-D4", "PF6-E5", "PD4-F6:PE5", "PG7-E5:PF6", "PB2-C3", "PE5-F4"};
  for (const char* m : moves) ASSERT_TRUE(a.PlayMoveText(m)) << m;
  for (int i = 0; i < a.MoveCount(); ++i) EXPECT_EQ(a.MoveText(i), moves[i]);
  EXPECT_EQ(a.PositionAfter(a.MoveCount()), a.Position());
  CheckersRules b;
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(b.PlayMoveText(moves[i]));
  EXPECT_EQ(a.PositionAfter(3), b.Position());
}

namespace {

// The move tree walked through what the window uses (the movable squares,
// their targets, PlayLocal on copies), to hold the fast walk to it.
uint64_t WindowPerft(const CheckersRules& rules, int depth) {
  if (depth == 0) return 1;
  uint64_t total = 0;
  for (uint64_t from = rules.MovableSquares(); from; from &= from - 1)
    for (uint64_t to = rules.TargetsOf(std::countr_zero(from)); to; to &= to - 1) {
      CheckersRules next = rules;
      const LocalPlay play = next.PlayLocal(std::countr_zero(from), std::countr_zero(to), 0);
      total += play == LocalPlay::Continues ? WindowPerft(next, depth) : WindowPerft(next, depth - 1);
    }
  return total;
}

}  // namespace

TEST(CheckersRules, PerftWalkAgreesWithTheMovesTheWindowOffers) {
  CheckersRules start;
  EXPECT_EQ(start.Perft(5), WindowPerft(start, 5));
  // Kings of both sides among men, captures in reach.
  CheckersRules middle;
  middle.SetPosition(BoardWith({{"a1", kWhiteKing}, {"c3", kWhiteMan}, {"e3", kWhiteMan}, {"g1", kWhiteMan},
                                {"d6", kBlackMan}, {"f6", kBlackMan}, {"b6", kBlackKing}, {"h8", kBlackKing},
                                {"e5", kBlackMan}, {"g7", kWhiteKing}}),
                     Side::White);
  for (int depth = 1; depth <= 5; ++depth) EXPECT_EQ(middle.Perft(depth), WindowPerft(middle, depth)) << depth;
  EXPECT_GT(middle.Perft(3), 0u);
}
