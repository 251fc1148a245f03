#pragma once
// Encoding a picture for sending (JPEG with a quality through libjpeg, GIF
// with a palette of at most 256 colours through giflib), and decoding a
// picture from bytes, bitmap first, then GIF, then JPEG.
#include <QImage>

#include <optional>
#include <string>
#include <string_view>

namespace picture {
class MemoryBudget;
}

namespace transfer {

// Empty when the image is null or the library fails.  Transparent pixels
// are sent as white.
std::string EncodeJpeg(const QImage& image, int quality);
std::string EncodeGif(const QImage& image);

// The first frame of the picture, or nothing for bytes that are no bitmap,
// GIF or JPEG, that exceed the limits for pictures from the network, or
// whose decoding would pass what `budget` has left (none: only the
// per-picture limits).
std::optional<QImage> DecodePicture(std::string_view bytes, picture::MemoryBudget* budget = nullptr);

// The pixels decoding would go through, from what the picture declares: for
// a GIF its frames times its screen (found by walking the blocks, without
// decompressing any), for anything else its first frame's screen or 0.
int64_t DeclaredDecodeWork(std::string_view bytes);

// Pictures above this much work (about a tenth of a second) are refused
// like undecodable ones: a few bytes can declare any number of huge frames.
constexpr int64_t kMaxDecodeWork = 20'000'000;

// A Windows bitmap file image of the picture (what the clipboard gives).
std::string EncodeBmp(const QImage& image);

}  // namespace transfer
