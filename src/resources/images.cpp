#include "resources/images.h"

#include <QString>

static void InitImagesResource() { Q_INIT_RESOURCE(images); }

namespace resources {

namespace {

const std::vector<QImage>& Load(const char* prefix, int count) {
  InitImagesResource();
  auto* images = new std::vector<QImage>;
  for (int i = 0; i < count; ++i) images->emplace_back(QString(":/images/%1%2.png").arg(prefix).arg(i + (prefix[0] == 'i' ? 1 : 0)));
  return *images;
}

}  // namespace

const QImage& Image(int index) {
  static const std::vector<QImage>& images = Load("image", kImageCount);
  static const QImage empty;
  return index >= 0 && index < kImageCount ? images[index] : empty;
}

const QImage& Logo() {
  InitImagesResource();
  static const QImage logo(":/images/logo.png");
  return logo;
}

const QImage& Led(int index) {
  static const std::vector<QImage>& leds = Load("led", 4);
  static const QImage empty;
  return index >= 0 && index < 4 ? leds[index] : empty;
}

}  // namespace resources
