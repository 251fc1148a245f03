#pragma once
// BMP decoding: the colour of the bottom-left pixel is transparent.
#include "markup/picture/decoded_image.h"

#include <string_view>

namespace picture {

DecodedImage DecodeBmp(std::string_view bytes);

}  // namespace picture
