#pragma once
// What layout and painting need from the platform: text metrics and a few
// drawing primitives.  Tests use fixed metrics; the view implements both
// with QFontMetrics and QPainter.
#include <cstdint>
#include <string_view>

namespace markup {

// Font of one text run: the view's font family at `size` points with the
// style bits in force.
struct FontSpec {
  int size = 10;
  bool bold = false;
  bool italic = false;
  bool underline = false;
  bool operator==(const FontSpec&) const = default;
};

struct FontMetrics {
  int ascent = 0;   // text-metric height minus descent
  int descent = 0;
};

class TextMeasurer {
 public:
  virtual ~TextMeasurer() = default;
  virtual FontMetrics Metrics(const FontSpec& font) = 0;
  // Pixel width of Windows-1251 text drawn in `font`.
  virtual int Width(const FontSpec& font, std::string_view text) = 0;
};

// Colors are Windows color values: 0x00BBGGRR, red in the low byte.
class MarkupCanvas {
 public:
  virtual ~MarkupCanvas() = default;
  virtual void FillRect(int x, int y, int w, int h, int32_t color) = 0;
  // Draws text whose cell's top-left corner is (x, top); the baseline lies
  // at top + the font's ascent.
  virtual void DrawText(int x, int top, std::string_view text, const FontSpec& font,
                        int32_t color) = 0;
  // One-pixel dotted outline covering x .. x + w - 1, y .. y + h - 1.
  virtual void DrawDottedRect(int x, int y, int w, int h, int32_t color) = 0;
  virtual void DrawLine(int x1, int y1, int x2, int y2, int32_t color) = 0;
};

}  // namespace markup
