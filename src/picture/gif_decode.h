#pragma once
// GIF decoding through giflib.  Reading keeps only what lies on the logical
// screen; composing turns the frames into ready-made animation frames.
#include "picture/decoded_image.h"

#include <QRect>

#include <array>
#include <optional>
#include <string_view>
#include <vector>

namespace picture {

struct GifFrame {
  QRect rect;                      // clipped to the screen; may be empty
  int disposal = 0;                // 0 or 1 leave, 2 background, 3 previous
  int delayMs = 0;
  int transparent = -1;            // color index, -1 when none
  std::vector<QRgb> palette;       // local map, else the global one
  std::vector<uint8_t> indices;    // rect.width() * rect.height(), row by row
};

struct GifData {
  int width = 0;   // logical screen
  int height = 0;
  std::vector<GifFrame> frames;
};

// Nothing when the bytes are no readable GIF, a frame has no color map or
// uses an index beyond it, or the limits of decoded_image.h are exceeded.
std::optional<GifData> ReadGif(std::string_view bytes);

// A single frame becomes one image on a transparent screen; several frames
// are composed with the key color and every disposal rule.
DecodedImage ComposeGif(const GifData& gif);

}  // namespace picture
