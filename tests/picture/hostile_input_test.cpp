// Damaged and hostile files must never crash a decoder, and whatever is
// decoded must be consistent.
#include "test_data.h"
#include "gif_writer.h"
#include "picture/picture_decode.h"

#include <QFile>

#include <gtest/gtest.h>

#include <random>

using namespace picture;
using namespace testing_picture;

namespace {

std::string ReadData(const char* name) { return ReadTestData(std::string("pictures/") + name); }

void ExpectConsistent(const DecodedImage& img, const std::string& what) {
  if (!img.Loaded()) {
    EXPECT_EQ(img.kind, ImageKind::None) << what;
    return;
  }
  ASSERT_GT(img.width, 0) << what;
  ASSERT_GT(img.height, 0) << what;
  EXPECT_LE(int64_t(img.width) * img.height, kMaxPicturePixels) << what;
  for (const QImage& frame : img.frames) EXPECT_EQ(frame.size(), QSize(img.width, img.height)) << what;
  if (img.Animated()) {
    EXPECT_EQ(img.delays.size(), img.frames.size()) << what;
  }
}

struct Sample {
  const char* name;
  const char* ext;
};
const Sample kSamples[] = {
    {"anim-dispose-mixed.gif", ".gif"}, {"interlaced.gif", ".gif"}, {"static-transparent.gif", ".gif"},
    {"baseline.jpg", ".jpg"},           {"progressive.jpg", ".jpg"}, {"bottomleft-magenta.bmp", ".bmp"},
};

}  // namespace

TEST(HostileInput, EveryTruncationOfEverySample) {
  for (const Sample& s : kSamples) {
    const std::string data = ReadData(s.name);
    ASSERT_TRUE(DecodeBytes(s.ext, data).Loaded()) << s.name;
    for (size_t n = 0; n < data.size(); ++n)
      ExpectConsistent(DecodeBytes(s.ext, std::string_view(data).substr(0, n)),
                       std::string(s.name) + " cut at " + std::to_string(n));
  }
}

TEST(HostileInput, RandomDamageAndRandomBytes) {
  std::mt19937 rng(20261209);
  for (const Sample& s : kSamples) {
    const std::string data = ReadData(s.name);
    for (int round = 0; round < 400; ++round) {
      std::string damaged = data;
      int flips = 1 + int(rng() % 8);
      for (int i = 0; i < flips; ++i) damaged[rng() % damaged.size()] = char(rng());
      ExpectConsistent(DecodeBytes(s.ext, damaged), std::string(s.name) + " round " + std::to_string(round));
    }
  }
  for (const char* ext : {".gif", ".jpg", ".bmp"})
    for (int round = 0; round < 300; ++round) {
      std::string noise(1 + rng() % 2000, '\0');
      for (char& c : noise) c = char(rng());
      if (round % 3 == 0) noise.replace(0, 6, "GIF89a");  // get past the signature
      if (round % 3 == 1) noise.replace(0, 2, "BM");
      ExpectConsistent(DecodeBytes(ext, noise), std::string("noise ") + ext);
    }
}

TEST(HostileInput, HugeDeclaredSizesAreRefused) {
  // A JPEG whose frame header claims 4100 x 4100: it could be decoded (the
  // missing data reads as grey) but is above the pixel limit.
  std::string jpeg = ReadData("baseline.jpg");
  size_t sof = std::string::npos;
  for (size_t i = 0; i + 1 < jpeg.size(); ++i)
    if (uint8_t(jpeg[i]) == 0xFF && (uint8_t(jpeg[i + 1]) == 0xC0 || uint8_t(jpeg[i + 1]) == 0xC2)) {
      sof = i;
      break;
    }
  ASSERT_NE(sof, std::string::npos);
  for (size_t at : {sof + 5, sof + 7}) {  // height, then width, big-endian
    jpeg[at] = char(0x10);
    jpeg[at + 1] = char(0x04);
  }
  EXPECT_FALSE(DecodeBytes(".jpg", jpeg).Loaded());
  jpeg[sof + 5] = char(0x0F);  // 3840 x 4100 is within it
  jpeg[sof + 6] = char(0x00);
  DecodedImage within = DecodeBytes(".jpg", jpeg);
  ASSERT_TRUE(within.Loaded());
  EXPECT_EQ(within.height, 3840);

  // A BMP whose header claims 100000 x 100000 pixels.
  std::string bmp = ReadData("bottomleft-magenta.bmp");
  for (size_t at : {size_t(18), size_t(22)}) {
    uint32_t v = 100000;
    for (int i = 0; i < 4; ++i) bmp[at + i] = char((v >> (8 * i)) & 0xFF);
  }
  EXPECT_FALSE(DecodeBytes(".bmp", bmp).Loaded());

  // A GIF frame declaring 65535 x 65535 pixels on a small screen.
  std::string gif = MakeGif(4, 4, {qRgb(1, 2, 3), qRgb(4, 5, 6)}, {Solid(0, 0, 1, 1, 0)});
  size_t desc = gif.find(',');
  ASSERT_NE(desc, std::string::npos);
  gif[desc + 5] = gif[desc + 6] = gif[desc + 7] = gif[desc + 8] = char(0xFF);
  EXPECT_FALSE(DecodeBytes(".gif", gif).Loaded());
}
