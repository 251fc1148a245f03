#pragma once
// Where things are on a game board: sizes per game and board size, which
// way the board is seen, square corners, labels, hit-testing inside the
// centred piece picture, the move masks of the side to move, the frames of
// a sliding piece and of the reversi reveal.  No Qt: the window paints and
// forwards; everything it decides by is here.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "games/board_rules.h"
#include "games/game_kind.h"

namespace games {

struct BoardGeometry {
  int square = 35;
  int pieceWidth = 26, pieceHeight = 25;
  int frame = 12;
  int Side() const { return 8 * square + 2 * frame; }
};

BoardGeometry GeometryOf(GameKind kind, bool big);

struct Point {
  int x = 0, y = 0;
  bool operator==(const Point&) const = default;
};

// The board is seen from White's side (rank 1 at the bottom) exactly when
// the player's colour and the turn switch differ; reversi always is.
bool SeenFromWhite(GameKind kind, bool white, bool turned);

// Top-left corner of a square, and of the piece picture centred on it.
Point SquareCorner(const BoardGeometry& g, bool fromWhite, int square);
Point PieceCorner(const BoardGeometry& g, bool fromWhite, int square);

// Squares in reading order as the player sees the board: index 0 is the
// top-left square, 63 the bottom-right; the mapping is its own inverse.
int ScreenOrder(bool fromWhite, int square);
// The square `columns` right and `rows` down of `square` on the screen,
// stopping at the edges.
int ScreenStep(bool fromWhite, int square, int columns, int rows);

// Where a new window of `width` x `height` (its frame included) opens: right
// of the main window's frame, else left of it, else over the right part of
// its panes (level with their top), so it covers neither the menu bar nor
// the online list; always inside `area`, the screen's available part.
struct Box {
  int x = 0, y = 0, width = 0, height = 0;
  int Right() const { return x + width; }
  int Bottom() const { return y + height; }
  bool Contains(const Box& b) const {
    return b.x >= x && b.y >= y && b.Right() <= Right() && b.Bottom() <= Bottom();
  }
  bool operator==(const Box&) const = default;
};
Point PlaceBeside(const Box& mainFrame, const Box& panes, int width, int height, const Box& area);
// `window` moved the least so that all of it lies inside `area` (its
// top-left corner wins when it is larger).
Point KeepInside(const Box& window, const Box& area);

// The square under (x, y), or -1: outside the 8 x 8 field, or in the margin
// of a square around its centred piece picture.
int HitTest(const BoardGeometry& g, bool fromWhite, int x, int y);

// The column letters and row digits around the field, each written with its
// top-left corner at (x, y).
struct BoardLabel {
  int x, y;
  char text;
};
std::vector<BoardLabel> BoardLabels(const BoardGeometry& g, bool fromWhite);

// Every piece of the side to move has a bit of its own in `from` of its
// square (squares visited a1, a2, …, h8); `to` of a square holds the bits
// of every piece that may move there.
struct MoveMasks {
  std::array<uint32_t, 64> from{};
  std::array<uint32_t, 64> to{};
  // Squares whose `to` shares a bit with `from` of `source`.
  uint64_t TargetsOf(int source) const;
  bool Movable(int source) const { return from[source] != 0 && TargetsOf(source) != 0; }
};
MoveMasks MasksOf(const BoardRules& rules);

// The positions of a piece sliding from `a` to `b`: 25 frames, each 0.04 of
// the longer distance further along it (and proportionally along the other),
// rounded to whole pixels; and the margin each frame's patch reaches around
// the picture so that it wipes out the frame before it.
std::vector<Point> SlideFrames(Point a, Point b);
int SlideMargin(Point a, Point b);

// The growing squares of the reversi reveal around a disc placed at
// `centre`: the half sides d = 0, step, 2 step, … while d < step + square *
// reach + square / 2, with `reach` the farthest flipped disc in columns or
// rows and step 4 (small board) or 8 (big).
std::vector<int> RevealSteps(const BoardGeometry& g, bool big, int reach);
// The farthest distance in columns or rows between `square` and any square
// whose piece differs between `before` and `after`.
int RevealReach(const Board& before, const Board& after, int square);

// A typed game-chat line: the first "[img]" that comes before a "[/img]" and
// that "[/img]" become "<img src=" + the text between + ">"; `caret` gets the
// place right after that ">".  False when there is no such pair.
bool RewriteFirstImg(std::string& text, size_t* caret);

}  // namespace games
