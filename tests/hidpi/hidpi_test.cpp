// The views on a screen at 200 %: the application is made with
// QT_SCALE_FACTOR=2, so every widget has a device pixel ratio of 2.
#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include "markup/ui/markup_view.h"
#include "markup/view_globals.h"
#include "resources/images.h"
#include "window/static_images.h"

using markup::MarkupView;

namespace {

// True when `part` appears in `image` at a position on the grid of `step`.
bool Contains(const QImage& image, const QImage& part, int step) {
  for (int y = 0; y + part.height() <= image.height(); y += step)
    for (int x = 0; x + part.width() <= image.width(); x += step)
      if (image.copy(x, y, part.width(), part.height()) == part) return true;
  return false;
}

// `picture` drawn over white, pixel for pixel, without any ratio.
QImage OverWhite(QImage picture) {
  picture.setDevicePixelRatio(1);
  QImage out(picture.size(), QImage::Format_RGB32);
  out.fill(Qt::white);
  QPainter(&out).drawImage(0, 0, picture);
  return out;
}

class HiDpiView : public ::testing::Test {
 protected:
  void SetUp() override {
    window::InstallStaticImages();
    view = std::make_unique<MarkupView>();
    view->resize(300, 200);
    view->show();
    QApplication::processEvents();
  }
  void TearDown() override { markup::ViewGlobals::OnStaticImage = nullptr; }
  std::unique_ptr<MarkupView> view;
};

TEST_F(HiDpiView, TheBitmapHasTheScreensPixelsAndTheLayoutKeepsLogicalOnes) {
  ASSERT_EQ(view->devicePixelRatioF(), 2.0);
  view->NewString("line <pict=-1>", 0, 0xFFFFFF);
  const QPixmap& bitmap = view->Bitmap();
  EXPECT_EQ(bitmap.devicePixelRatio(), 2.0);
  EXPECT_EQ(bitmap.width(), 2 * view->Document().ClientWidth());
  EXPECT_EQ(bitmap.height(), 2 * view->Document().ClientHeight());
  // A built-in picture still takes its 15 logical pixels in the line...
  EXPECT_EQ(resources::Image(0).width(), 15);
  // ...and is drawn from its fine drawing, not from the plain one doubled.
  const QImage painted = bitmap.toImage().convertToFormat(QImage::Format_RGB32);
  EXPECT_TRUE(Contains(painted, OverWhite(resources::ImageFor(0, 2)), 1));
  const QImage doubled = OverWhite(resources::Image(0)).scaled(30, 30);
  EXPECT_FALSE(Contains(painted, doubled, 1));
}

TEST_F(HiDpiView, ScrollingAFineBitmapPaintsWhatAFullRepaintPaints) {
  for (int i = 0; i < 60; ++i) view->NewString("line " + std::to_string(i) + " <pict=-2>", 0, 0xFFFFFF);
  const QImage appended = view->Bitmap().toImage();
  view->PaintAll();
  EXPECT_EQ(view->Bitmap().toImage(), appended);
  view->Document().SetVertScrollPos(view->VertScrollPos() - 37);
  const QImage scrolled = view->Bitmap().toImage();
  view->PaintAll();
  EXPECT_EQ(view->Bitmap().toImage(), scrolled);
}

TEST(HiDpiResources, EveryPictureHasAFineDrawingOfTwiceItsSize) {
  for (int i = 0; i < resources::kImageCount; ++i) {
    const QImage& fine = resources::ImageFor(i, 2);
    ASSERT_FALSE(fine.isNull()) << i;
    EXPECT_EQ(fine.size(), resources::Image(i).size() * 2) << i;
    EXPECT_EQ(fine.deviceIndependentSize(), QSizeF(resources::Image(i).size())) << i;
  }
  EXPECT_EQ(resources::LogoFor(2).size(), resources::Logo().size() * 2);
  for (int i = 0; i < 4; ++i) EXPECT_EQ(resources::LedFor(i, 2).size(), resources::Led(i).size() * 2);
  EXPECT_EQ(&resources::ImageFor(3, 1), &resources::Image(3));
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  setenv("QT_SCALE_FACTOR", "2", 1);
  if (!std::getenv("XDG_RUNTIME_DIR")) setenv("XDG_RUNTIME_DIR", "/tmp/chat-test-runtime", 1);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
