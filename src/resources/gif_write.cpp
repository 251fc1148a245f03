// GIF output of draw_images: median-cut palette, giflib encoder.
#include <QFile>
#include <QImage>
#include <QString>

#include <gif_lib.h>

#include <algorithm>
#include <array>
#include <map>
#include <vector>

#include "game_art.h"

namespace game_art {
namespace {

struct Colour {
  QRgb rgb;
  int count;
};

int Channel(QRgb c, int ch) { return ch == 0 ? qRed(c) : ch == 1 ? qGreen(c) : qBlue(c); }

// The channel with the widest spread within [begin, end), and that spread.
std::pair<int, int> WidestChannel(const std::vector<Colour>& colours, size_t begin, size_t end) {
  int best = 0, spread = -1;
  for (int ch = 0; ch < 3; ++ch) {
    int lo = 255, hi = 0;
    for (size_t i = begin; i < end; ++i) {
      lo = std::min(lo, Channel(colours[i].rgb, ch));
      hi = std::max(hi, Channel(colours[i].rgb, ch));
    }
    if (hi - lo > spread) spread = hi - lo, best = ch;
  }
  return {best, spread};
}

// Up to `limit` representative colours of `colours` (each weighted by how
// often it occurs): boxes are split at their weighted median along their
// widest channel until there are enough.
std::vector<QRgb> MedianCut(std::vector<Colour> colours, size_t limit) {
  struct Box {
    size_t begin, end;
  };
  std::vector<Box> boxes{{0, colours.size()}};
  while (boxes.size() < limit) {
    size_t pick = boxes.size();
    int widest = 0;
    for (size_t b = 0; b < boxes.size(); ++b) {
      if (boxes[b].end - boxes[b].begin < 2) continue;
      const int spread = WidestChannel(colours, boxes[b].begin, boxes[b].end).second;
      if (spread > widest) widest = spread, pick = b;
    }
    if (pick == boxes.size()) break;
    const Box box = boxes[pick];
    const int ch = WidestChannel(colours, box.begin, box.end).first;
    std::sort(colours.begin() + box.begin, colours.begin() + box.end,
              [ch](const Colour& a, const Colour& b) { return Channel(a.rgb, ch) < Channel(b.rgb, ch); });
    long total = 0;
    for (size_t i = box.begin; i < box.end; ++i) total += colours[i].count;
    long half = 0;
    size_t cut = box.begin + 1;
    for (size_t i = box.begin; i < box.end - 1; ++i) {
      half += colours[i].count;
      cut = i + 1;
      if (half * 2 >= total) break;
    }
    boxes[pick] = {box.begin, cut};
    boxes.push_back({cut, box.end});
  }
  std::vector<QRgb> palette;
  for (const Box& box : boxes) {
    double r = 0, g = 0, b = 0, n = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
      r += qRed(colours[i].rgb) * double(colours[i].count);
      g += qGreen(colours[i].rgb) * double(colours[i].count);
      b += qBlue(colours[i].rgb) * double(colours[i].count);
      n += colours[i].count;
    }
    palette.push_back(qRgb(int(r / n + 0.5), int(g / n + 0.5), int(b / n + 0.5)));
  }
  return palette;
}

int Distance(QRgb a, QRgb b) {
  const int dr = qRed(a) - qRed(b), dg = qGreen(a) - qGreen(b), db = qBlue(a) - qBlue(b);
  return dr * dr * 3 + dg * dg * 4 + db * db * 2;
}

int Write(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<QByteArray*>(gif->UserData)->append(reinterpret_cast<const char*>(data), n);
  return n;
}

}  // namespace

bool WriteGif(const QImage& source, const QString& path, const unsigned* keyColor) {
  const QImage image = source.convertToFormat(QImage::Format_RGB32);
  const QRgb key = keyColor ? (*keyColor | 0xFF000000u) : 0;
  std::map<QRgb, int> counts;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      if (!keyColor || c != key) ++counts[c];
    }
  std::vector<Colour> colours;
  for (const auto& [rgb, count] : counts) colours.push_back({rgb, count});
  const size_t room = keyColor ? 255 : 256;
  std::vector<QRgb> palette;
  if (colours.size() <= room) {
    for (const Colour& c : colours) palette.push_back(c.rgb);
  } else {
    palette = MedianCut(colours, room);
  }
  // The key colour takes the last entry; a representative that came out
  // equal to it is moved off by one step, so no piece pixel turns clear.
  for (QRgb& c : palette)
    if (keyColor && (c | 0xFF000000u) == key) c = qRgb(std::max(0, qRed(c) - 1), qGreen(c), qBlue(c));
  if (palette.empty()) palette.push_back(qRgb(0, 0, 0));
  const int keyIndex = keyColor ? int(palette.size()) : -1;
  if (keyColor) palette.push_back(key);
  int mapSize = 2;
  while (mapSize < int(palette.size())) mapSize *= 2;

  std::map<QRgb, int> nearest;
  std::vector<GifPixelType> pixels(size_t(image.width()) * size_t(image.height()));
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QRgb c = image.pixel(x, y) | 0xFF000000u;
      int index;
      if (keyColor && c == key) {
        index = keyIndex;
      } else if (auto it = nearest.find(c); it != nearest.end()) {
        index = it->second;
      } else {
        index = 0;
        for (int i = 1; i < int(palette.size()) - (keyColor ? 1 : 0); ++i)
          if (Distance(c, palette[size_t(i)]) < Distance(c, palette[size_t(index)])) index = i;
        nearest[c] = index;
      }
      pixels[size_t(y) * size_t(image.width()) + size_t(x)] = GifPixelType(index);
    }

  std::vector<GifColorType> entries(size_t(mapSize), GifColorType{0, 0, 0});
  for (size_t i = 0; i < palette.size(); ++i)
    entries[i] = {GifByteType(qRed(palette[i])), GifByteType(qGreen(palette[i])), GifByteType(qBlue(palette[i]))};
  QByteArray bytes;
  int error = 0;
  GifFileType* gif = EGifOpen(&bytes, Write, &error);
  if (!gif) return false;
  ColorMapObject* map = GifMakeMapObject(mapSize, entries.data());
  bool ok = EGifPutScreenDesc(gif, image.width(), image.height(), 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, image.width(), image.height(), false, nullptr) == GIF_OK;
  for (int y = 0; ok && y < image.height(); ++y)
    ok = EGifPutLine(gif, pixels.data() + size_t(y) * size_t(image.width()), image.width()) == GIF_OK;
  ok = EGifCloseFile(gif, &error) == GIF_OK && ok;
  GifFreeMapObject(map);
  if (!ok) return false;
  QFile file(path);
  return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

}  // namespace game_art
