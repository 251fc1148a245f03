#pragma once
// Draws small GIF files with giflib for the tests.
#include <QRgb>

#include <string>
#include <vector>

namespace testing_picture {

struct TestFrame {
  int x = 0, y = 0, w = 1, h = 1;
  int disposal = 0;
  int delayCs = 0;
  int transparent = -1;
  bool interlaced = false;
  std::vector<QRgb> palette;     // local color map; empty = use the global one
  std::vector<uint8_t> pixels;   // w * h indices, row by row
};

// palette: the global color map (may be empty); sizes are rounded up to a
// power of two with black entries.
std::string MakeGif(int width, int height, const std::vector<QRgb>& palette,
                    const std::vector<TestFrame>& frames);

// A frame of one color index.
TestFrame Solid(int x, int y, int w, int h, uint8_t index, int disposal = 0);

// A GIF of a few bytes that declares `frames` frames on a screen of side
// `side`, each frame one pixel: cheap to send, dear to decode whole.
std::string GifBomb(int side, int frames);


}  // namespace testing_picture
