// Decoding the pictures made by other tools in the shared test data.
#include "test_data.h"
#include "picture/picture_decode.h"

#include <QImage>
#include <QImageReader>

#include <gtest/gtest.h>

#include <string>

using namespace picture;

namespace {

std::string Data(const std::string& name) { return TestData("pictures/" + name); }

// Wherever our frame shows a pixel, the reference shows the same color.
// (The reference fills some areas we keep transparent: ImageMagick paints
// the GIF's background color where a frame is disposed or transparent.)
void ExpectSameWhereShown(const QImage& ours, const QImage& reference, const std::string& what) {
  ASSERT_EQ(ours.size(), reference.size()) << what;
  int mismatches = 0;
  for (int y = 0; y < ours.height(); ++y)
    for (int x = 0; x < ours.width(); ++x) {
      QRgb a = ours.pixel(x, y), b = reference.pixel(x, y);
      if (qAlpha(a) == 0) continue;
      if (qAlpha(a) != 255 || qAlpha(b) == 0 || (a & RGB_MASK) != (b & RGB_MASK)) {
        if (++mismatches <= 3)
          ADD_FAILURE() << what << " at " << x << "," << y << ": ours " << std::hex << a
                        << " reference " << b;
      }
    }
  EXPECT_EQ(mismatches, 0) << what;
}

}  // namespace

class AnimatedFile : public ::testing::TestWithParam<std::pair<const char*, int>> {};

TEST_P(AnimatedFile, FramesMatchTheReferenceComposition) {
  const std::string name = GetParam().first;
  DecodedImage image = DecodeFile(Data(name + ".gif"));
  ASSERT_TRUE(image.Loaded());
  ASSERT_TRUE(image.Animated());
  EXPECT_EQ(image.kind, ImageKind::Gif);
  const int count = name == "anim-zero-delay" ? 2 : 3;
  ASSERT_EQ(int(image.frames.size()), count);
  ASSERT_EQ(image.delays.size(), image.frames.size());
  for (int delay : image.delays) EXPECT_EQ(delay, GetParam().second);
  for (int i = 0; i < count; ++i) {
    QImage reference(QString::fromStdString(Data("coalesced/" + name + "-" + std::to_string(i) + ".png")));
    ASSERT_FALSE(reference.isNull());
    EXPECT_EQ(image.frames[i].size(), QSize(image.width, image.height));
    ExpectSameWhereShown(image.frames[i].convertToFormat(QImage::Format_ARGB32),
                         reference.convertToFormat(QImage::Format_ARGB32),
                         name + " frame " + std::to_string(i));
  }
}

INSTANTIATE_TEST_SUITE_P(Testdata, AnimatedFile,
                         ::testing::Values(std::make_pair("anim-dispose-none", 200),
                                           std::make_pair("anim-dispose-background", 200),
                                           std::make_pair("anim-dispose-previous", 200),
                                           std::make_pair("anim-dispose-mixed", 100),
                                           std::make_pair("anim-zero-delay", 0)));

// Qt's own readers serve only as an independent opinion here; the program
// decodes these formats itself.
QImage QtReads(const std::string& path, const char* format) {
  QImageReader reader(QString::fromStdString(path), format);
  return reader.read().convertToFormat(QImage::Format_ARGB32);
}

TEST(DecodeFile, JpegsMatchAnIndependentReader) {
  for (const char* name : {"baseline.jpg", "progressive.jpg"}) {
    DecodedImage jpeg = DecodeFile(Data(name));
    ASSERT_TRUE(jpeg.Loaded()) << name;
    EXPECT_EQ(jpeg.kind, ImageKind::Jpeg);
    EXPECT_EQ(jpeg.width, 64);
    EXPECT_EQ(jpeg.height, 48);
    QImage other = QtReads(Data(name), "jpeg");
    if (other.isNull()) GTEST_SKIP() << "no second JPEG reader here";
    ASSERT_EQ(other.size(), jpeg.frames[0].size());
    int64_t difference = 0;
    for (int y = 0; y < 48; ++y)
      for (int x = 0; x < 64; ++x) {
        QRgb a = jpeg.frames[0].pixel(x, y), b = other.pixel(x, y);
        difference += std::abs(qRed(a) - qRed(b)) + std::abs(qGreen(a) - qGreen(b)) +
                      std::abs(qBlue(a) - qBlue(b));
      }
    EXPECT_LT(difference / (64 * 48 * 3), 3) << name;
  }
}

TEST(DecodeFile, StillGifsMatchAnIndependentReader) {
  for (const char* name : {"interlaced.gif", "static-transparent.gif"}) {
    DecodedImage gif = DecodeFile(Data(name));
    ASSERT_TRUE(gif.Loaded()) << name;
    QImage other = QtReads(Data(name), "gif");
    if (other.isNull()) GTEST_SKIP() << "no second GIF reader here";
    ASSERT_EQ(other.size(), gif.frames[0].size()) << name;
    for (int y = 0; y < other.height(); ++y)
      for (int x = 0; x < other.width(); ++x) {
        QRgb a = gif.frames[0].pixel(x, y), b = other.pixel(x, y);
        ASSERT_EQ(qAlpha(a), qAlpha(b)) << name << " " << x << "," << y;
        if (qAlpha(a)) {
          ASSERT_EQ(a, b) << name << " " << x << "," << y;
        }
      }
  }
}

TEST(DecodeFile, BmpBottomLeftColorIsTransparent) {
  DecodedImage bmp = DecodeFile(Data("bottomleft-magenta.bmp"));
  ASSERT_TRUE(bmp.Loaded());
  EXPECT_EQ(bmp.kind, ImageKind::Bmp);
  const QImage& img = bmp.frames[0];
  EXPECT_EQ(qAlpha(img.pixel(0, img.height() - 1)), 0);
  QImage plain(QString::fromStdString(Data("bottomleft-magenta.bmp")));
  ASSERT_EQ(plain.size(), img.size());
  const QRgb key = plain.pixel(0, plain.height() - 1) & RGB_MASK;
  int opaque = 0;
  for (int y = 0; y < img.height(); ++y)
    for (int x = 0; x < img.width(); ++x) {
      bool isKey = (plain.pixel(x, y) & RGB_MASK) == key;
      EXPECT_EQ(qAlpha(img.pixel(x, y)), isKey ? 0 : 255) << x << "," << y;
      if (!isKey) {
        ++opaque;
        EXPECT_EQ(img.pixel(x, y) & RGB_MASK, plain.pixel(x, y) & RGB_MASK);
      }
    }
  EXPECT_GT(opaque, 0);
}

TEST(DecodeFile, HostileGifsFailCleanly) {
  for (const char* name : {"truncated.gif", "huge-screen.gif", "no-colour-map.gif",
                           "frame-outside-screen.gif"}) {
    DecodedImage image = DecodeFile(Data(name));
    EXPECT_FALSE(image.Loaded()) << name;
    EXPECT_TRUE(image.frames.empty()) << name;
  }
}
