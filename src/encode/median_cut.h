#pragma once
// Palette reduction for GIF: median cut over the colours of a picture,
// without dithering.
#include <cstdint>
#include <vector>

namespace encode {

struct Palette {
  std::vector<uint32_t> colours;  // 0xRRGGBB, at most the requested number
  std::vector<uint8_t> indices;   // one per pixel, into colours
};

// `pixels` are 0x??RRGGBB (the top byte is ignored).  Each colour of the
// palette is the pixel-weighted mean of one box of the cut, in the order the
// boxes were made, and each pixel's index names the box its colour fell in.
// A picture with at most `maxColours` distinct colours keeps them exactly.
Palette MedianCut(const std::vector<uint32_t>& pixels, int maxColours = 256);

}  // namespace encode
