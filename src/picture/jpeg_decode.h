#pragma once
// JPEG decoding through libjpeg.
#include "picture/decoded_image.h"

#include <string_view>

namespace picture {

// A still image, or nothing (kind None) when the bytes are no JPEG, the
// declared size is 0 or above the pixel limit, or libjpeg gives up.
DecodedImage DecodeJpeg(std::string_view bytes);

}  // namespace picture
