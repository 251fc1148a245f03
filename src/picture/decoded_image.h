#pragma once
// What decoding a picture file yields: one still image, or the ready-made
// frames of an animation with their delays.
#include <QImage>

#include <cstdint>
#include <vector>

namespace picture {

enum class ImageKind { None, Gif, Jpeg, Bmp };

struct DecodedImage {
  ImageKind kind = ImageKind::None;
  int width = 0;
  int height = 0;
  // A still picture has one image.  An animation has one image per frame,
  // each composed at full picture size; transparent pixels have alpha 0.
  std::vector<QImage> frames;
  std::vector<int> delays;  // milliseconds per frame, as stored in the file

  bool Loaded() const { return !frames.empty(); }
  bool Animated() const { return frames.size() > 1; }
};

// Limits for pictures from the network: above them a picture is refused
// (shown as not loaded) instead of exhausting memory.
inline constexpr int64_t kMaxPicturePixels = 16'000'000;
inline constexpr int64_t kMaxComposedBytes = int64_t(256) * 1024 * 1024;
inline constexpr int64_t kMaxPictureFileBytes = int64_t(64) * 1024 * 1024;

// The color that stands for "transparent" while animation frames are
// composed; pixels of exactly this color in a GIF become transparent too.
inline constexpr QRgb kKeyColor = 0xFF080808;

}  // namespace picture
