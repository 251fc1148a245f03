#pragma once
// JPEG encoding with libjpeg.
#include <cstdint>
#include <string>
#include <vector>

namespace encode {

// `rgb` holds width * height * 3 bytes, row by row; quality is taken within
// 1..100.  Empty when the sizes do not match or libjpeg fails.
std::string EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb, int quality);

}  // namespace encode
