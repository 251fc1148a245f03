// The decoded-picture budget: decoders draw frames and working copies from
// it before allocating, hold only the frames afterwards and give them back
// with the last copy; the registry refuses what does not fit (red cross,
// one trace line) and first takes the frames of pictures nobody sees,
// decoding them again when they are drawn.
#include "picture/decode_budget.h"
#include "picture/picture_decode.h"
#include "picture/pictures.h"

#include "fixed_metrics.h"
#include "gif_writer.h"
#include "pictures_fixture.h"
#include "scripted_server.h"
#include "test_data.h"

#include <gtest/gtest.h>

using namespace picture;
using testing_http::SpinUntil;
using testing_picture::MakeGif;
using testing_picture::Pane;
using testing_picture::Solid;

namespace {

const std::vector<QRgb> kPalette = {qRgb(200, 10, 10), qRgb(0, 0, 0)};

std::string ThreeFrames(int disposal) {
  return MakeGif(100, 100, kPalette, std::vector<testing_picture::TestFrame>(3, Solid(0, 0, 10, 10, 0, disposal)));
}

}  // namespace

TEST(DecodeBudget, WorkingCopiesAreCountedThenOnlyTheFramesAreHeldUntilTheLastCopyGoes) {
  // Three 100 x 100 frames hold 120000 bytes; composing also needs the work
  // screen, and the copy kept for "previous" when a frame asks for it.
  MemoryBudget budget(180000);
  {
    DecodedImage image = DecodeBytes(".gif", ThreeFrames(0), &budget);
    ASSERT_TRUE(image.Loaded());
    EXPECT_EQ(budget.Used(), 120000);
    DecodedImage copy = image;
    image = DecodedImage();
    EXPECT_EQ(budget.Used(), 120000);  // the copy still holds the frames

    // A second picture does not fit beside the first.
    DecodedImage second = DecodeBytes(".gif", ThreeFrames(0), &budget);
    EXPECT_FALSE(second.Loaded());
    EXPECT_TRUE(second.overBudget);
    EXPECT_GT(second.wantedBytes, 60000);
    EXPECT_EQ(budget.Used(), 120000);
  }
  EXPECT_EQ(budget.Used(), 0);

  // The same frames restored to "previous" need one screen more than fits.
  DecodedImage previous = DecodeBytes(".gif", ThreeFrames(3), &budget);
  EXPECT_FALSE(previous.Loaded());
  EXPECT_TRUE(previous.overBudget);
  EXPECT_EQ(budget.Used(), 0);

  // JPEG and BMP draw from it too.
  const std::string jpeg = ReadTestData("pictures/baseline.jpg");
  DecodedImage photo = DecodeBytes(".jpg", jpeg, &budget);
  ASSERT_TRUE(photo.Loaded());
  EXPECT_EQ(budget.Used(), int64_t(photo.width) * photo.height * 4);
  MemoryBudget tiny(1000);
  EXPECT_TRUE(DecodeBytes(".jpg", jpeg, &tiny).overBudget);
  EXPECT_TRUE(DecodeBytes(".bmp", ReadTestData("pictures/bottomleft-magenta.bmp"), &tiny).overBudget);
  EXPECT_EQ(tiny.Used(), 0);
}

TEST(DecodeBudget, HugeScreensFailFastByTheirOwnLimitsNotByTheBudget) {
  MemoryBudget budget(kPictureBudgetBytes);
  // 4000 x 4000 with four one-pixel frames restored to "previous": the
  // frames alone would be 256 MB, with the work screen and the copy 384 MB.
  std::vector<testing_picture::TestFrame> four(4, Solid(0, 0, 1, 1, 1, 3));
  DecodedImage bomb = DecodeBytes(".gif", MakeGif(4000, 4000, kPalette, four), &budget);
  EXPECT_FALSE(bomb.Loaded());
  EXPECT_FALSE(bomb.overBudget);
  // A screen side above 8192 is refused whatever its area.
  EXPECT_FALSE(DecodeBytes(".gif", MakeGif(56318, 254, kPalette, {Solid(0, 0, 1, 1, 1)}), &budget).Loaded());
  EXPECT_FALSE(DecodeBytes(".gif", MakeGif(8193, 4, kPalette, {Solid(0, 0, 1, 1, 1)}), &budget).Loaded());
  EXPECT_TRUE(DecodeBytes(".gif", MakeGif(8192, 4, kPalette, {Solid(0, 0, 1, 1, 1)}), &budget).Loaded());
  EXPECT_EQ(budget.Used(), 0);
}

namespace {

std::string PictureResponse() {
  const std::string gif = MakeGif(100, 60, kPalette, {Solid(0, 0, 100, 60, 0)});
  return "HTTP/1.0 200 OK\r\nContent-Length: " + std::to_string(gif.size()) + "\r\n\r\n" + gif;
}

int Bottom(const markup::MarkupLine& line) { return line.top + line.Ascents()[0] + line.Descents()[0]; }

struct TraceLog {
  TraceLog() {
    Pictures::OnTrace = [this](const std::string& line) { lines.push_back(line); };
  }
  ~TraceLog() { Pictures::OnTrace = nullptr; }
  std::vector<std::string> lines;
};

}  // namespace

// Each 100 x 60 picture holds 24000 bytes; the budget takes two of them
// (a third also needs its decoding room).
constexpr int64_t kTwoPictures = 60000;

