#include "gif_writer.h"

#include <QCoreApplication>

#include <gif_lib.h>

namespace testing_picture {
namespace {

int Write(GifFileType* gif, const GifByteType* data, int n) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), size_t(n));
  return n;
}

ColorMapObject* Map(const std::vector<QRgb>& colors) {
  if (colors.empty()) return nullptr;
  int size = 2;
  while (size < int(colors.size())) size *= 2;
  std::vector<GifColorType> entries(size_t(size), GifColorType{0, 0, 0});
  for (size_t i = 0; i < colors.size(); ++i)
    entries[i] = GifColorType{GifByteType(qRed(colors[i])), GifByteType(qGreen(colors[i])),
                              GifByteType(qBlue(colors[i]))};
  return GifMakeMapObject(size, entries.data());
}

}  // namespace

std::string MakeGif(int width, int height, const std::vector<QRgb>& palette,
                    const std::vector<TestFrame>& frames) {
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Write, &error);
  EGifSetGifVersion(gif, true);
  ColorMapObject* global = Map(palette);
  EGifPutScreenDesc(gif, width, height, 8, 0, global);
  for (const TestFrame& f : frames) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = f.disposal;
    gcb.DelayTime = f.delayCs;
    gcb.TransparentColor = f.transparent;
    GifByteType ext[4];
    size_t len = EGifGCBToExtension(&gcb, ext);
    EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(len), ext);
    ColorMapObject* local = Map(f.palette);
    if (!local && gif->Image.ColorMap) {  // giflib would drop the last local map unfreed
      GifFreeMapObject(gif->Image.ColorMap);
      gif->Image.ColorMap = nullptr;
    }
    EGifPutImageDesc(gif, f.x, f.y, f.w, f.h, f.interlaced, local);
    std::vector<int> rows;
    if (f.interlaced) {
      const int start[] = {0, 4, 2, 1}, step[] = {8, 8, 4, 2};
      for (int p = 0; p < 4; ++p)
        for (int y = start[p]; y < f.h; y += step[p]) rows.push_back(y);
    } else {
      for (int y = 0; y < f.h; ++y) rows.push_back(y);
    }
    for (int y : rows) {
      std::vector<GifPixelType> line(f.pixels.begin() + y * f.w, f.pixels.begin() + (y + 1) * f.w);
      EGifPutLine(gif, line.data(), f.w);
    }
    if (local) GifFreeMapObject(local);
  }
  EGifCloseFile(gif, &error);
  if (global) GifFreeMapObject(global);
  return out;
}

TestFrame Solid(int x, int y, int w, int h, uint8_t index, int disposal) {
  TestFrame f;
  f.x = x;
  f.y = y;
  f.w = w;
  f.h = h;
  f.disposal = disposal;
  f.pixels.assign(size_t(w * h), index);
  return f;
}

std::string GifBomb(int side, int frames) {
  std::string g = "GIF89a";
  for (int i = 0; i < 2; ++i) {  // the screen's width and height
    g += char(side & 0xFF);
    g += char(side >> 8);
  }
  g += std::string("\x80\x00\x00", 3);  // a global map of two colours
  g += std::string("\x00\x00\x00\xFF\xFF\xFF", 6);
  for (int i = 0; i < frames; ++i) {
    g += std::string("\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00", 10);
    g += std::string("\x02\x02\x44\x01\x00", 5);
  }
  return g + ';';
}

}  // namespace testing_picture
