#pragma once
// Palette reduction for GIF: median cut over the colours of a picture,
// without dithering.  Plain C++.
#include <cstdint>
#include <vector>

namespace transfer {

struct Palette {
  std::vector<uint32_t> colours;  // 0xRRGGBB, at most the requested number
  std::vector<uint8_t> indices;   // one per pixel, into colours
};

// `pixels` are 0x??RRGGBB (the top byte is ignored).  A picture with at most
// `maxColours` distinct colours keeps them exactly.
Palette MedianCut(const std::vector<uint32_t>& pixels, int maxColours = 256);

}  // namespace transfer
