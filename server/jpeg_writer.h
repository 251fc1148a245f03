#pragma once
// JPEG encoding with libjpeg.
#include <cstdint>
#include <string>
#include <vector>

namespace chatd {

// `rgb` holds width * height * 3 bytes; quality 1..100.  Empty on failure.
std::string EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb, int quality);

}  // namespace chatd
