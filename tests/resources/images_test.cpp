#include <gtest/gtest.h>

#include <QImage>

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
