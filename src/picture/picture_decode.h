#pragma once
// Decoding a picture file by its extension: ".gif" and ".jpg" are read as
// GIF first and as JPEG when that fails, ".bmp" as a bitmap; anything else
// is not decoded.
#include "picture/decoded_image.h"

#include <string>
#include <string_view>

namespace picture {

class MemoryBudget;

// What is decoded is drawn from `budget` (frames and working copies) and
// holds its share until the frames go; a picture the budget cannot take is
// not loaded and says so (overBudget).  Without a budget only the
// per-picture limits hold.
DecodedImage DecodeBytes(std::string_view extension, std::string_view bytes,
                         MemoryBudget* budget = nullptr);

// Reads the file (refusing one above kMaxPictureFileBytes) and decodes it.
// A missing file decodes to nothing.
DecodedImage DecodeFile(const std::string& path, MemoryBudget* budget = nullptr);

}  // namespace picture
