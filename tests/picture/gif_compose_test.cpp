// GIFs drawn by the tests: composition rules, clipping and the limits.
#include "gif_writer.h"
#include "picture/gif_decode.h"
#include "picture/picture_decode.h"

#include <gtest/gtest.h>

using namespace picture;
using namespace testing_picture;

namespace {

const QRgb kRed = qRgb(255, 0, 0), kGreen = qRgb(0, 255, 0), kBlue = qRgb(0, 0, 255),
           kWhite = qRgb(255, 255, 255);
const std::vector<QRgb> kPalette = {kRed, kGreen, kBlue, kWhite};

DecodedImage Decode(const std::string& gif) { return DecodeBytes(".gif", gif); }

bool Clear(const QImage& img, int x, int y) { return qAlpha(img.pixel(x, y)) == 0; }
QRgb Color(const QImage& img, int x, int y) { return img.pixel(x, y) | 0xFF000000; }

}  // namespace

TEST(GifCompose, RestoreToPreviousGoesBackPastAFullScreenFrame) {
  // Red screen, then a green full-screen frame that is taken back again:
  // the white dot after it must sit on red, not on an empty screen.
  std::vector<TestFrame> frames = {Solid(0, 0, 4, 4, 0), Solid(1, 1, 2, 2, 2, 3),
                                   Solid(0, 0, 4, 4, 1, 3), Solid(0, 0, 1, 1, 3, 3)};
  DecodedImage img = Decode(MakeGif(4, 4, kPalette, frames));
  ASSERT_EQ(img.frames.size(), 4u);
  EXPECT_EQ(Color(img.frames[1], 1, 1), kBlue);
  EXPECT_EQ(Color(img.frames[1], 0, 0), kRed);
  EXPECT_EQ(Color(img.frames[2], 1, 1), kGreen);
  EXPECT_EQ(Color(img.frames[3], 0, 0), kWhite);
  EXPECT_EQ(Color(img.frames[3], 1, 1), kRed);  // the blue square was taken back
  EXPECT_EQ(Color(img.frames[3], 3, 3), kRed);
}

TEST(GifCompose, OwnTransparentIndexLocalMapsAndDelays) {
  TestFrame base = Solid(0, 0, 2, 1, 0);
  base.palette = {kGreen};  // local map: index 0 is green here
  base.delayCs = 7;
  TestFrame top = Solid(0, 0, 2, 1, 2);
  top.pixels = {2, 3};  // blue, then white, which is this frame's transparent index
  top.transparent = 3;
  DecodedImage img = Decode(MakeGif(2, 1, kPalette, {base, top}));
  ASSERT_EQ(img.frames.size(), 2u);
  EXPECT_EQ(Color(img.frames[0], 1, 0), kGreen);
  EXPECT_EQ(Color(img.frames[1], 0, 0), kBlue);
  EXPECT_EQ(Color(img.frames[1], 1, 0), kGreen);
  EXPECT_EQ(img.delays, (std::vector<int>{70, 0}));
}

TEST(GifCompose, FramesAreClippedToTheScreen) {
  TestFrame big = Solid(3, 3, 8, 8, 1);
  big.pixels[0] = 2;
  DecodedImage still = Decode(MakeGif(4, 4, kPalette, {big}));
  ASSERT_TRUE(still.Loaded());
  EXPECT_EQ(still.frames[0].size(), QSize(4, 4));
  EXPECT_EQ(Color(still.frames[0], 3, 3), kBlue);
  EXPECT_TRUE(Clear(still.frames[0], 2, 2));

  // A frame wholly off the screen draws nothing, even when disposed.
  TestFrame away = Solid(50, 50, 3, 3, 2, 2);
  DecodedImage anim = Decode(MakeGif(4, 4, kPalette, {Solid(0, 0, 4, 4, 0), away, away}));
  ASSERT_EQ(anim.frames.size(), 3u);
  EXPECT_EQ(anim.frames[1], anim.frames[0]);
  EXPECT_EQ(anim.frames[2], anim.frames[0]);
}

TEST(GifCompose, IndexBeyondTheColorMapFails) {
  // Drawn with a 256-color map, then the map cut down to two entries while
  // the image data still uses index 200.
  std::vector<QRgb> palette(256, kRed);
  std::string gif = MakeGif(2, 2, palette, {Solid(0, 0, 2, 2, 200)});
  ASSERT_TRUE(Decode(gif).Loaded());
  gif[10] = char(uint8_t(gif[10]) & 0xF8);  // global map of 2 entries
  gif.erase(13 + 6, 256 * 3 - 6);
  ASSERT_TRUE(ReadGif(gif) == std::nullopt);
  EXPECT_FALSE(Decode(gif).Loaded());
}

TEST(GifCompose, SizeLimitsRefuseThePicture) {
  // 5000 x 4000 is above the pixel limit although only one pixel is drawn.
  EXPECT_FALSE(Decode(MakeGif(5000, 4000, kPalette, {Solid(0, 0, 1, 1, 0)})).Loaded());
  EXPECT_TRUE(Decode(MakeGif(4000, 4000, kPalette, {Solid(0, 0, 1, 1, 0)})).Loaded());
  // 300 frames of 600 x 400 would need more than 256 MiB composed.
  std::vector<TestFrame> many(300, Solid(0, 0, 1, 1, 1));
  EXPECT_FALSE(Decode(MakeGif(600, 400, kPalette, many)).Loaded());
  many.resize(200);
  EXPECT_TRUE(Decode(MakeGif(600, 400, kPalette, many)).Loaded());
}

TEST(DecodeBytes, ContentDecidesBetweenGifAndJpeg) {
  std::string gif = MakeGif(3, 2, kPalette, {Solid(0, 0, 3, 2, 1)});
  DecodedImage asJpg = DecodeBytes(".JPG", gif);
  ASSERT_TRUE(asJpg.Loaded());
  EXPECT_EQ(asJpg.kind, ImageKind::Gif);
  EXPECT_FALSE(DecodeBytes(".png", gif).Loaded());
  EXPECT_FALSE(DecodeBytes(".bin", gif).Loaded());
  // A GIF whose screen is 0 wide is read as JPEG, and that fails.
  std::string flat = gif;
  flat[6] = flat[7] = 0;
  EXPECT_FALSE(DecodeBytes(".gif", flat).Loaded());
}
