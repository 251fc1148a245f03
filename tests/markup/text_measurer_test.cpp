// Widths measured a word at a time from the font's advances are the widths
// the font engine gives the same text, in every style a pane uses, and the
// characters the table cannot measure are still measured right.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <random>
#include <string>

#include "markup/ui/qt_canvas.h"

namespace {

std::string RandomText(std::mt19937& random, bool anyByte) {
  static const std::string kLetters =
      "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,:;-!?()\"'"
      "\xE0\xE1\xE2\xE3\xE4\xE5\xB8\xE6\xE7\xE8\xE9\xEA\xEB\xEC\xED\xEE\xEF\xF0\xF1\xF2\xF3\xF4\xF5\xF6\xF7"
      "\xF8\xF9\xFA\xFB\xFC\xFD\xFE\xFF\xC0\xC1\xC2\xD0\xD1\xDF\xA8";
  std::string text(1 + random() % 40, ' ');
  for (char& c : text)
    c = anyByte ? static_cast<char>(random() % 256) : kLetters[random() % kLetters.size()];
  return text;
}

TEST(TextMeasurerTest, WidthsAreTheFontEnginesForWordsAndAnyBytesInEveryStyle) {
  markup::QtTextMeasurer measurer(QApplication::font());
  std::mt19937 random(7);
  for (const int size : {8, 10, 14, 24}) {
    for (int style = 0; style < 8; ++style) {
      markup::FontSpec font;
      font.size = size;
      font.bold = style & 1;
      font.italic = style & 2;
      font.underline = style & 4;
      const QFontMetrics engine(measurer.FontFor(font));
      for (int i = 0; i < 300; ++i) {
        const std::string text = RandomText(random, i % 3 == 0);
        ASSERT_EQ(measurer.Width(font, text), engine.horizontalAdvance(markup::ToQString(text)))
            << "size " << size << " style " << style << " text of " << text.size() << " bytes";
      }
    }
  }
}

}  // namespace
