// The recode window and the picture viewer as widgets.
#include "transfer/ui/picture_windows.h"

#include <QComboBox>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <gtest/gtest.h>

#include "transfer/picture_codec.h"
#include "qt_wait.h"

namespace {

using transfer::PictureRecoder;
using transfer::PictureWindow;

template <class T>
T* Child(QWidget& w, const char* name) {
  T* c = w.findChild<T*>(name);
  EXPECT_NE(c, nullptr) << name;
  return c;
}

QImage Picture(int w, int h) {
  QImage image(w, h, QImage::Format_RGB32);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) image.setPixel(x, y, qRgb(x % 256, y % 256, (x + y) % 256));
  return image;
}

TEST(PictureRecoderWindow, ChoicesSizeFieldQualityAndSend) {
  EXPECT_EQ(PictureRecoder::Open("junk", nullptr, true), nullptr);
  EXPECT_EQ(PictureRecoder::OpenCount(), 0);

  const std::string bmp = transfer::EncodeBmp(Picture(120, 80));
  std::vector<std::string> sent;
  PictureRecoder* w = PictureRecoder::Open(bmp, [&](const std::string& d) { sent.push_back(d); return true; }, false);
  ASSERT_NE(w, nullptr);
  auto* size = Child<QLineEdit>(*w, "ResSize");
  auto* recode = Child<QComboBox>(*w, "RecodeType");
  auto* quality = Child<QSpinBox>(*w, "JPGQual");
  auto* send = Child<QPushButton>(*w, "Send");
  EXPECT_EQ(recode->currentText(), "GIF");
  EXPECT_EQ(size->text().toStdString(), std::to_string(w->Model().SendData().size()));
  EXPECT_FALSE(quality->isEnabled());
  EXPECT_FALSE(send->isEnabled());

  recode->setCurrentIndex(1);  // JPG
  EXPECT_TRUE(quality->isEnabled());
  const QString at26 = size->text();
  quality->setValue(100);
  EXPECT_GT(size->text().toLongLong(), at26.toLongLong());

  recode->setCurrentIndex(0);  // unchanged: the bitmap itself
  EXPECT_EQ(size->text().toStdString(), std::to_string(bmp.size()));
  PictureRecoder::SetAllSendEnabled(true);
  ASSERT_TRUE(send->isEnabled());
  send->click();
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0], bmp);
  ASSERT_TRUE(WaitFor([] { return PictureRecoder::OpenCount() == 0; }, 2000));
}

TEST(PictureViewerWindow, ShowsTheSizeAndFitsWithoutScrollBars) {
  const QImage big = Picture(1600, 1200);
  PictureWindow* w = PictureWindow::Open("0123456789", big);
  ASSERT_EQ(PictureWindow::OpenCount(), 1);
  EXPECT_EQ(Child<QLineEdit>(*w, "Size")->text(), "10");
  auto* scroll = Child<QScrollArea>(*w, "Scroll");
  auto* image = Child<QLabel>(*w, "Image");
  EXPECT_EQ(image->size(), big.size());  // 1:1 at the start
  QCoreApplication::processEvents();
  EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible() || scroll->verticalScrollBar()->isVisible());

  Child<QCheckBox>(*w, "OneTo1")->setChecked(false);
  QCoreApplication::processEvents();
  const QSize box = scroll->maximumViewportSize();
  EXPECT_LT(image->width(), box.width());
  EXPECT_LT(image->height(), box.height());
  // Fitted with a small margin on its tighter side.
  EXPECT_GT(std::max(double(image->width()) / box.width(), double(image->height()) / box.height()), 0.95);
  EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible());
  EXPECT_FALSE(scroll->verticalScrollBar()->isVisible());
  PictureWindow::CloseAll();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(PictureWindow::OpenCount(), 0);
}

TEST(PictureViewerWindow, TheOpenViewersAreBoundedInNumberAndPixels) {
  auto closeAll = [] {
    PictureWindow::CloseAll();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  };
  PictureWindow::SetLimits({3, 10'000});
  const QImage small = Picture(40, 25);  // 1000 pixels
  for (int i = 0; i < 3; ++i) EXPECT_NE(PictureWindow::Open("s", small), nullptr);
  EXPECT_EQ(PictureWindow::Open("s", small), nullptr);
  EXPECT_EQ(PictureWindow::OpenCount(), 3);
  // A closed viewer makes room again.
  closeAll();
  EXPECT_NE(PictureWindow::Open("s", small), nullptr);

  // 1000 + 9000 fill the pixels; one more, however small, waits.
  EXPECT_NE(PictureWindow::Open("m", Picture(90, 100)), nullptr);
  EXPECT_EQ(PictureWindow::Open("t", Picture(1, 1)), nullptr);
  EXPECT_EQ(PictureWindow::OpenCount(), 2);
  closeAll();
  // A picture above the whole budget is never shown.
  EXPECT_EQ(PictureWindow::Open("b", Picture(101, 100)), nullptr);
  EXPECT_EQ(PictureWindow::OpenCount(), 0);
  PictureWindow::SetLimits({});
}

}  // namespace
