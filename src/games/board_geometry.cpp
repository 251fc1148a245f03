#include "games/board_geometry.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace games {

BoardGeometry GeometryOf(GameKind kind, bool big) {
  if (kind == GameKind::Chess) return big ? BoardGeometry{75, 60, 68, 12} : BoardGeometry{38, 30, 34, 12};
  return big ? BoardGeometry{70, 50, 48, 12} : BoardGeometry{35, 26, 25, 12};
}

bool SeenFromWhite(GameKind kind, bool white, bool turned) {
  return kind == GameKind::Reversi || white != turned;
}

Point SquareCorner(const BoardGeometry& g, bool fromWhite, int square) {
  const int c = ColumnOf(square), r = RowOf(square);
  return {g.frame + g.square * (fromWhite ? c : 7 - c), g.frame + g.square * (fromWhite ? 7 - r : r)};
}

Point PieceCorner(const BoardGeometry& g, bool fromWhite, int square) {
  const Point p = SquareCorner(g, fromWhite, square);
  return {p.x + (g.square - g.pieceWidth) / 2, p.y + (g.square - g.pieceHeight) / 2};
}

int HitTest(const BoardGeometry& g, bool fromWhite, int x, int y) {
  if (x < g.frame || y < g.frame) return -1;
  int column = (x - g.frame) / g.square, row = 7 - (y - g.frame) / g.square;
  if (column > 7 || row < 0) return -1;
  if (!fromWhite) column = 7 - column, row = 7 - row;
  const int square = SquareAt(column, row);
  const Point piece = PieceCorner(g, fromWhite, square);
  if (x < piece.x || x >= piece.x + g.pieceWidth || y < piece.y || y >= piece.y + g.pieceHeight) return -1;
  return square;
}

int ScreenOrder(bool fromWhite, int square) {
  const int c = ColumnOf(square), r = RowOf(square);
  return fromWhite ? (7 - r) * 8 + c : r * 8 + (7 - c);
}

int ScreenStep(bool fromWhite, int square, int columns, int rows) {
  const int at = ScreenOrder(fromWhite, square);
  const int x = std::clamp(at % 8 + columns, 0, 7), y = std::clamp(at / 8 + rows, 0, 7);
  return ScreenOrder(fromWhite, y * 8 + x);
}

Point KeepInside(const Box& window, const Box& area) {
  const int x = std::max(area.x, std::min(window.x, area.Right() - window.width));
  const int y = std::max(area.y, std::min(window.y, area.Bottom() - window.height));
  return {x, y};
}

Point PlaceBeside(const Box& mainFrame, const Box& panes, int width, int height, const Box& area) {
  const int top = std::max(panes.y, area.y);
  for (const int x : {mainFrame.Right(), mainFrame.x - width}) {
    const Box beside{x, std::min(top, area.Bottom() - height), width, height};
    if (area.Contains(beside)) return {beside.x, beside.y};
  }
  // Over the panes' right part: the start of each line (time, sender)
  // stays readable on the left.
  return KeepInside({std::max(panes.x, panes.Right() - width), panes.y, width, height}, area);
}

std::vector<BoardLabel> BoardLabels(const BoardGeometry& g, bool fromWhite) {
  std::vector<BoardLabel> labels;
  const int side = g.Side();
  for (int k = 0; k < 8; ++k) {
    const char column = static_cast<char>(fromWhite ? 'a' + k : 'h' - k);
    const int x = g.square * k + g.square / 2 + g.frame - 3;
    labels.push_back({x, g.frame - 13, column});
    labels.push_back({x, side - g.frame - 1, column});
    const char row = static_cast<char>(fromWhite ? '8' - k : '1' + k);
    const int y = g.square * k + g.square / 2 + g.frame - 6;
    labels.push_back({g.frame - 8, y, row});
    labels.push_back({side - g.frame + 3, y, row});
  }
  return labels;
}

uint64_t MoveMasks::TargetsOf(int source) const {
  uint64_t targets = 0;
  if (source < 0 || source > 63 || from[source] == 0) return 0;
  for (int s = 0; s < 64; ++s)
    if (to[s] & from[source]) targets |= uint64_t{1} << s;
  return targets;
}

MoveMasks MasksOf(const BoardRules& rules) {
  MoveMasks m;
  const uint64_t movable = rules.MovableSquares();
  const Board& board = rules.Position();
  uint32_t bit = 1;
  for (int c = 0; c < 8; ++c)
    for (int r = 0; r < 8; ++r) {
      const int s = SquareAt(c, r);
      if (!(movable >> s & 1) || board[s] == 0 || bit == 0) continue;
      m.from[s] = bit;
      const uint64_t targets = rules.TargetsOf(s);
      for (int t = 0; t < 64; ++t)
        if (targets >> t & 1) m.to[t] |= bit;
      bit <<= 1;
    }
  return m;
}

std::vector<Point> SlideFrames(Point a, Point b) {
  std::vector<Point> frames;
  const double sx = 0.04 * (b.x - a.x), sy = 0.04 * (b.y - a.y);
  for (int i = 0; i < 25; ++i)
    frames.push_back({a.x + static_cast<int>(std::lround(sx * i)), a.y + static_cast<int>(std::lround(sy * i))});
  return frames;
}

int SlideMargin(Point a, Point b) {
  const int longer = std::max(std::abs(b.x - a.x), std::abs(b.y - a.y));
  return static_cast<int>(std::lround(0.04 * longer + 2));
}

std::vector<int> RevealSteps(const BoardGeometry& g, bool big, int reach) {
  std::vector<int> steps;
  const int s = big ? 8 : 4;
  for (int d = 0; d < s + g.square * reach + g.square / 2; d += s) steps.push_back(d);
  return steps;
}

int RevealReach(const Board& before, const Board& after, int square) {
  int reach = 0;
  for (int s = 0; s < 64; ++s)
    if (s != square && before[s] != after[s])
      reach = std::max({reach, std::abs(ColumnOf(s) - ColumnOf(square)), std::abs(RowOf(s) - RowOf(square))});
  return reach;
}

bool RewriteFirstImg(std::string& text, size_t* caret) {
  const size_t open = text.find("[img]");
  if (open == std::string::npos) return false;
  const size_t close = text.find("[/img]", open + 5);
  if (close == std::string::npos) return false;
  const std::string tag = "<img src=" + text.substr(open + 5, close - open - 5) + ">";
  text.replace(open, close + 6 - open, tag);
  if (caret) *caret = open + tag.size();
  return true;
}

}  // namespace games
