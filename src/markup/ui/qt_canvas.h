#pragma once
// Text metrics and drawing of the markup engine on Qt: QFontMetrics for
// measuring, QPainter for drawing, Windows-1251 bytes shown as QString.
#include <QFont>
#include <QFontMetrics>
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "markup/painter_access.h"

class QColor;
class QPainter;
class QString;

namespace markup {

QString ToQString(std::string_view cp1251);
// Windows color value 0x00BBGGRR to QColor.
QColor ToQColor(int32_t color);

class QtTextMeasurer : public TextMeasurer {
 public:
  explicit QtTextMeasurer(const QFont& base);
  void SetBaseFont(const QFont& base);
  FontMetrics Metrics(const FontSpec& font) override;
  int Width(const FontSpec& font, std::string_view text) override;
  const QFont& FontFor(const FontSpec& font);

 private:
  struct Entry {
    FontSpec style;
    QFont font;
    QFontMetrics metrics;
    FontMetrics ascentDescent;
    // Text is drawn without kerning or ligatures, so a run of characters
    // the font has is as wide as their advances added up (1/64 pixel; -1:
    // a byte measured through the font engine).
    std::array<int32_t, 256> advances{};
    bool advancesKnown = false;
    // What the table cannot measure: words repeat in chat text.
    std::unordered_map<std::string, int> widths;
  };
  Entry& Find(const FontSpec& font);
  static void LearnAdvances(Entry& e);
  static int MeasuredWidth(Entry& e, std::string_view text);
  QFont base_;
  std::vector<Entry> entries_;  // a handful of styles per view
};

class QtCanvas : public MarkupCanvas, public PainterAccess {
 public:
  QtCanvas(QPainter& painter, QtTextMeasurer& measurer);
  void FillRect(int x, int y, int w, int h, int32_t color) override;
  void DrawText(int x, int top, std::string_view text, const FontSpec& font,
                int32_t color) override;
  void DrawDottedRect(int x, int y, int w, int h, int32_t color) override;
  void DrawLine(int x1, int y1, int x2, int y2, int32_t color) override;
  QPainter& Painter() override { return painter_; }

 private:
  QPainter& painter_;
  QtTextMeasurer& measurer_;
};

}  // namespace markup
