// GIF output of draw_images: the shared median cut and GIF encoder, with the
// key colour kept exact and every other pixel on its nearest palette entry.
#include <QFile>
#include <QImage>
#include <QString>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "game_art.h"
#include "encode/gif_encode.h"
#include "encode/median_cut.h"

namespace game_art {
namespace {

// Colours are 0x00RRGGBB here, as the encoder takes them.
int Distance(uint32_t a, uint32_t b) {
  const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
  return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

}  // namespace

bool WriteGif(const QImage& source, const QString& path, const unsigned* keyColor) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const uint32_t key = keyColor ? (*keyColor & 0xFFFFFFu) : 0;
  std::vector<uint32_t> rgb;  // every pixel
  std::vector<uint32_t> body;  // the pixels that are not the key colour
  rgb.reserve(size_t(image.width()) * size_t(image.height()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const uint32_t c = image.pixel(x, y) & 0xFFFFFFu;
      rgb.push_back(c);
      if (!keyColor || c != key) body.push_back(c);
    }
  const std::set<uint32_t> distinct(body.begin(), body.end());
  const size_t room = keyColor ? 255 : 256;
  // Few colours are kept as they are, in colour order; more are cut down.
  std::vector<uint32_t> palette = distinct.size() <= room
                                      ? std::vector<uint32_t>(distinct.begin(), distinct.end())
                                      : encode::MedianCut(body, int(room)).colours;
  // The key colour takes the last entry; a representative that came out
  // equal to it is moved off by one step, so no piece pixel turns clear.
  for (uint32_t& c : palette)
    if (keyColor && c == key) c = qRgb(std::max(0, qRed(c) - 1), qGreen(c), qBlue(c)) & 0xFFFFFFu;
  if (palette.empty()) palette.push_back(0);
  const int keyIndex = keyColor ? int(palette.size()) : -1;
  if (keyColor) palette.push_back(key);

  // Each pixel takes its nearest entry by a weighted distance rather than
  // the mean of its median-cut box, which is never nearer.
  std::map<uint32_t, int> nearest;
  std::vector<uint8_t> pixels(rgb.size());
  for (size_t i = 0; i < rgb.size(); ++i) {
    const uint32_t c = rgb[i];
    int index;
    if (keyColor && c == key) {
      index = keyIndex;
    } else if (auto it = nearest.find(c); it != nearest.end()) {
      index = it->second;
    } else {
      index = 0;
      for (int e = 1; e < int(palette.size()) - (keyColor ? 1 : 0); ++e)
        if (Distance(c, palette[size_t(e)]) < Distance(c, palette[size_t(index)])) index = e;
      nearest[c] = index;
    }
    pixels[i] = uint8_t(index);
  }

  const std::string bytes =
      encode::EncodeGif(encode::StillGif(image.width(), image.height(), std::move(palette), std::move(pixels)));
  if (bytes.empty()) return false;
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes.data(), qint64(bytes.size())) == qint64(bytes.size());
}

}  // namespace game_art
