#include "encode/jpeg_encode.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <jpeglib.h>

namespace encode {
namespace {

struct ErrorTrap {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

void OnError(j_common_ptr info) { std::longjmp(reinterpret_cast<ErrorTrap*>(info->err)->jump, 1); }

}  // namespace

std::string EncodeJpeg(int width, int height, const std::vector<uint8_t>& rgb, int quality) {
  if (width <= 0 || height <= 0 || rgb.size() != static_cast<size_t>(width) * static_cast<size_t>(height) * 3)
    return {};
  jpeg_compress_struct info{};
  ErrorTrap trap{};
  info.err = jpeg_std_error(&trap.base);
  trap.base.error_exit = OnError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(trap.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = static_cast<JDIMENSION>(width);
  info.image_height = static_cast<JDIMENSION>(height);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
  // Huffman tables made for this picture (a few per cent smaller than the
  // standard ones at no loss), and colour at half resolution both ways, as
  // the eye hardly sees it.
  info.optimize_coding = TRUE;
  info.comp_info[0].h_samp_factor = 2;
  info.comp_info[0].v_samp_factor = 2;
  for (int c = 1; c < 3; ++c) {
    info.comp_info[c].h_samp_factor = 1;
    info.comp_info[c].v_samp_factor = 1;
  }
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    JSAMPROW row = const_cast<JSAMPROW>(rgb.data() + static_cast<size_t>(info.next_scanline) * width * 3);
    jpeg_write_scanlines(&info, &row, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

}  // namespace encode
