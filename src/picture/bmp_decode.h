#pragma once
// BMP decoding: the color of the bottom-left pixel is transparent.
#include "picture/decode_budget.h"
#include "picture/decoded_image.h"

#include <string_view>

namespace picture {

// The image and its converted copy are drawn from `charge` first.
DecodedImage DecodeBmp(std::string_view bytes, BudgetCharge* charge = nullptr);

}  // namespace picture