TEST(PicturesBudget, PicturesOffScreenGiveTheirFramesBackAndAreDecodedAgainWhenDrawn) {
  testing_picture::Folder root("pictures-budget-release");
  testing_http::ScriptedServer server;
  server.response = PictureResponse();
  MemoryBudget budget(kTwoPictures);
  Pictures registry(&budget);
  registry.LoadCacheIndex(root.path + "/Cache/index.dat", root.path + "/Cache");
  Pane pane(registry, 300, 100);
  const std::string a = server.Url("/a.gif"), b = server.Url("/b.gif"), c = server.Url("/c.gif");
  markup_test::RecordingCanvas canvas;
  auto paintVisible = [&] {
    pane.doc.PaintAll();
    pane.doc.DrawRange(canvas, pane.doc.VertScrollPos(), pane.doc.VertScrollPos() + pane.doc.ClientHeight());
  };

  pane.doc.NewString("<img src=" + a + ">", 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 1; }));
  pane.doc.NewString("<img src=" + b + ">", 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 2; }));
  paintVisible();  // a is drawn before b: a was shown least recently
  EXPECT_EQ(budget.Used(), 48000);

  for (int i = 0; i < 12; ++i) pane.doc.NewString("text", 0, 0xFFFFFF);
  pane.doc.NewString("<img src=" + c + ">", 0, 0xFFFFFF);
  ASSERT_GT(pane.doc.VertScrollPos(), Bottom(*pane.doc.lines()[1]));  // a and b scrolled away
  ASSERT_TRUE(SpinUntil([&] { return registry.State(3) == markup::PictureState::Loaded; }));
  const Picture* pa = registry.Find(1);
  const Picture* pb = registry.Find(2);
  const Picture* pc = registry.Find(3);
  EXPECT_TRUE(pa->framesReleased);
  EXPECT_FALSE(pb->framesReleased);
  EXPECT_EQ(registry.FramesReleased(), 1);
  EXPECT_LE(budget.Used(), kTwoPictures);
  // a keeps its place in the layout.
  EXPECT_EQ(registry.State(1), markup::PictureState::Loaded);
  EXPECT_EQ(registry.Width(1), 100);
  EXPECT_EQ(Bottom(*pane.doc.lines()[0]), 62);

  // Back at the top, a is drawn: it is decoded from its cache file again,
  // and c, now out of sight, makes room; b is on screen and stays.
  const int downloads = registry.DownloadsStarted();
  pane.doc.SetVertScrollPos(0);
  pane.view.drawn.clear();
  paintVisible();
  ASSERT_TRUE(SpinUntil([&] { return !pa->framesReleased && pa->image.frames.size() == 1; }));
  EXPECT_TRUE(pc->framesReleased);
  EXPECT_FALSE(pb->framesReleased);
  EXPECT_EQ(registry.DownloadsStarted(), downloads);
  EXPECT_LE(budget.Used(), kTwoPictures);
  EXPECT_FALSE(pane.view.drawn.empty());  // its band was painted again
  EXPECT_EQ(Bottom(*pane.doc.lines()[0]), 62);
}

TEST(PicturesBudget, WhatDoesNotFitBesideVisiblePicturesIsARedCrossSaidOnceInTheTrace) {
  testing_picture::Folder root("pictures-budget-refused");
  testing_http::ScriptedServer server;
  server.response = PictureResponse();
  TraceLog trace;
  testing_picture::ControllerProbe controller;
  MemoryBudget budget(kTwoPictures);
  Pictures registry(&budget);
  controller.Watch(registry);
  registry.LoadCacheIndex(root.path + "/Cache/index.dat", root.path + "/Cache");
  Pane pane(registry, 300, 400);
  const std::string c = server.Url("/c.gif");
  pane.doc.NewString("<img src=" + server.Url("/a.gif") + "><img src=" + server.Url("/b.gif") + ">", 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 2; }));
  pane.doc.NewString("<img src=" + c + ">", 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 3 && controller.failures > 0; }));
  pane.doc.NewString("<img src=" + server.Url("/d.gif") + ">", 0, 0xFFFFFF);
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 4 && controller.failures > 1; }));

  EXPECT_EQ(registry.State(1), markup::PictureState::Loaded);
  EXPECT_EQ(registry.State(2), markup::PictureState::Loaded);
  EXPECT_EQ(registry.State(3), markup::PictureState::Failed);
  EXPECT_EQ(registry.State(4), markup::PictureState::Failed);
  EXPECT_EQ(registry.Width(3), 20);
  EXPECT_EQ(registry.FramesReleased(), 0);
  EXPECT_EQ(budget.Used(), 48000);
  ASSERT_EQ(trace.lines.size(), 1u);
  EXPECT_NE(trace.lines[0].find(c), std::string::npos);

  // The file was good: a refresh decodes it from the cache without a download.
  const int downloads = registry.DownloadsStarted();
  registry.RefreshFailed();
  ASSERT_TRUE(SpinUntil([&] { return registry.Decodings() == 6; }));
  EXPECT_EQ(registry.DownloadsStarted(), downloads);
  EXPECT_EQ(registry.State(3), markup::PictureState::Failed);
  EXPECT_EQ(trace.lines.size(), 1u);
}
