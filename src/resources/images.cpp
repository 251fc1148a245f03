#include "resources/images.h"

#include <QFile>
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

const QImage& Led(int index) {
  static const std::vector<QImage> leds = Load("led", 0, 4);
  static const QImage empty;
  return index >= 0 && index < 4 ? leds[index] : empty;
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
