#include "games/ui/piece_images.h"

#include <QImage>
#include <array>

#include "picture/gif_decode.h"
#include "resources/images.h"

namespace games {
namespace {

// The one frame of a built-in strip; pixels of `clear` (or, without one,
// of the top-left pixel) become transparent when `keyed` is set.
QImage ReadStrip(const char* name, bool keyed, const QRgb* clear) {
  const auto gif = picture::ReadGif(resources::GameStrip(name));
  if (!gif || gif->frames.empty()) return {};
  const picture::GifFrame& f = gif->frames[0];
  QImage image(gif->width, gif->height, QImage::Format_ARGB32);
  image.fill(Qt::transparent);
  for (int y = 0; y < f.rect.height(); ++y)
    for (int x = 0; x < f.rect.width(); ++x) {
      const uint8_t index = f.indices[size_t(y) * size_t(f.rect.width()) + size_t(x)];
      image.setPixel(f.rect.x() + x, f.rect.y() + y, index < f.palette.size() ? f.palette[index] | 0xFF000000u : 0);
    }
  if (keyed && !image.isNull()) {
    const QRgb key = (clear ? *clear : image.pixel(0, 0)) | 0xFF000000u;
    for (int y = 0; y < image.height(); ++y)
      for (int x = 0; x < image.width(); ++x)
        if ((image.pixel(x, y) | 0xFF000000u) == key) image.setPixel(x, y, 0);
  }
  return image;
}

std::vector<QPixmap> Cells(const QImage& strip, int count) {
  std::vector<QPixmap> cells;
  if (strip.isNull()) return cells;
  const int w = strip.width() / count;
  for (int i = 0; i < count; ++i) cells.push_back(QPixmap::fromImage(strip.copy(i * w, 0, w, strip.height())));
  return cells;
}

PieceImages Load(GameKind kind, bool big) {
  PieceImages images;
  if (kind == GameKind::Chess) {
    const QRgb white = qRgb(255, 255, 255);
    images.pieces = Cells(ReadStrip(big ? "CHESS" : "CHESSSMALL", true, &white), 12);
  } else {
    images.pieces = Cells(ReadStrip(big ? "CHECKERS" : "CHECKERSSMALL", true, nullptr), 4);
  }
  images.tiles = Cells(ReadStrip(big ? "BOARD" : "BOARDSMALL", false, nullptr), 5);
  return images;
}

}  // namespace

const QPixmap* PieceImages::Piece(int code) const {
  if (code < 1 || code > static_cast<int>(pieces.size())) return nullptr;
  return &pieces[size_t(code - 1)];
}

const PieceImages& PiecesOf(GameKind kind, bool big) {
  static std::array<std::array<PieceImages, 2>, 3> cache;
  static std::array<std::array<bool, 2>, 3> loaded{};
  const size_t k = kind == GameKind::Chess ? 1 : 0;  // reversi shares the checkers pictures
  if (!loaded[k][big]) {
    cache[k][big] = Load(kind == GameKind::Chess ? GameKind::Chess : GameKind::Checkers, big);
    loaded[k][big] = true;
  }
  return cache[k][big];
}

}  // namespace games
