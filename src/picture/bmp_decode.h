#pragma once
// BMP decoding: the color of the bottom-left pixel is transparent.
#include "picture/decoded_image.h"

#include <string_view>

namespace picture {

DecodedImage DecodeBmp(std::string_view bytes);

}  // namespace picture
