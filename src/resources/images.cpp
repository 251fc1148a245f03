#include "resources/images.h"

#include <QFile>
#include <QString>

static void InitImagesResource() { Q_INIT_RESOURCE(images); }

namespace resources {

namespace {

// Files are named prefix + number (+ "@2x" for the fine drawing), numbers
// counting up from `first`.
std::vector<QImage> Load(const char* prefix, int first, int count, bool fine = false) {
  InitImagesResource();
  std::vector<QImage> images;
  for (int i = 0; i < count; ++i) {
    QImage image(QString(":/images/%1%2%3.png").arg(prefix).arg(first + i).arg(fine ? "@2x" : ""));
    if (fine) image.setDevicePixelRatio(2);
    images.push_back(image);
  }
  return images;
}

bool Fine(qreal devicePixelRatio) { return devicePixelRatio > 1.0; }

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

const QImage& ImageFor(int index, qreal devicePixelRatio) {
  if (!Fine(devicePixelRatio)) return Image(index);
  static const std::vector<QImage> images = Load("image", 1, kImageCount, true);
  return index >= 0 && index < kImageCount ? images[index] : Image(index);
}

const QImage& LogoFor(qreal devicePixelRatio) {
  if (!Fine(devicePixelRatio)) return Logo();
  static const QImage logo = [] {
    QImage image(":/images/logo@2x.png");
    image.setDevicePixelRatio(2);
    return image;
  }();
  return logo;
}

const QImage& LedFor(int index, qreal devicePixelRatio) {
  if (!Fine(devicePixelRatio)) return Led(index);
  static const std::vector<QImage> leds = Load("led", 0, 4, true);
  return index >= 0 && index < 4 ? leds[index] : Led(index);
}

std::string GameStrip(const std::string& name) {
  static const char* const kNames[] = {"CHECKERS", "CHECKERSSMALL", "CHESS", "CHESSSMALL", "BOARD", "BOARDSMALL"};
  for (const char* known : kNames) {
    if (name != known) continue;
    InitImagesResource();
    QFile file(QString(":/images/%1.gif").arg(QString::fromLatin1(known).toLower()));
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll().toStdString();
  }
  return {};
}

const QImage& ReplayGlyph(int index) {
  static const std::vector<QImage> glyphs = Load("replay", 0, 5);
  static const QImage empty;
  return index >= 0 && index < 5 ? glyphs[index] : empty;
}

}  // namespace resources
