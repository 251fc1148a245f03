#pragma once
// The one walk over a line's pieces that lays it out, paints it and
// hit-tests it.  Layout rebuilds the line's per-visual-line ascents and
// descents; every other mode only reads them, so painting and clicking find
// exactly the positions layout computed.
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "markup/markup_canvas.h"
#include "markup/markup_line.h"

namespace markup {

class MarkupCanvas;
class PictureRegistry;
class TextMeasurer;

// Boxes reads where each fragment of text and each picture was placed, for
// selection and search, without drawing.
enum class WalkMode : int { Paint = 0, Layout = 1, Hover = 2, Click = 3, Unhover = 4, Boxes = 5 };

// One placed fragment: bytes begin .. end of piece `piece`'s text (a picture
// is one box with begin == end), at content x and row top, width x height.
struct PlacedBox {
  int piece = 0;
  size_t begin = 0;
  size_t end = 0;
  int x = 0;
  int top = 0;
  int width = 0;
  int height = 0;
  FontSpec font;
  bool picture = false;
};

enum class CursorRequest { Unchanged, Hand, Arrow };

struct WalkSettings {
  TextMeasurer* measurer = nullptr;
  PictureRegistry* pictures = nullptr;
  MarkupCanvas* canvas = nullptr;  // Paint, Hover and Unhover draw here when set
  int layoutWidth = 1;
  int leftIndent = 2;
  int fontSize = 10;
  int position = 0;  // scroll position: content y shown at the canvas's top
};

// Font and background color are not reset per line: every walk starts with
// what the previous walk of the same view left.
struct WalkColors {
  int32_t font = 0x000000;
  int32_t back = 0xFFFFFF;
};

struct WalkResult {
  int bottom = 0;                          // y after the line
  bool hit = false;                        // Hover, Click: a link is under the mouse
  std::vector<std::string> links;          // Click: targets of every link hit
  std::vector<std::pair<int, int>> bands;  // Hover, Unhover: content rows redrawn
  CursorRequest cursor = CursorRequest::Unchanged;
  std::vector<PlacedBox> boxes;            // Boxes: every fragment in walk order
};

// `pieces` must be the line's current pieces.  (mouseX, mouseY) are content
// coordinates, used by Hover, Click and Unhover.
WalkResult WalkLine(MarkupLine& line, const std::vector<MarkupLine::Piece>& pieces, WalkMode mode, int y,
                    int mouseX, int mouseY, const WalkSettings& settings, WalkColors& colors);

}  // namespace markup
