#include "picture/jpeg_decode.h"

#include <cstdio>
#include <csetjmp>
#include <memory>
#include <vector>

#include <jpeglib.h>

namespace picture {
namespace {

struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

[[noreturn]] void OnError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
}

void OnMessage(j_common_ptr, int) {}  // warnings of damaged data stay quiet

// Everything that must survive a jump back to the error point lives here,
// on the heap, not in locals of the jumping function.
struct Job {
  jpeg_decompress_struct info{};
  ErrorManager errors{};
  std::vector<JSAMPLE> row;
  QImage image;
  bool created = false;
  ~Job() {
    if (created) jpeg_destroy_decompress(&info);
  }
};

void StoreRow(const Job& job, int y) {
  auto* dest = reinterpret_cast<QRgb*>(const_cast<QImage&>(job.image).scanLine(y));
  const JSAMPLE* src = job.row.data();
  const int width = int(job.info.output_width);
  switch (job.info.out_color_space) {
    case JCS_GRAYSCALE:
      for (int x = 0; x < width; ++x) dest[x] = qRgb(src[x], src[x], src[x]);
      break;
    case JCS_CMYK:  // as written by Adobe tools: stored inverted
      for (int x = 0; x < width; ++x) {
        const JSAMPLE* p = src + 4 * x;
        int k = p[3];
        dest[x] = qRgb(p[0] * k / 255, p[1] * k / 255, p[2] * k / 255);
      }
      break;
    default:
      for (int x = 0; x < width; ++x) dest[x] = qRgb(src[3 * x], src[3 * x + 1], src[3 * x + 2]);
  }
}

bool Run(Job& job, std::string_view bytes) {
  if (setjmp(job.errors.jump)) return false;
  jpeg_create_decompress(&job.info);
  job.created = true;
  jpeg_mem_src(&job.info, reinterpret_cast<const unsigned char*>(bytes.data()),
               static_cast<unsigned long>(bytes.size()));
  if (jpeg_read_header(&job.info, TRUE) != JPEG_HEADER_OK) return false;
  const int64_t pixels = int64_t(job.info.image_width) * job.info.image_height;
  if (pixels == 0 || pixels > kMaxPicturePixels) return false;
  switch (job.info.jpeg_color_space) {
    case JCS_GRAYSCALE: job.info.out_color_space = JCS_GRAYSCALE; break;
    case JCS_CMYK:
    case JCS_YCCK: job.info.out_color_space = JCS_CMYK; break;
    default: job.info.out_color_space = JCS_RGB;
  }
  jpeg_start_decompress(&job.info);
  job.image = QImage(int(job.info.output_width), int(job.info.output_height), QImage::Format_RGB32);
  if (job.image.isNull()) return false;
  job.row.resize(size_t(job.info.output_width) * size_t(job.info.output_components));
  while (job.info.output_scanline < job.info.output_height) {
    JSAMPROW rows[] = {job.row.data()};
    int y = int(job.info.output_scanline);
    if (jpeg_read_scanlines(&job.info, rows, 1) != 1) return false;
    StoreRow(job, y);
  }
  jpeg_finish_decompress(&job.info);
  return true;
}

}  // namespace

DecodedImage DecodeJpeg(std::string_view bytes) {
  DecodedImage result;
  auto job = std::make_unique<Job>();
  job->info.err = jpeg_std_error(&job->errors.base);
  job->errors.base.error_exit = OnError;
  job->errors.base.emit_message = OnMessage;
  if (!Run(*job, bytes)) return result;
  result.kind = ImageKind::Jpeg;
  result.width = job->image.width();
  result.height = job->image.height();
  result.frames.push_back(std::move(job->image));
  return result;
}

}  // namespace picture
