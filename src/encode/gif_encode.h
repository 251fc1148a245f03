#pragma once
// GIF encoding with giflib: one global palette, any number of frames, each
// with its own rectangle, delay, disposal method and transparent index.
#include <cstdint>
#include <string>
#include <vector>

namespace encode {

struct GifFrame {
  int left = 0, top = 0, width = 0, height = 0;
  std::vector<uint8_t> pixels;  // width * height palette indices, row by row
  int delayCentiseconds = 0;
  int disposal = 0;      // 0 unspecified, 1 keep, 2 restore background, 3 restore previous
  int transparent = -1;  // palette index or -1
};

struct GifPicture {
  int width = 0, height = 0;
  std::vector<uint32_t> palette;  // 0xRRGGBB, 1..256 entries
  int background = 0;
  bool loop = false;  // adds the looping application extension
  std::vector<GifFrame> frames;
  // GIF89a with a graphics control block before every frame.  Without them
  // the file is a plain GIF87a, and the frames' delay, disposal and
  // transparent index are not written.
  bool controlBlocks = true;
};

// The encoded file; empty when the picture is not one a GIF can hold (no
// palette or more than 256 colours, no frames, a side of 0 or above 65535, a
// frame that leaves the screen or whose pixels do not match its size) or
// when giflib refuses it.  The colour map is padded with black to a power
// of two.
std::string EncodeGif(const GifPicture& picture);

// One still frame over the whole screen, without control blocks: what a
// single picture needs.
GifPicture StillGif(int width, int height, std::vector<uint32_t> palette, std::vector<uint8_t> pixels);

}  // namespace encode
