#pragma once
// Decoding a picture file by its extension: ".gif" and ".jpg" are read as
// GIF first and as JPEG when that fails, ".bmp" as a bitmap; anything else
// is not decoded.
#include "picture/decoded_image.h"

#include <string>
#include <string_view>

namespace picture {

DecodedImage DecodeBytes(std::string_view extension, std::string_view bytes);

// Reads the file (refusing one above kMaxPictureFileBytes) and decodes it.
// A missing file decodes to nothing.
DecodedImage DecodeFile(const std::string& path);

}  // namespace picture
