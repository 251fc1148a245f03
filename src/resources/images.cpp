#include "resources/images.h"

#include <QString>

static void InitImagesResource() { Q_INIT_RESOURCE(images); }

namespace resources {

namespace {

// Files are named prefix + number, numbers counting up from `first`.
std::vector<QImage> Load(const char* prefix, int first, int count) {
  InitImagesResource();
  std::vector<QImage> images;
  for (int i = 0; i < count; ++i) images.emplace_back(QString(":/images/%1%2.png").arg(prefix).arg(first + i));
  return images;
}

}  // namespace

const QImage& Image(int index) {
  static const std::vector<QImage> images = Load("image", 1, kImageCount);
  static const QImage empty;
  return index >= 0 && index < kImageCount ? images[index] : empty;
}

const QImage& Logo() {
  InitImagesResource();
  static const QImage logo(":/images/logo.png");
  return logo;
}

const QIcon& AppIcon() {
  InitImagesResource();
  static const QIcon icon = [] {
    QIcon i;
    for (int size : {16, 32, 48, 256}) i.addFile(QString(":/icons/chat-browser-%1.png").arg(size));
    return i;
  }();
  return icon;
}

const QImage& Led(int index) {
  static const std::vector<QImage> leds = Load("led", 0, 4);
  static const QImage empty;
  return index >= 0 && index < 4 ? leds[index] : empty;
}

}  // namespace resources
