#include <gtest/gtest.h>

#include <QImage>

#include "picture/gif_decode.h"
#include "resources/images.h"

TEST(BuiltInImages, AllPicturesAreCompiledInAtTheirSizes) {
  for (int i = 0; i < resources::kImageCount; ++i) {
    const QImage& image = resources::Image(i);
    ASSERT_FALSE(image.isNull()) << i;
    EXPECT_EQ(image.size(), QSize(15, 15)) << i;
    // Every picture draws something opaque in its middle area.
    int opaque = 0;
    for (int y = 0; y < 15; ++y)
      for (int x = 0; x < 15; ++x) opaque += qAlpha(image.pixel(x, y)) > 128;
    EXPECT_GT(opaque, 20) << i;
  }
  EXPECT_TRUE(resources::Image(resources::kImageCount).isNull());
  EXPECT_TRUE(resources::Image(-1).isNull());
  EXPECT_FALSE(resources::Logo().isNull());
  for (int i = 0; i < 4; ++i) EXPECT_FALSE(resources::Led(i).isNull()) << i;
  // Lit lamps are brighter than dark ones.
  EXPECT_GT(qRed(resources::Led(1).pixel(4, 3)), qRed(resources::Led(0).pixel(4, 3)));
  EXPECT_GT(qGreen(resources::Led(3).pixel(4, 3)), qGreen(resources::Led(2).pixel(4, 3)));
}

namespace {

// The strip decoded through giflib, composed onto an opaque image.
QImage Strip(const char* name) {
  const auto gif = picture::ReadGif(resources::GameStrip(name));
  if (!gif || gif->frames.size() != 1) return {};
  QImage image(gif->width, gif->height, QImage::Format_RGB32);
  const picture::GifFrame& f = gif->frames[0];
  for (int y = 0; y < f.rect.height(); ++y)
    for (int x = 0; x < f.rect.width(); ++x)
      image.setPixel(f.rect.x() + x, f.rect.y() + y, f.palette[f.indices[size_t(y * f.rect.width() + x)]]);
  return image;
}

// Mean brightness of the pixels of cell `i` that are not `key`, and how many.
std::pair<double, int> CellBody(const QImage& strip, int cells, int i, QRgb key) {
  const int w = strip.width() / cells;
  double sum = 0;
  int n = 0;
  for (int y = 0; y < strip.height(); ++y)
    for (int x = i * w; x < (i + 1) * w; ++x) {
      const QRgb c = strip.pixel(x, y);
      if ((c & 0xFFFFFF) == (key & 0xFFFFFF)) continue;
      sum += qGray(c);
      ++n;
    }
  return {n ? sum / n : 0, n};
}

}  // namespace

TEST(GameArt, StripsHaveTheirSizesCellOrdersAndClearColours) {
  struct Expect {
    const char* name;
    int w, h, cells;
  };
  for (const Expect& e : {Expect{"CHECKERS", 200, 48, 4}, Expect{"CHECKERSSMALL", 104, 25, 4},
                          Expect{"CHESS", 720, 68, 12}, Expect{"CHESSSMALL", 360, 34, 12}}) {
    SCOPED_TRACE(e.name);
    const QImage strip = Strip(e.name);
    ASSERT_EQ(strip.size(), QSize(e.w, e.h));
    const bool chess = e.cells == 12;
    // Chess pieces are clear in white, checkers pieces in their top-left colour.
    const QRgb key = chess ? qRgb(255, 255, 255) : strip.pixel(0, 0);
    EXPECT_EQ(strip.pixel(0, 0) & 0xFFFFFF, key & 0xFFFFFF);
    const int half = e.cells / 2;
    for (int i = 0; i < half; ++i) {
      const auto whitePiece = CellBody(strip, e.cells, i, key);
      const auto blackPiece = CellBody(strip, e.cells, i + half, key);
      // Every cell holds a piece that covers a good part of it but not all.
      const int area = e.w / e.cells * e.h;
      EXPECT_GT(whitePiece.second, area / 6) << i;
      EXPECT_LT(whitePiece.second, area) << i;
      EXPECT_GT(blackPiece.second, area / 6) << i;
      // White pieces first, then the black ones.
      EXPECT_GT(whitePiece.first, blackPiece.first + 60) << i;
    }
    // No two pieces of one colour look alike (a king is more than a man).
    const int w = e.w / e.cells;
    for (int i = 0; i < half; ++i)
      for (int j = i + 1; j < half; ++j) {
        int differing = 0;
        for (int y = 0; y < e.h; ++y)
          for (int x = 0; x < w; ++x)
            differing += std::abs(qGray(strip.pixel(i * w + x, y)) - qGray(strip.pixel(j * w + x, y))) > 40;
        EXPECT_GT(differing, w * e.h / 20) << i << " " << j;
      }
  }
  for (const Expect& e : {Expect{"BOARD", 350, 70, 5}, Expect{"BOARDSMALL", 175, 35, 5}}) {
    SCOPED_TRACE(e.name);
    const QImage strip = Strip(e.name);
    ASSERT_EQ(strip.size(), QSize(e.w, e.h));
    auto mean = [&](int i) { return CellBody(strip, 5, i, 0x01020304).first; };
    EXPECT_GT(mean(0), mean(1) + 40);  // light square, dark square
    EXPECT_NE(mean(3), mean(0));       // highlighted squares differ from plain ones
    EXPECT_NE(mean(4), mean(1));
  }
  EXPECT_TRUE(resources::GameStrip("checkers").empty());
  for (int i = 0; i < 5; ++i) EXPECT_EQ(resources::ReplayGlyph(i).size(), QSize(12, 11)) << i;
  EXPECT_TRUE(resources::ReplayGlyph(5).isNull());
}
