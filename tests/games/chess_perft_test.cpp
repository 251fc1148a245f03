// Leaf counts of the chess move tree against the published perft tables.
// None of these positions needs a castling right that the move history
// cannot express: every right they claim has its king and rook at home, and
// every right they lack belongs to a king that has left its square.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "chess_fen.h"
#include "games/board_rules.h"
#include "games/chess_rules.h"

namespace games::chess {
namespace {

struct PerftCase {
  const char* name;
  const char* fen;
  std::vector<uint64_t> counts;  // depth 1, 2, ...
};

void ExpectCounts(const PerftCase& c) {
  ChessRules rules;
  ASSERT_EQ(testing::LoadFen(rules, c.fen), "") << c.name;
  const Board before = rules.Position();
  const size_t historyBefore = rules.History().size();
  for (size_t depth = 1; depth <= c.counts.size(); ++depth)
    EXPECT_EQ(rules.Perft(static_cast<int>(depth)), c.counts[depth - 1]) << c.name << " depth " << depth;
  // Perft leaves the game as it found it.
  EXPECT_EQ(rules.Position(), before) << c.name;
  EXPECT_EQ(rules.History().size(), historyBefore) << c.name;
}

TEST(ChessPerft, InitialPositionDepthsOneToFive) {
  ChessRules rules;
  const uint64_t expected[] = {1, 20, 400, 8902, 197281, 4865609};
  for (int depth = 0; depth <= 5; ++depth) EXPECT_EQ(rules.Perft(depth), expected[depth]) << depth;
  EXPECT_EQ(rules.MoveCount(), 0);
  EXPECT_EQ(rules.ToMove(), Side::White);
  EXPECT_EQ(rules.Position(), rules.PositionAfter(0));
}

TEST(ChessPerft, ThroughTheFactoryAsThePerftToolDoes) {
  auto rules = MakeRules(GameKind::Chess);
  ASSERT_NE(rules, nullptr);
  EXPECT_EQ(rules->Kind(), GameKind::Chess);
  EXPECT_EQ(rules->Perft(3), 8902u);
  // After 1. e4 d5 2. exd5 e5 White may take en passant on e6.
  for (const char* move : {"PE2-E4", "PD7-D5", "PE4:PD5", "PE7-E5"}) ASSERT_TRUE(rules->PlayMoveText(move)) << move;
  EXPECT_EQ(rules->Perft(1), 31u);
  EXPECT_TRUE(rules->PlayMoveText("PD5:+E6"));
}

TEST(ChessPerft, KiwipeteCastlingAndPins) {
  ExpectCounts({"Kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                {48, 2039, 97862, 4085603}});
}

TEST(ChessPerft, EndgameWithEnPassantAndDiscoveredChecks) {
  ExpectCounts({"position 3", "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - -", {14, 191, 2812, 43238, 674624}});
}

TEST(ChessPerft, PromotionsByCaptureAndBlackCastling) {
  ExpectCounts({"position 4", "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
                {6, 264, 9467, 422333}});
  // The same position with the colours exchanged counts the same.
  ExpectCounts({"position 4 mirrored", "r2q1rk1/pP1p2pp/Q4n2/bbp1p3/Np6/1B3NBn/pPPP1PPP/R3K2R b KQ - 0 1",
                {6, 264, 9467, 422333}});
}

TEST(ChessPerft, PromotionOnTheFirstMove) {
  ExpectCounts({"position 5", "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8", {44, 1486, 62379, 2103487}});
}

}  // namespace
}  // namespace games::chess
