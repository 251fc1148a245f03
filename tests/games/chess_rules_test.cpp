// Chess rules: the moves that are easy to get wrong, marks and the end of
// the game, and the masks the window drags by.
#include <gtest/gtest.h>

#include <string>

#include "chess_fen.h"
#include "games/chess_notation.h"
#include "games/chess_rules.h"
#include "text/cp1251.h"

namespace games::chess {
namespace {

int Sq(const char* name) { return SquareAt(name[0] - 'a', name[1] - '1'); }
uint64_t Bits(std::initializer_list<const char*> names) {
  uint64_t bits = 0;
  for (const char* name : names) bits |= uint64_t{1} << Sq(name);
  return bits;
}

ChessRules FromFen(const char* fen) {
  ChessRules rules;
  EXPECT_EQ(testing::LoadFen(rules, fen), "") << fen;
  return rules;
}

void PlayAll(ChessRules& rules, std::initializer_list<const char*> moves) {
  for (const char* move : moves) ASSERT_TRUE(rules.PlayMoveText(move)) << move;
}

TEST(ChessRules, InitialMasksGiveEveryPieceABitInFileOrder) {
  ChessRules rules;
  // a1 is the first white piece visited, a2 the second, b1 the third.
  EXPECT_EQ(rules.FromMask(Sq("a1")), 1u);
  EXPECT_EQ(rules.FromMask(Sq("a2")), 2u);
  EXPECT_EQ(rules.FromMask(Sq("b1")), 4u);
  EXPECT_EQ(rules.FromMask(Sq("e7")), 0u);
  EXPECT_EQ(rules.MovableSquares(), Bits({"a2", "b2", "c2", "d2", "e2", "f2", "g2", "h2", "b1", "g1"}));
  EXPECT_EQ(rules.TargetsOf(Sq("b1")), Bits({"a3", "c3"}));
  EXPECT_EQ(rules.TargetsOf(Sq("e2")), Bits({"e3", "e4"}));
  EXPECT_EQ(rules.TargetsOf(Sq("d1")), 0u);
  EXPECT_EQ(rules.PlayLocal(Sq("d1"), Sq("d3"), 0), LocalPlay::Refused);
  EXPECT_EQ(rules.MoveCount(), 0);
}

TEST(ChessRules, EnPassantOnlyOnTheNextMove) {
  ChessRules rules;
  PlayAll(rules, {"PE2-E4", "PA7-A6", "PE4-E5", "PD7-D5"});
  EXPECT_TRUE(rules.TargetsOf(Sq("e5")) >> Sq("d6") & 1);
  // Taken at once: the pawn on d5 leaves the board.
  ChessRules taking = rules;
  ASSERT_TRUE(taking.PlayMoveText("PE5:+D6"));
  EXPECT_EQ(taking.At(Sq("d5")), kEmpty);
  EXPECT_EQ(taking.At(Sq("d6")), kPawn);
  const ChessMove& move = taking.History().back();
  EXPECT_EQ(move.extra, CodeOf(kPawn, Side::Black));
  EXPECT_EQ(taking.MoveText(4), "PE5:+D6");
  EXPECT_EQ(taking.MoveListText(4), "e5xd6");
  Board replay = taking.PositionAfter(5);
  EXPECT_EQ(replay, taking.Position());
  // One move pair later it is gone.
  PlayAll(rules, {"PH2-H3", "PA6-A5"});
  EXPECT_FALSE(rules.TargetsOf(Sq("e5")) >> Sq("d6") & 1);
  EXPECT_FALSE(rules.PlayMoveText("PE5:+D6"));
}

TEST(ChessRules, EnPassantThatUncoversCheckIsRefused) {
  // Both pawns leave row 5 at once, opening the rook's line onto the king.
  ChessRules rules = FromFen("8/2p5/8/KP5r/8/8/8/7k b - -");
  ASSERT_TRUE(rules.PlayMoveText("PC7-C5"));
  EXPECT_FALSE(rules.TargetsOf(Sq("b5")) >> Sq("c6") & 1);
  EXPECT_FALSE(rules.PlayMoveText("PB5:+C6"));
  // Without the rook the capture is fine.
  ChessRules open = FromFen("8/2p5/8/KP6/8/8/8/7k b - -");
  ASSERT_TRUE(open.PlayMoveText("PC7-C5"));
  EXPECT_TRUE(open.PlayMoveText("PB5:+C6"));
}

TEST(ChessRules, CastlingBothSidesMovesTheRook) {
  ChessRules rules = FromFen("r3k2r/8/8/8/8/8/8/R3K2R w KQkq -");
  EXPECT_TRUE(rules.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  ASSERT_EQ(rules.PlayLocal(Sq("e1"), Sq("g1"), 0), LocalPlay::Complete);
  EXPECT_EQ(rules.At(Sq("f1")), kRook);
  EXPECT_EQ(rules.At(Sq("h1")), kEmpty);
  const int first = rules.MoveCount() - 1;
  EXPECT_EQ(rules.MoveText(first), "KE1-G1");
  EXPECT_EQ(rules.MoveListText(first), text::W("О-О"));
  const auto slides = rules.SlidesOf(first);
  ASSERT_EQ(slides.size(), 2u);
  EXPECT_EQ(slides[1].from, Sq("h1"));
  EXPECT_EQ(slides[1].to, Sq("f1"));
  EXPECT_EQ(slides[1].piece, kRook);
  ASSERT_TRUE(rules.PlayMoveText("KE8-C8"));
  EXPECT_EQ(rules.At(Sq("d8")), CodeOf(kRook, Side::Black));
  EXPECT_EQ(rules.MoveListText(first + 1), text::W("О-О-О"));
  // The Cyrillic letter, not the digit or the Latin letter.
  EXPECT_EQ(rules.MoveListText(first + 1)[0], static_cast<char>(206));
  EXPECT_EQ(rules.PositionAfter(rules.MoveCount()), rules.Position());
}

TEST(ChessRules, CastlingRefusedByHistoryCheckAndAttackedSquares) {
  const char* home = "r3k2r/8/8/8/8/8/8/R3K2R w KQkq -";
  // The king went to f1 and came back.
  ChessRules returned = FromFen(home);
  PlayAll(returned, {"KE1-F1", "KE8-F8", "KF1-E1", "KF8-E8"});
  EXPECT_FALSE(returned.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  EXPECT_FALSE(returned.TargetsOf(Sq("e1")) >> Sq("c1") & 1);
  EXPECT_FALSE(returned.PlayMoveText("KE1-G1"));
  // The h-rook went out and back: only the queen side is left.
  ChessRules rookMoved = FromFen(home);
  PlayAll(rookMoved, {"RH1-H2", "RH8-H7", "RH2-H1", "RH7-H8"});
  EXPECT_FALSE(rookMoved.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  EXPECT_TRUE(rookMoved.TargetsOf(Sq("e1")) >> Sq("c1") & 1);
  // In check: neither side.
  ChessRules checked = FromFen("r3k2r/8/8/8/4r3/8/8/R3K2R w KQkq -");
  EXPECT_EQ(checked.TargetsOf(Sq("e1")) & Bits({"g1", "c1"}), 0u);
  // Across an attacked f1, or d1 on the queen side.
  ChessRules f1 = FromFen("r3k2r/5r2/8/8/8/8/8/R3K2R w KQkq -");
  EXPECT_FALSE(f1.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  EXPECT_TRUE(f1.TargetsOf(Sq("e1")) >> Sq("c1") & 1);
  ChessRules d1 = FromFen("r2rk3/8/8/8/8/8/8/R3K2R w KQ -");
  EXPECT_FALSE(d1.TargetsOf(Sq("e1")) >> Sq("c1") & 1);
  EXPECT_TRUE(d1.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  // b1 attacked does not stop the queen side: the king never crosses it.
  ChessRules b1 = FromFen("1r2k3/8/8/8/8/8/8/R3K2R w KQ -");
  EXPECT_TRUE(b1.TargetsOf(Sq("e1")) >> Sq("c1") & 1);
  // Not onto g1 while the black king stands on h2; from h3 it is fine.
  EXPECT_FALSE(FromFen("8/8/8/8/8/8/7k/4K2R w K -").TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  EXPECT_TRUE(FromFen("8/8/8/8/8/7k/8/4K2R w K -").TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  // Only on the home row: a king and rook set up on row 4 do not castle.
  Board board{};
  board[Sq("e4")] = kKing;
  board[Sq("h4")] = kRook;
  board[Sq("a8")] = CodeOf(kKing, Side::Black);
  ChessRules away;
  ASSERT_TRUE(away.LoadPosition(board, Side::White, {}));
  EXPECT_FALSE(away.TargetsOf(Sq("e4")) >> Sq("g4") & 1);
}

TEST(ChessRules, RookTakenOnItsCornerEndsCastlingEvenWhenAnotherRookArrives) {
  // Black took the h1 rook with a bishop, White retook with the other rook;
  // king never moved, a rook stands on h1, yet that side is gone for good.
  Board board{};
  board[Sq("e1")] = kKing;
  board[Sq("h1")] = kRook;
  board[Sq("e8")] = CodeOf(kKing, Side::Black);
  std::vector<ChessMove> history = {
      testing::HistoryMove(Sq("b7"), Sq("h1"), CodeOf(kBishop, Side::Black)),
      testing::HistoryMove(Sq("h5"), Sq("h1"), kRook),
      testing::HistoryMove(Sq("d8"), Sq("e8"), CodeOf(kKing, Side::Black)),
  };
  history[0].captured = kRook;
  history[1].captured = CodeOf(kBishop, Side::Black);
  ChessRules rules;
  ASSERT_TRUE(rules.LoadPosition(board, Side::White, history));
  EXPECT_FALSE(rules.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
  // The same board without that history castles.
  ASSERT_TRUE(rules.LoadPosition(board, Side::White, {}));
  EXPECT_TRUE(rules.TargetsOf(Sq("e1")) >> Sq("g1") & 1);
}

TEST(ChessRules, PinnedPiecesAndTheKingsReach) {
  // Bishop e2 pinned on the file, knight d2 pinned on the diagonal, white king e1.
  ChessRules rules = FromFen("4r2k/8/8/b7/8/8/3NB3/4K3 w - -");
  EXPECT_EQ(rules.TargetsOf(Sq("e2")), 0u);
  EXPECT_EQ(rules.TargetsOf(Sq("d2")), 0u);
  EXPECT_NE(rules.FromMask(Sq("e2")), 0u);  // the piece has its bit, just no target
  EXPECT_FALSE(rules.MovableSquares() >> Sq("e2") & 1);
  // The king itself may go wherever no black piece reaches.
  EXPECT_EQ(rules.TargetsOf(Sq("e1")), Bits({"d1", "f1", "f2"}));

  // Kings never stand side by side: d3 and e3 touch the black king on d4.
  ChessRules kings = FromFen("8/8/8/8/3k4/8/4K3/8 w - -");
  EXPECT_EQ(kings.TargetsOf(Sq("e2")), Bits({"d1", "e1", "f1", "d2", "f2", "f3"}));
  // A rook guards the f-file: the king may not step onto it.
  ChessRules guarded = FromFen("5r1k/8/8/8/8/8/4K3/8 w - -");
  EXPECT_EQ(guarded.TargetsOf(Sq("e2")) & Bits({"f1", "f2", "f3"}), 0u);
  // Nor may the king take a defended piece.
  ChessRules defended = FromFen("7k/8/8/8/8/5r2/4K3/5r2 w - -");
  EXPECT_FALSE(defended.TargetsOf(Sq("e2")) >> Sq("f3") & 1);
}

TEST(ChessRules, PromotionByCaptureNeedsTheChoice) {
  ChessRules rules = FromFen("r3k3/1P6/8/8/8/8/8/4K3 w q -");
  EXPECT_TRUE(rules.NeedsPromotion(Sq("b7"), Sq("a8")));
  EXPECT_TRUE(rules.NeedsPromotion(Sq("b7"), Sq("b8")));
  EXPECT_FALSE(rules.NeedsPromotion(Sq("e1"), Sq("e2")));
  EXPECT_EQ(rules.PlayLocal(Sq("b7"), Sq("a8"), 0), LocalPlay::Refused);
  EXPECT_EQ(rules.PlayLocal(Sq("b7"), Sq("a8"), kKing), LocalPlay::Refused);
  EXPECT_EQ(rules.MoveCount(), 0);

  ChessRules peer = rules;
  ASSERT_EQ(rules.PlayLocal(Sq("b7"), Sq("a8"), kQueen), LocalPlay::Complete);
  EXPECT_EQ(rules.At(Sq("a8")), kQueen);
  EXPECT_EQ(rules.MoveText(0), "PB7:RA8Q");
  EXPECT_EQ(rules.MoveListText(0), "b7xa8" + text::W("<fcol=ff0000>Ф<fcol=000000>") + "<fcol=0000ff>+<fcol=000000>");
  // The opponent's copy plays the same piece from the text.
  ASSERT_TRUE(peer.PlayMoveText("PB7:RA8Q"));
  EXPECT_EQ(peer.Position(), rules.Position());
  // An under-promotion arrives as the piece chosen, in the mover's colour.
  ChessRules black = FromFen("4k3/8/8/8/8/8/p7/1R2K3 b - -");
  ASSERT_TRUE(black.PlayMoveText("PA2:RB1N"));
  EXPECT_EQ(black.At(Sq("b1")), CodeOf(kKnight, Side::Black));
  EXPECT_EQ(black.PositionAfter(black.MoveCount()), black.Position());
}

TEST(ChessRules, MateAndStalemateEndTheGameWithTheirMarks) {
  ChessRules mate;
  PlayAll(mate, {"PF2-F3", "PE7-E5", "PG2-G4"});
  EXPECT_EQ(mate.Result(), Outcome::Running);
  ASSERT_TRUE(mate.PlayMoveText("QD8-H4"));
  EXPECT_EQ(mate.History().back().mark, Mark::Checkmate);
  EXPECT_EQ(mate.Result(), Outcome::BlackWon);
  EXPECT_EQ(mate.MovableSquares(), 0u);
  EXPECT_EQ(mate.MoveListText(3),
            text::W("<fcol=ff0000>Ф<fcol=000000>") + "d8-h4<fcol=0000ff>++<fcol=000000>");
  EXPECT_FALSE(mate.PlayMoveText("PA2-A3"));

  // Check without mate.
  ChessRules check;
  PlayAll(check, {"PE2-E4", "PF7-F6", "QD1-H5"});
  EXPECT_EQ(check.History().back().mark, Mark::Check);
  EXPECT_EQ(check.Result(), Outcome::Running);
  EXPECT_EQ(check.MovableSquares(), Bits({"g7"}));

  // The black king on a8 has no move and is not attacked.
  ChessRules stale = FromFen("k7/8/1Q6/8/8/8/8/K7 w - -");
  ChessRules stillRunning = stale;
  ASSERT_EQ(stale.PlayLocal(Sq("b6"), Sq("c7"), 0), LocalPlay::Complete);
  EXPECT_EQ(stale.History().back().mark, Mark::Stalemate);
  EXPECT_EQ(stale.Result(), Outcome::Drawn);
  EXPECT_EQ(stale.MoveListText(0),
            text::W("<fcol=ff0000>Ф<fcol=000000>") + "b6-c7<fcol=0000ff>--<fcol=000000>");
  // Mate in the same corner is a win, not a draw.
  ASSERT_EQ(stillRunning.PlayLocal(Sq("b6"), Sq("b7"), 0), LocalPlay::Complete);
  EXPECT_EQ(stillRunning.History().back().mark, Mark::Check);  // the king takes b7: the queen is unguarded
  ChessRules mated = FromFen("k7/8/1QK5/8/8/8/8/8 w - -");
  ASSERT_EQ(mated.PlayLocal(Sq("b6"), Sq("b7"), 0), LocalPlay::Complete);
  EXPECT_EQ(mated.Result(), Outcome::WhiteWon);
}

}  // namespace
}  // namespace games::chess
