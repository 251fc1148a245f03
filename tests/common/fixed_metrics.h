#pragma once
// Fixed text metrics and a canvas that records what was drawn, so layout
// and painting can be checked pixel by pixel without a display.
#include <string>
#include <vector>

#include "markup/markup_canvas.h"
#include "markup/markup_document.h"

namespace markup_test {

// Every character is 6 pixels wide (7 in bold); a font of size s has ascent
// s and descent s / 4, so the view's default 10-point line is 12 high.
class FixedMeasurer : public markup::TextMeasurer {
 public:
  markup::FontMetrics Metrics(const markup::FontSpec& f) override { return {f.size, f.size / 4}; }
  int Width(const markup::FontSpec& f, std::string_view text) override {
    return static_cast<int>(text.size()) * (f.bold ? 7 : 6);
  }
};

struct DrawnText {
  int x, top;
  std::string text;
  markup::FontSpec font;
  int32_t color;
};
struct Fill {
  int x, y, w, h;
  int32_t color;
};
struct Square {
  int x, y, w, h;
};

class RecordingCanvas : public markup::MarkupCanvas {
 public:
  void FillRect(int x, int y, int w, int h, int32_t color) override {
    fills.push_back({x, y, w, h, color});
  }
  void DrawText(int x, int top, std::string_view text, const markup::FontSpec& font,
                int32_t color) override {
    texts.push_back({x, top, std::string(text), font, color});
  }
  void DrawDottedRect(int x, int y, int w, int h, int32_t) override { squares.push_back({x, y, w, h}); }
  void DrawLine(int, int, int, int, int32_t) override { ++lines; }

  const DrawnText* Find(const std::string& text) const {
    for (const auto& t : texts)
      if (t.text == text) return &t;
    return nullptr;
  }
  void Reset() { *this = RecordingCanvas(); }

  std::vector<DrawnText> texts;
  std::vector<Fill> fills;
  std::vector<Square> squares;
  int lines = 0;
};

// Records what the document asks of its widget.
class RecordingView : public markup::DocumentView {
 public:
  void ResetBitmap() override { ++resets; }
  void ScrollBitmap(int dy) override { scrolls.push_back(dy); }
  void RepaintBand(int from, int to) override { bands.emplace_back(from, to); }
  void ScrollBarChanged() override { ++scrollChanges; }
  int resets = 0;
  int scrollChanges = 0;
  std::vector<int> scrolls;
  std::vector<std::pair<int, int>> bands;
};

}  // namespace markup_test
