#include <gtest/gtest.h>

#include "games/board_geometry.h"
#include "games/checkers_rules.h"
#include "games/reversi_rules.h"

using namespace games;

namespace {

int Sq(const char* name) { return SquareAt(name[0] - 'a', name[1] - '1'); }

Point Centre(const BoardGeometry& g, bool fromWhite, int square) {
  const Point p = PieceCorner(g, fromWhite, square);
  return {p.x + g.pieceWidth / 2, p.y + g.pieceHeight / 2};
}

}  // namespace

TEST(BoardGeometry, SizesPerGameAndBoardSize) {
  EXPECT_EQ(GeometryOf(GameKind::Checkers, false).Side(), 304);
  EXPECT_EQ(GeometryOf(GameKind::Reversi, true).Side(), 584);
  EXPECT_EQ(GeometryOf(GameKind::Chess, false).Side(), 328);
  EXPECT_EQ(GeometryOf(GameKind::Chess, true).Side(), 624);
  const BoardGeometry big = GeometryOf(GameKind::Chess, true);
  EXPECT_EQ(big.pieceWidth, 60);
  EXPECT_EQ(big.pieceHeight, 68);
}

TEST(BoardGeometry, OrientationFollowsColourAndTurningExceptInReversi) {
  EXPECT_TRUE(SeenFromWhite(GameKind::Checkers, true, false));
  EXPECT_FALSE(SeenFromWhite(GameKind::Checkers, true, true));
  EXPECT_FALSE(SeenFromWhite(GameKind::Chess, false, false));
  EXPECT_TRUE(SeenFromWhite(GameKind::Chess, false, true));
  EXPECT_TRUE(SeenFromWhite(GameKind::Reversi, false, false));

  const BoardGeometry g = GeometryOf(GameKind::Checkers, false);
  // From White a1 is the bottom-left square, from Black the top-right one.
  EXPECT_EQ(SquareCorner(g, true, Sq("a1")), (Point{12, 12 + 7 * 35}));
  EXPECT_EQ(SquareCorner(g, false, Sq("a1")), (Point{12 + 7 * 35, 12}));
  EXPECT_EQ(SquareCorner(g, false, Sq("h8")), (Point{12, 12 + 7 * 35}));
  // The piece picture is centred in its square.
  EXPECT_EQ(PieceCorner(g, true, Sq("a8")), (Point{12 + 4, 12 + 5}));

  // Seen from Black the letters run h to a and the digits 1 to 8 from the top.
  const auto labels = BoardLabels(g, false);
  std::string top, left;
  for (const BoardLabel& l : labels) {
    if (l.y == g.frame - 13) top += l.text;
    if (l.x == g.frame - 8) left += l.text;
  }
  EXPECT_EQ(top, "hgfedcba");
  EXPECT_EQ(left, "12345678");
  std::string bottom;
  for (const BoardLabel& l : BoardLabels(g, true))
    if (l.y == g.Side() - g.frame - 1) bottom += l.text;
  EXPECT_EQ(bottom, "abcdefgh");
}

TEST(BoardGeometry, HitsOnlyInsideTheCentredPiecePicture) {
  for (bool big : {false, true})
    for (bool fromWhite : {true, false}) {
      const BoardGeometry g = GeometryOf(GameKind::Chess, big);
      for (int s : {Sq("a1"), Sq("e4"), Sq("h8"), Sq("b7")}) {
        const Point c = Centre(g, fromWhite, s);
        EXPECT_EQ(HitTest(g, fromWhite, c.x, c.y), s);
        // The square's own corner lies in its margin.
        const Point corner = SquareCorner(g, fromWhite, s);
        EXPECT_EQ(HitTest(g, fromWhite, corner.x + 1, corner.y + 1), -1);
        const Point piece = PieceCorner(g, fromWhite, s);
        EXPECT_EQ(HitTest(g, fromWhite, piece.x, piece.y), s);
        EXPECT_EQ(HitTest(g, fromWhite, piece.x - 1, piece.y), -1);
        EXPECT_EQ(HitTest(g, fromWhite, piece.x + g.pieceWidth, piece.y), -1);
      }
      // The frame and beyond the field miss.
      EXPECT_EQ(HitTest(g, fromWhite, 5, 100), -1);
      EXPECT_EQ(HitTest(g, fromWhite, 100, 5), -1);
      EXPECT_EQ(HitTest(g, fromWhite, g.Side() - 3, 100), -1);
      EXPECT_EQ(HitTest(g, fromWhite, 100, g.Side() + 10), -1);
    }
}

