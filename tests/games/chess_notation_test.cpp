// Chess move texts: what a peer may send, and that two copies of a game
// stay equal when one plays and the other reads.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "chess_fen.h"
#include "games/chess_notation.h"
#include "games/chess_rules.h"
#include "text/cp1251.h"

namespace games::chess {
namespace {

ChessRules FromFen(const char* fen) {
  ChessRules rules;
  EXPECT_EQ(testing::LoadFen(rules, fen), "") << fen;
  return rules;
}

TEST(ChessMoveText, WrittenForms) {
  ChessRules rules;
  for (const char* move : {"PE2-E4", "NG8-F6", "NG1-F3", "NF6:PE4", "BF1-C4", "NE4:PF2", "KE1:NF2"})
    ASSERT_TRUE(rules.PlayMoveText(move)) << move;
  EXPECT_EQ(rules.MoveText(3), "NF6:PE4");
  EXPECT_EQ(rules.MoveText(6), "KE1:NF2");
  EXPECT_EQ(rules.MoveListText(0), "e2-e4");
  EXPECT_EQ(rules.MoveListText(3), text::W("<fcol=ff0000>К<fcol=000000>") + "f6xe4");
  EXPECT_EQ(rules.MoveListText(4), text::W("<fcol=ff0000>С<fcol=000000>") + "f1-c4");
  // The knight on f2 forks queen and rook and is taken by the king.
  EXPECT_EQ(rules.MoveListText(6), text::W("<fcol=ff0000>Кр<fcol=000000>") + "e1xf2");
  EXPECT_EQ(rules.MoveText(99), "");
  EXPECT_EQ(rules.MoveListText(-1), "");

  ChessRules rook = FromFen("4k3/8/8/8/8/8/8/R3K3 w Q -");
  ASSERT_TRUE(rook.PlayMoveText("RA1-A8"));
  EXPECT_EQ(rook.MoveListText(0), text::W("<fcol=ff0000>Л<fcol=000000>") + "a1-a8<fcol=0000ff>+<fcol=000000>");
}

TEST(ChessMoveText, MalformedOrIllegalTextsChangeNothing) {
  ChessRules rules;
  ASSERT_TRUE(rules.PlayMoveText("PE2-E4"));
  ASSERT_TRUE(rules.PlayMoveText("PD7-D5"));
  const Board before = rules.Position();
  const char* refused[] = {
      "",           "P",          "PE4",        "PE4-",      "PE4-D5",     // empty to truncated; a pawn never captures straight
      "pe4:pd5",    "PE4:pD5",    "PE4xD5",     "PE4:D5",    "PE4:PD5 ",   // case, separators, trailing blank
      "PE4:PD5Q",   "PE4:ND5",    "PE4:+D5",    "PE4-E5 ",   "PE4-E9",     // extra letters, wrong capture letter, bad rank
      "PI2-I4",     "QD1-H5x",    "ND1-D2",     "PD5-D4",    "KE1-G1",     // bad file, piece not on its square, opponent's piece, no castling
      "PE4-E5:P",   "QD1-D3",     "PA2-A5",     "PE4\0-E5",  "PE4-E5\n",   // jumps, blocked line, bytes after the move
  };
  for (const char* text : refused) EXPECT_FALSE(rules.PlayMoveText(text)) << '"' << text << '"';
  EXPECT_FALSE(rules.PlayMoveText(std::string("PE4-E5\0", 7)));
  EXPECT_EQ(rules.Position(), before);
  EXPECT_EQ(rules.MoveCount(), 2);
  EXPECT_EQ(rules.ToMove(), Side::White);
  EXPECT_TRUE(rules.PlayMoveText("PE4:PD5"));
}

TEST(ChessMoveText, CapturePartMustMatchTheBoard) {
  ChessRules rules;
  for (const char* move : {"PE2-E4", "PA7-A6", "PE4-E5", "PD7-D5"}) ASSERT_TRUE(rules.PlayMoveText(move));
  EXPECT_FALSE(rules.PlayMoveText("PE5-D6"));   // en passant written as a plain move
  EXPECT_FALSE(rules.PlayMoveText("PE5:PD6"));  // ... or as a capture of what is not there
  EXPECT_TRUE(rules.PlayMoveText("PE5:+D6"));

  ChessRules promote = FromFen("r3k3/1P6/8/8/8/8/8/4K3 w q -");
  for (const char* text : {"PB7:RA8", "PB7:RA8K", "PB7:RA8P", "PB7:RA8q", "PB7-A8Q", "PB7:QA8Q", "PB7-B8", "PB7-B8QQ"})
    EXPECT_FALSE(promote.PlayMoveText(text)) << text;
  EXPECT_TRUE(promote.PlayMoveText("PB7-B8R"));
  EXPECT_EQ(promote.At(SquareAt(1, 7)), kRook);
  EXPECT_EQ(promote.MoveText(0), "PB7-B8R");
}

// Every legal move of the side to move as (from, to, promotion code).
struct Candidate {
  int from, to;
  int8_t promotion;
};
std::vector<Candidate> LegalMoves(const ChessRules& rules) {
  std::vector<Candidate> moves;
  for (uint64_t froms = rules.MovableSquares(); froms; froms &= froms - 1) {
    const int from = __builtin_ctzll(froms);
    for (uint64_t tos = rules.TargetsOf(from); tos; tos &= tos - 1) {
      const int to = __builtin_ctzll(tos);
      moves.push_back({from, to, 0});
    }
  }
  return moves;
}

TEST(ChessMoveText, MutatedTextsAreReadOnlyAsTheirOwnMoveText) {
  // A peer's text, however garbled, is accepted only when it is exactly the
  // text of the move it plays; everything else leaves the game unchanged.
  std::mt19937 random(7);
  const std::string alphabet = "PRNBQKABCDEFGH12345678:-+x ";
  ChessRules rules = FromFen("r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1");
  int accepted = 0, refused = 0;
  for (int round = 0; round < 20000 && rules.Result() == Outcome::Running; ++round) {
    const std::vector<Candidate> moves = LegalMoves(rules);
    const Candidate pick = moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(random)];
    ChessRules probe = rules;
    ASSERT_EQ(probe.PlayLocal(pick.from, pick.to, CodeOf(kQueen, rules.ToMove())), LocalPlay::Complete);
    std::string text = probe.MoveText(probe.MoveCount() - 1);
    const int mutations = std::uniform_int_distribution<int>(0, 3)(random);
    for (int i = 0; i < mutations; ++i) {
      const size_t at = std::uniform_int_distribution<size_t>(0, text.size())(random);
      const char c = alphabet[std::uniform_int_distribution<size_t>(0, alphabet.size() - 1)(random)];
      switch (std::uniform_int_distribution<int>(0, 2)(random)) {
        case 0: if (at < text.size()) text[at] = c; break;
        case 1: text.insert(text.begin() + static_cast<long>(at), c); break;
        case 2: if (at < text.size()) text.erase(at, 1); break;
      }
    }
    const int count = rules.MoveCount();
    const Board before = rules.Position();
    if (rules.PlayMoveText(text)) {
      ++accepted;
      ASSERT_EQ(rules.MoveCount(), count + 1);
      ASSERT_EQ(rules.MoveText(count), text);
    } else {
      ++refused;
      ASSERT_EQ(rules.Position(), before) << text;
      ASSERT_EQ(rules.MoveCount(), count);
    }
  }
  EXPECT_GT(accepted, 10);
  EXPECT_GT(refused, 10);
}

// One copy plays random legal moves as the local player would (with random
// promotion choices), the other reads each move's text as a peer does: both
// must agree on every position, mark and list text, and the replay of the
// history must pass through the same positions.
TEST(ChessMoveText, TwoCopiesOfRandomGamesStayEqual) {
  std::mt19937 random(2024);
  const char* starts[] = {nullptr, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq -",
                          "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8"};
  int castlings = 0, enPassants = 0, promotions = 0, ends = 0;
  for (int game = 0; game < 120; ++game) {
    ChessRules local, peer;
    if (const char* fen = starts[game % 3]) {
      ASSERT_EQ(testing::LoadFen(local, fen), "");
      ASSERT_EQ(testing::LoadFen(peer, fen), "");
    }
    std::vector<Board> positions{local.Position()};
    const int firstMove = local.MoveCount();
    for (int ply = 0; ply < 300 && local.Result() == Outcome::Running; ++ply) {
      const std::vector<Candidate> moves = LegalMoves(local);
      ASSERT_FALSE(moves.empty());
      const auto [from, to, unused] = moves[std::uniform_int_distribution<size_t>(0, moves.size() - 1)(random)];
      int8_t choice = 0;
      if (local.NeedsPromotion(from, to)) choice = CodeOf(std::uniform_int_distribution<int>(2, 5)(random), local.ToMove());
      ASSERT_EQ(local.PlayLocal(from, to, choice), LocalPlay::Complete);
      const int index = local.MoveCount() - 1;
      const std::string sent = local.MoveText(index);
      ASSERT_TRUE(peer.PlayMoveText(sent)) << sent << " in game " << game;
      ASSERT_EQ(peer.Position(), local.Position()) << sent;
      ASSERT_EQ(peer.MoveListText(index), local.MoveListText(index));
      ASSERT_EQ(peer.Result(), local.Result());
      ASSERT_EQ(peer.MovableSquares(), local.MovableSquares());
      positions.push_back(local.Position());
      const ChessMove& move = local.History().back();
      castlings += move.IsCastling();
      enPassants += move.IsEnPassant();
      promotions += move.IsPromotion();
    }
    ends += local.Result() != Outcome::Running;
    for (size_t k = 0; k < positions.size(); ++k)
      ASSERT_EQ(local.PositionAfter(firstMove + static_cast<int>(k)), positions[k]) << "game " << game << " move " << k;
  }
  // The games did pass through the special moves.
  EXPECT_GT(castlings, 0);
  EXPECT_GT(enPassants, 0);
  EXPECT_GT(promotions, 0);
  EXPECT_GT(ends, 0);
}

}  // namespace
}  // namespace games::chess
