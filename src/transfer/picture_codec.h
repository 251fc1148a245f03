#pragma once
// Encoding a picture for sending (JPEG with a quality through libjpeg, GIF
// with a palette of at most 256 colours through giflib), and decoding a
// picture from bytes, bitmap first, then GIF, then JPEG.
#include <QImage>

#include <optional>
#include <string>
#include <string_view>

namespace transfer {

// Empty when the image is null or the library fails.  Transparent pixels
// are sent as white.
std::string EncodeJpeg(const QImage& image, int quality);
std::string EncodeGif(const QImage& image);

// The first frame of the picture, or nothing for bytes that are no bitmap,
// GIF or JPEG, or that exceed the limits for pictures from the network.
std::optional<QImage> DecodePicture(std::string_view bytes);

// A Windows bitmap file image of the picture (what the clipboard gives).
std::string EncodeBmp(const QImage& image);

}  // namespace transfer