TEST(MoveMasks, EachPieceHasItsBitAndTargetsShareIt) {
  CheckersRules rules;
  const MoveMasks m = MasksOf(rules);
  // Only the front row can move; squares are numbered a1, a2, …, h8.
  EXPECT_EQ(m.from[size_t(Sq("a3"))], 1u);
  EXPECT_EQ(m.from[size_t(Sq("c3"))], 2u);
  EXPECT_EQ(m.from[size_t(Sq("a1"))], 0u);
  EXPECT_EQ(m.TargetsOf(Sq("c3")), (uint64_t{1} << Sq("b4")) | (uint64_t{1} << Sq("d4")));
  EXPECT_EQ(m.to[size_t(Sq("b4"))], 3u);  // a3 and c3 may both go there
  EXPECT_TRUE(m.Movable(Sq("g3")));
  EXPECT_FALSE(m.Movable(Sq("b2")));

  // With a capture anywhere, a man that could only step has no target.
  Board b{};
  b[size_t(Sq("c3"))] = kWhiteMan;
  b[size_t(Sq("g3"))] = kWhiteMan;
  b[size_t(Sq("d4"))] = kBlackMan;
  b[size_t(Sq("a7"))] = kBlackMan;
  rules.SetPosition(b, Side::White);
  const MoveMasks capture = MasksOf(rules);
  EXPECT_FALSE(capture.Movable(Sq("g3")));
  EXPECT_EQ(capture.TargetsOf(Sq("c3")), uint64_t{1} << Sq("e5"));
}

TEST(SlideFrames, TwentyFiveFramesAlongTheLongerAxis) {
  const Point a{10, 20}, b{110, 70};
  const auto frames = SlideFrames(a, b);
  ASSERT_EQ(frames.size(), 25u);
  EXPECT_EQ(frames.front(), a);
  EXPECT_EQ(frames[1], (Point{14, 22}));
  EXPECT_EQ(frames.back(), (Point{106, 68}));  // the caller puts the piece on b
  EXPECT_EQ(SlideMargin(a, b), 6);             // round(0.04 * 100 + 2)
  EXPECT_EQ(SlideFrames(b, a).back(), (Point{14, 22}));
}

TEST(RevealSteps, GrowUntilTheFarthestFlippedDiscIsCovered) {
  ReversiRules rules;
  const Board before = rules.Position();
  ASSERT_EQ(rules.PlayLocal(Sq("e3"), Sq("e3"), 0), LocalPlay::Complete);
  EXPECT_EQ(RevealReach(before, rules.Position(), Sq("e3")), 1);
  const BoardGeometry small = GeometryOf(GameKind::Reversi, false);
  const auto steps = RevealSteps(small, false, 1);
  // d < 4 + 35 + 17 = 56, in steps of 4.
  ASSERT_EQ(steps.size(), 14u);
  EXPECT_EQ(steps.back(), 52);
  EXPECT_EQ(RevealSteps(GeometryOf(GameKind::Reversi, true), true, 3).back(), 248);  // d < 8 + 210 + 35
}

TEST(GameChatInput, FirstImgPairBecomesATagWithTheCaretAfterIt) {
  std::string t = "look [img]http://h/a.gif[/img] here [img]x[/img]";
  size_t caret = 0;
  ASSERT_TRUE(RewriteFirstImg(t, &caret));
  EXPECT_EQ(t, "look <img src=http://h/a.gif> here [img]x[/img]");
  EXPECT_EQ(t.substr(caret), " here [img]x[/img]");
  std::string closeFirst = "[/img]a[img]";
  EXPECT_FALSE(RewriteFirstImg(closeFirst, &caret));
  std::string open = "[img]a";
  EXPECT_FALSE(RewriteFirstImg(open, &caret));
  EXPECT_EQ(open, "[img]a");
}

TEST(WindowPlacement, BesideTheMainWindowElseOverItsPanesAlwaysOnTheScreen) {
  const Box screen{0, 0, 1280, 1000};
  const Box panes{10, 60, 500, 600};
  // Room on the right of the main window: there, level with the panes.
  EXPECT_EQ(PlaceBeside({0, 0, 700, 800}, panes, 465, 379, screen), (Point{700, 60}));
  // None on the right, some on the left.
  EXPECT_EQ(PlaceBeside({600, 0, 680, 800}, {610, 60, 500, 600}, 465, 379, screen), (Point{135, 60}));
  // None on either side: over the panes' right part, below the menu bar.
  EXPECT_EQ(PlaceBeside({0, 0, 1280, 900}, panes, 465, 379, screen), (Point{45, 60}));
  EXPECT_EQ(PlaceBeside({0, 0, 1280, 900}, {100, 60, 300, 600}, 465, 379, screen), (Point{100, 60}));
  // Panes low on the screen: moved up to fit.
  EXPECT_EQ(PlaceBeside({0, 500, 700, 500}, {10, 800, 500, 190}, 465, 379, screen), (Point{700, 621}));
  // Keeping a window inside: moved the least; a window larger than the
  // screen keeps its top-left corner on it.
  EXPECT_EQ(KeepInside({1000, 900, 745, 659}, screen), (Point{535, 341}));
  EXPECT_EQ(KeepInside({-20, 5, 100, 100}, screen), (Point{0, 5}));
  EXPECT_EQ(KeepInside({300, 300, 745, 1200}, screen), (Point{300, 0}));
}
