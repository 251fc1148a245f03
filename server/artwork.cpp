#include "server/artwork.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include "encode/gif_encode.h"
#include "encode/jpeg_encode.h"
#include "server/log.h"
#include "text/bytes.h"

namespace chatd {
namespace {

using encode::EncodeGif;
using encode::EncodeJpeg;
using encode::GifFrame;
using encode::GifPicture;

// Palette indices shared by all drawings.
enum : uint8_t { kClear = 0, kBlack, kYellow, kOrange, kRed, kBlue, kGreen, kWhite, kPink, kBrown, kGrey, kCyan };
const std::vector<uint32_t> kPalette = {0xFFFFFF, 0x000000, 0xFFD800, 0xFF8C00, 0xE02020, 0x2050E0,
                                        0x20A040, 0xFFFFFF, 0xFF80C0, 0x805020, 0x909090, 0x40D0E0};

struct Canvas {
  int w, h;
  std::vector<uint8_t> px;
  Canvas(int width, int height, uint8_t fill) : w(width), h(height), px(static_cast<size_t>(width * height), fill) {}
  void Put(int x, int y, uint8_t c) {
    if (x >= 0 && y >= 0 && x < w && y < h) px[static_cast<size_t>(y * w + x)] = c;
  }
  void Disc(double cx, double cy, double r, uint8_t c) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        if ((x + 0.5 - cx) * (x + 0.5 - cx) + (y + 0.5 - cy) * (y + 0.5 - cy) <= r * r) Put(x, y, c);
  }
  void Ring(double cx, double cy, double r, double t, uint8_t c, int onlySide = 0) {
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
        if (d > r || d < r - t) continue;
        if (onlySide > 0 && y + 0.5 < cy + r * 0.3) continue;  // lower part: a smile
        if (onlySide < 0 && y + 0.5 > cy - r * 0.3) continue;  // upper part: a frown
        Put(x, y, c);
      }
  }
  void Rect(int x0, int y0, int rw, int rh, uint8_t c) {
    for (int y = y0; y < y0 + rh; ++y)
      for (int x = x0; x < x0 + rw; ++x) Put(x, y, c);
  }
  // The part [x0, x0+rw) x [y0, y0+rh) as a frame of its own.
  GifFrame Cut(int x0, int y0, int rw, int rh) const {
    GifFrame f;
    f.left = x0;
    f.top = y0;
    f.width = rw;
    f.height = rh;
    for (int y = y0; y < y0 + rh; ++y)
      for (int x = x0; x < x0 + rw; ++x) f.pixels.push_back(px[static_cast<size_t>(y * w + x)]);
    return f;
  }
  GifFrame Whole() const { return Cut(0, 0, w, h); }
};

constexpr int kSize = 24;

// A face of `colour`; mood 0 smiles, 1 frowns, 2 gapes.
Canvas Face(uint8_t colour, int mood, bool eyesOpen = true) {
  Canvas c(kSize, kSize, kClear);
  c.Disc(12, 12, 11, kBlack);
  c.Disc(12, 12, 10, colour);
  if (eyesOpen) {
    c.Disc(8, 9, 2, kBlack);
    c.Disc(16, 9, 2, kBlack);
  } else {
    c.Rect(6, 9, 5, 1, kBlack);
    c.Rect(14, 9, 5, 1, kBlack);
  }
  if (mood == 0) c.Ring(12, 12, 7, 1.6, kBlack, +1);
  if (mood == 1) c.Ring(12, 22, 7, 1.6, kBlack, -1);
  if (mood == 2) c.Disc(12, 16, 3, kRed);
  return c;
}

GifPicture Still(const Canvas& c, bool transparent) {
  GifPicture p{c.w, c.h, kPalette, kClear, false, {c.Whole()}};
  p.frames[0].transparent = transparent ? kClear : -1;
  return p;
}

// Disposal 1: the face stays, small frames over the eyes close and open them.
GifPicture Blinking(uint8_t colour, int mood) {
  Canvas open = Face(colour, mood, true), shut = Face(colour, mood, false);
  GifPicture p{kSize, kSize, kPalette, kClear, true, {}};
  GifFrame base = open.Whole();
  base.delayCentiseconds = 150;
  base.disposal = 1;
  base.transparent = kClear;
  GifFrame closing = shut.Cut(5, 6, 14, 6);
  closing.delayCentiseconds = 15;
  closing.disposal = 1;
  GifFrame opening = open.Cut(5, 6, 14, 6);
  opening.delayCentiseconds = 150;
  opening.disposal = 1;
  p.frames = {base, closing, opening};
  return p;
}

// Disposal 2: a transparent ball hops over an empty screen; every frame's
// rectangle goes back to the background before the next.
GifPicture Bouncing(uint8_t colour) {
  GifPicture p{kSize, kSize, kPalette, kClear, true, {}};
  const int heights[] = {12, 9, 5, 3, 5, 9};
  for (int i = 0; i < 6; ++i) {
    Canvas c(kSize, kSize, kClear);
    c.Disc(12, heights[i] + 5, 5, kBlack);
    c.Disc(12, heights[i] + 5, 4, colour);
    GifFrame f = c.Cut(6, heights[i] - 1, 12, 12);
    f.delayCentiseconds = 10;
    f.disposal = 2;
    f.transparent = kClear;
    p.frames.push_back(f);
  }
  return p;
}

