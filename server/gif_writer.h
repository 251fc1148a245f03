#pragma once
// GIF encoding with giflib: one global palette, any number of frames, each
// with its own rectangle, delay, disposal method and transparent index.
#include <cstdint>
#include <string>
#include <vector>

namespace chatd {

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width * height palette indices, row by row
  int delayCentiseconds = 0;
  int disposal = 0;      // 0 unspecified, 1 keep, 2 restore background, 3 restore previous
  int transparent = -1;  // palette index or -1
};

struct GifPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, 2..256 entries
  int background = 0;
  bool loop = false;  // adds the looping application extension
  std::vector<GifFrame> frames;
};

// The encoded file; empty when giflib refuses the picture.
std::string EncodeGif(const GifPicture& picture);

}  // namespace chatd
