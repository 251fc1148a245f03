#pragma once
// JPEG decoding through libjpeg.
#include "picture/decode_budget.h"
#include "picture/decoded_image.h"

#include <string_view>

namespace picture {

// A still image, or nothing (kind None) when the bytes are no JPEG, the
// declared size is 0 or above the pixel limit, `charge` refuses the memory
// it needs, the file holds too many scans, or libjpeg gives up.
DecodedImage DecodeJpeg(std::string_view bytes, BudgetCharge* charge = nullptr);

}  // namespace picture
