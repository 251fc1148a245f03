// The shared picture encoders: the median cut's palette, and the GIF
// encoder's file form and refusals, read back with giflib.
#include <gif_lib.h>
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "encode/gif_encode.h"
#include "encode/median_cut.h"

namespace {

using namespace encode;

struct Reader {
  const std::string* data;
  size_t at = 0;
};

int Read(GifFileType* gif, GifByteType* out, int length) {
  auto* r = static_cast<Reader*>(gif->UserData);
  const size_t n = std::min(size_t(length), r->data->size() - r->at);
  std::memcpy(out, r->data->data() + r->at, n);
  r->at += n;
  return int(n);
}

struct CloseGif {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using Gif = std::unique_ptr<GifFileType, CloseGif>;

// The whole file as giflib reads it, or null.  `reader` must outlive it.
Gif Slurp(Reader& reader) {
  int error = 0;
  Gif gif(DGifOpen(&reader, Read, &error));
  if (gif && DGifSlurp(gif.get()) != GIF_OK) gif.reset();
  return gif;
}

GifFrame Frame(int left, int top, int w, int h, uint8_t index) {
  GifFrame f;
  f.left = left;
  f.top = top;
  f.width = w;
  f.height = h;
  f.pixels.assign(size_t(w) * size_t(h), index);
  return f;
}

TEST(MedianCut, StaysWithinThePaletteAndEveryIndexNamesAColour) {
  std::vector<uint32_t> pixels;
  for (uint32_t i = 0; i < 5000; ++i) pixels.push_back((i * 2654435761u) & 0xFFFFFF);
  for (int max : {2, 16, 256}) {
    const Palette p = MedianCut(pixels, max);
    EXPECT_LE(p.colours.size(), size_t(max));
    ASSERT_EQ(p.indices.size(), pixels.size());
    for (uint8_t i : p.indices) ASSERT_LT(i, p.colours.size());
  }
  const Palette one = MedianCut(std::vector<uint32_t>(10, 0xFF123456u), 256);
  ASSERT_EQ(one.colours.size(), 1u);
  EXPECT_EQ(one.colours[0], 0x123456u);
  EXPECT_TRUE(MedianCut({}, 256).indices.empty());
}

TEST(GifEncode, ControlBlocksCarryEachFramesTimingAndAPlainPictureHasNone) {
  GifPicture animated;
  animated.width = 8;
  animated.height = 6;
  animated.palette = {0xFFFFFF, 0x000000, 0xE02020};  // padded to four entries
  animated.loop = true;
  animated.frames = {Frame(0, 0, 8, 6, 1), Frame(2, 1, 3, 4, 2)};
  animated.frames[0].delayCentiseconds = 150;
  animated.frames[0].disposal = 1;
  animated.frames[0].transparent = 0;
  animated.frames[1].delayCentiseconds = 15;
  animated.frames[1].disposal = 3;
  const std::string bytes = EncodeGif(animated);
  ASSERT_EQ(bytes.substr(0, 6), "GIF89a");
  Reader reader{&bytes};
  Gif gif = Slurp(reader);
  ASSERT_TRUE(gif);
  ASSERT_EQ(gif->ImageCount, 2);
  ASSERT_NE(gif->SColorMap, nullptr);
  EXPECT_EQ(gif->SColorMap->ColorCount, 4);
  EXPECT_EQ(gif->SColorMap->Colors[2].Red, 0xE0);
  EXPECT_EQ(gif->SColorMap->Colors[3].Red, 0);
  EXPECT_NE(bytes.find("NETSCAPE2.0"), std::string::npos);
  GraphicsControlBlock gcb{};
  ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), 0, &gcb), GIF_OK);
  EXPECT_EQ(gcb.DelayTime, 150);
  EXPECT_EQ(gcb.DisposalMode, 1);
  EXPECT_EQ(gcb.TransparentColor, 0);
  ASSERT_EQ(DGifSavedExtensionToGCB(gif.get(), 1, &gcb), GIF_OK);
  EXPECT_EQ(gcb.DelayTime, 15);
  EXPECT_EQ(gcb.DisposalMode, 3);
  EXPECT_EQ(gcb.TransparentColor, NO_TRANSPARENT_COLOR);
  const SavedImage& second = gif->SavedImages[1];
  EXPECT_EQ(second.ImageDesc.Left, 2);
  EXPECT_EQ(second.ImageDesc.Top, 1);
  EXPECT_EQ(second.ImageDesc.Width, 3);
  EXPECT_EQ(second.RasterBits[11], 2);

  // A still picture as the client and draw_images write it: GIF87a, the
  // pixels alone, and no transparency a reader could find.
  std::vector<uint8_t> pixels(12);
  for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = uint8_t(i % 3);
  const std::string still = EncodeGif(StillGif(4, 3, {0x102030, 0x405060, 0x708090}, pixels));
  ASSERT_EQ(still.substr(0, 6), "GIF87a");
  Reader stillReader{&still};
  Gif plain = Slurp(stillReader);
  ASSERT_TRUE(plain);
  ASSERT_EQ(plain->ImageCount, 1);
  EXPECT_EQ(plain->SavedImages[0].ExtensionBlockCount, 0);
  EXPECT_EQ(std::vector<uint8_t>(plain->SavedImages[0].RasterBits, plain->SavedImages[0].RasterBits + 12), pixels);
}

TEST(GifEncode, RefusesWhatAGifCannotHoldInsteadOfWritingABrokenFile) {
  auto picture = [] {
    GifPicture p;
    p.width = 10;
    p.height = 10;
    p.palette = {0, 0xFFFFFF};
    p.frames = {Frame(0, 0, 10, 10, 1), Frame(4, 4, 6, 6, 0)};
    return p;
  };
  ASSERT_FALSE(EncodeGif(picture()).empty());

  auto refused = [&](auto change) {
    GifPicture p = picture();
    change(p);
    return EncodeGif(p).empty();
  };
  EXPECT_TRUE(refused([](GifPicture& p) { p.palette.clear(); }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.palette.assign(257, 0); }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.frames.clear(); }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.width = 0; }));
  // Sizes and offsets are 16-bit in the file: a bigger one would wrap.
  EXPECT_TRUE(refused([](GifPicture& p) { p.width = 0x10000; }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.height = -1; }));
  // A later frame that leaves the screen, or whose pixels miss its size.
  EXPECT_TRUE(refused([](GifPicture& p) { p.frames[1].left = 5; }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.frames[1].top = -1; }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.frames[1].pixels.pop_back(); }));
  EXPECT_TRUE(refused([](GifPicture& p) { p.frames[1].width = 0; }));
  // The widest picture a GIF can hold is still written.
  EXPECT_FALSE(EncodeGif(StillGif(0xFFFF, 1, {0}, std::vector<uint8_t>(0xFFFF, 0))).empty());
}

}  // namespace
