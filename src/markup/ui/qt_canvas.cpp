#include "markup/ui/qt_canvas.h"

#include <QColor>
#include <QPainter>
#include <QPen>
#include <QString>
#include <array>
#include <cmath>

#include "text/cp1251.h"

namespace markup {

QString ToQString(std::string_view bytes) {
  static const std::array<char16_t, 256> table = [] {
    std::array<char16_t, 256> t{};
    for (int b = 0; b < 256; ++b)
      t[b] = static_cast<char16_t>(text::Cp1251ToCodePoint(static_cast<unsigned char>(b)));
    return t;
  }();
  QString out(static_cast<qsizetype>(bytes.size()), Qt::Uninitialized);
  QChar* data = out.data();
  for (size_t i = 0; i < bytes.size(); ++i)
    data[i] = QChar(table[static_cast<unsigned char>(bytes[i])]);
  return out;
}

QColor ToQColor(int32_t color) {
  const auto c = static_cast<uint32_t>(color);
  return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

QtTextMeasurer::QtTextMeasurer(const QFont& base) : base_(base) {}

void QtTextMeasurer::SetBaseFont(const QFont& base) {
  base_ = base;
  entries_.clear();
}

QtTextMeasurer::Entry& QtTextMeasurer::Find(const FontSpec& style) {
  for (auto& e : entries_)
    if (e.style == style) return e;
  QFont font = base_;
  font.setPointSize(std::max(style.size, 1));
  font.setBold(style.bold);
  font.setItalic(style.italic);
  font.setUnderline(style.underline);
  // Plain runs of Latin and Cyrillic need no shaping: measuring and drawing
  // skip it, and widths add up (text is measured a word at a time).
  font.setKerning(false);
  font.setStyleStrategy(QFont::StyleStrategy(font.styleStrategy() | QFont::PreferNoShaping));
  if (entries_.size() >= 32) entries_.erase(entries_.begin());
  const QFontMetrics metrics(font);
  entries_.push_back(Entry{style, font, metrics, {metrics.ascent(), metrics.descent()}, {}, false, {}});
  return entries_.back();
}

FontMetrics QtTextMeasurer::Metrics(const FontSpec& font) { return Find(font).ascentDescent; }

// Only printable characters the font itself has go by the table: a control
// character, a mark that combines with the one before, or a character
// drawn from a fallback font is measured through the engine with its
// neighbours.
void QtTextMeasurer::LearnAdvances(Entry& e) {
  const QFontMetricsF metrics(e.font);
  for (int b = 0; b < 256; ++b) {
    const QString one = ToQString(std::string_view(reinterpret_cast<const char*>(&b), 1));
    const QChar c = one.at(0);
    const bool plain = c.isPrint() && c.category() != QChar::Mark_NonSpacing && metrics.inFont(c);
    e.advances[static_cast<size_t>(b)] = plain ? static_cast<int32_t>(std::lround(metrics.horizontalAdvance(c) * 64)) : -1;
  }
  e.advancesKnown = true;
}

int QtTextMeasurer::MeasuredWidth(Entry& e, std::string_view text) {
  constexpr size_t kCachedLength = 32;
  if (text.size() > kCachedLength) return e.metrics.horizontalAdvance(ToQString(text));
  std::string key(text);
  auto it = e.widths.find(key);
  if (it != e.widths.end()) return it->second;
  if (e.widths.size() >= 16384) e.widths.clear();
  const int width = e.metrics.horizontalAdvance(ToQString(text));
  e.widths.emplace(std::move(key), width);
  return width;
}

int QtTextMeasurer::Width(const FontSpec& font, std::string_view text) {
  Entry& e = Find(font);
  if (!e.advancesKnown) LearnAdvances(e);
  int64_t sum = 0;
  for (const char c : text) {
    const int32_t advance = e.advances[static_cast<unsigned char>(c)];
    if (advance < 0) return MeasuredWidth(e, text);
    sum += advance;
  }
  return static_cast<int>((sum + 32) / 64);
}

const QFont& QtTextMeasurer::FontFor(const FontSpec& font) { return Find(font).font; }

QtCanvas::QtCanvas(QPainter& painter, QtTextMeasurer& measurer)
    : painter_(painter), measurer_(measurer) {}

void QtCanvas::FillRect(int x, int y, int w, int h, int32_t color) {
  if (w > 0 && h > 0) painter_.fillRect(x, y, w, h, ToQColor(color));
}

void QtCanvas::DrawText(int x, int top, std::string_view text, const FontSpec& font,
                        int32_t color) {
  painter_.setFont(measurer_.FontFor(font));
  painter_.setPen(ToQColor(color));
  painter_.drawText(x, top + measurer_.Metrics(font).ascent, ToQString(text));
}

void QtCanvas::DrawDottedRect(int x, int y, int w, int h, int32_t color) {
  QPen pen(ToQColor(color));
  pen.setStyle(Qt::DotLine);
  pen.setWidth(0);
  painter_.setPen(pen);
  painter_.setBrush(Qt::NoBrush);
  painter_.drawRect(x, y, w - 1, h - 1);
}

void QtCanvas::DrawLine(int x1, int y1, int x2, int y2, int32_t color) {
  painter_.setPen(QPen(ToQColor(color), 0));
  painter_.drawLine(x1, y1, x2, y2);
}

}  // namespace markup