// Disposal 3: a sparkle shown over the face and taken away again by
// restoring what was there before it.
GifPicture Sparkling(uint8_t colour, int mood) {
  Canvas face = Face(colour, mood);
  GifPicture p{kSize, kSize, kPalette, kClear, true, {}};
  GifFrame base = face.Whole();
  base.delayCentiseconds = 40;
  base.disposal = 1;
  base.transparent = kClear;
  p.frames.push_back(base);
  const int spots[][2] = {{1, 1}, {17, 2}, {17, 17}, {2, 17}};
  for (const auto& spot : spots) {
    Canvas star(kSize, kSize, kClear);
    star.Rect(spot[0] + 2, spot[1], 1, 5, kCyan);
    star.Rect(spot[0], spot[1] + 2, 5, 1, kCyan);
    star.Put(spot[0] + 2, spot[1] + 2, kWhite);
    GifFrame f = star.Cut(spot[0], spot[1], 5, 5);
    f.delayCentiseconds = 25;
    f.disposal = 3;
    f.transparent = kClear;
    p.frames.push_back(f);
  }
  return p;
}

// Disposal 0 (unspecified) with whole-screen frames: the face changes mood.
GifPicture Moody(uint8_t colour) {
  GifPicture p{kSize, kSize, kPalette, kClear, true, {}};
  for (int mood = 0; mood < 3; ++mood) {
    GifFrame f = Face(colour, mood).Whole();
    f.delayCentiseconds = 60;
    p.frames.push_back(f);
  }
  return p;
}

GifPicture Smiley(int group, int index) {
  const uint8_t colours[] = {kYellow, kGreen, kPink};
  const uint8_t colour = colours[group % 3];
  const int mood = index % 3;
  switch (index % 6) {
    case 0: return Still(Face(colour, mood), true);
    case 1: return Blinking(colour, mood);
    case 2: return Bouncing(index % 2 ? kRed : kBlue);
    case 3: return Sparkling(colour, mood);
    case 4: return Moody(colour);
    default: return Still(Face(colour, mood), false);
  }
}

// The second picture set: bigger shapes, half of them animated.
GifPicture SetPicture(int n) {
  const int size = 32;
  GifPicture p{size, size, kPalette, kClear, n % 2 == 0, {}};
  const uint8_t colours[] = {kRed, kBlue, kGreen, kOrange, kPink, kBrown, kCyan, kGrey};
  const uint8_t colour = colours[n % 8];
  const int frames = n % 2 == 0 ? 4 : 1;
  for (int i = 0; i < frames; ++i) {
    Canvas c(size, size, kClear);
    const double r = 8 + 2 * i + (n % 3);
    c.Disc(16, 16, r + 1, kBlack);
    c.Disc(16, 16, r, colour);
    c.Rect(16 - n % 5, 14, 2 * (n % 5) + 1, 4, kWhite);
    GifFrame f = c.Whole();
    f.delayCentiseconds = 20;
    f.disposal = 2;
    f.transparent = kClear;
    p.frames.push_back(f);
  }
  return p;
}

std::string Photo(int n) {
  const int w = 160, h = 120;
  std::vector<uint8_t> rgb(static_cast<size_t>(w * h * 3));
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      uint8_t* p = &rgb[static_cast<size_t>((y * w + x) * 3)];
      const double d = std::hypot(x - 80.0, y - 55.0);
      const bool head = d < 30, body = y > 85 && std::abs(x - 80) < 45 - (y - 85) / 3;
      p[0] = static_cast<uint8_t>(head || body ? 230 : 40 + x * n % 120);
      p[1] = static_cast<uint8_t>(head ? 190 : body ? 60 * n : 90 + y);
      p[2] = static_cast<uint8_t>(head ? 150 : body ? 200 : 160 + n * 30);
    }
  return EncodeJpeg(w, h, rgb, 85);
}

}  // namespace

std::vector<int> SmileyNumbers() {
  std::vector<int> numbers;
  for (int g = 0; g < 3; ++g)
    for (int i = 0; i < 12; ++i) numbers.push_back(g * 100 + i);
  return numbers;
}

std::string PhotoPath(const std::string& name, int n) {
  return "photos/" + text::SafeFileName(name) + "_" + std::to_string(n) + ".jpg";
}

std::vector<ArtFile> DrawArtwork(const std::string& botName) {
  std::vector<ArtFile> files;
  for (int number : SmileyNumbers())
    files.push_back({"smiles/" + std::to_string(number) + ".gif", EncodeGif(Smiley(number / 100, number % 100))});
  for (int n = 1; n <= 10; ++n) files.push_back({"smileset/1_" + std::to_string(n) + ".gif", EncodeGif(SetPicture(n))});
  if (!botName.empty()) {
    for (int n = 1; n <= 2; ++n) files.push_back({PhotoPath(botName, n), Photo(n)});
  }
  return files;
}

int EnsureArtwork(const std::string& dataDir, const std::string& botName) {
  namespace fs = std::filesystem;
  int written = 0;
  for (const ArtFile& file : DrawArtwork(botName)) {
    const fs::path target = fs::path(dataDir) / file.path;
    std::error_code ec;
    if (fs::exists(target, ec)) continue;
    fs::create_directories(target.parent_path(), ec);
    const fs::path temp = target.string() + ".tmp";
    {
      std::ofstream out(temp, std::ios::binary | std::ios::trunc);
      out.write(file.bytes.data(), static_cast<std::streamsize>(file.bytes.size()));
      if (!out || file.bytes.empty()) {
        Log("cannot write picture " + target.string());
        fs::remove(temp, ec);
        return -1;
      }
    }
    fs::rename(temp, target, ec);
    if (ec) {
      Log("cannot write picture " + target.string());
      return -1;
    }
    ++written;
  }
  return written;
}

}  // namespace chatd
