// The GIF, JPEG and BMP decoders under their limits.  The first byte picks
// the decoder; the rest is the file.
#include <string>

#include "fuzz_check.h"
#include "picture/bmp_decode.h"
#include "picture/gif_decode.h"
#include "picture/jpeg_decode.h"
#include "picture/picture_decode.h"

namespace {

void CheckImage(const picture::DecodedImage& image) {
  if (!image.Loaded()) return;
  FUZZ_CHECK(image.width > 0 && image.height > 0);
  FUZZ_CHECK(int64_t(image.width) * image.height <= picture::kMaxPicturePixels);
  int64_t bytes = 0;
  for (const QImage& frame : image.frames) {
    FUZZ_CHECK(frame.width() == image.width && frame.height() == image.height);
    bytes += frame.sizeInBytes();
  }
  FUZZ_CHECK(bytes <= picture::kMaxComposedBytes);
  if (image.Animated()) FUZZ_CHECK(image.delays.size() == image.frames.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const std::string_view file = fuzz::Bytes(data + 1, size - 1);
  switch (data[0] % 4) {
    case 0: {
      const auto gif = picture::ReadGif(file);
      if (!gif) break;
      FUZZ_CHECK(int64_t(gif->width) * gif->height <= picture::kMaxPicturePixels);
      const QRect screen(0, 0, gif->width, gif->height);
      for (const auto& frame : gif->frames) {
        FUZZ_CHECK(frame.rect.isEmpty() || screen.contains(frame.rect));
        const int64_t area = frame.rect.isEmpty() ? 0 : int64_t(frame.rect.width()) * frame.rect.height();
        FUZZ_CHECK(int64_t(frame.indices.size()) == area);
        for (uint8_t index : frame.indices) FUZZ_CHECK(index < frame.palette.size());
      }
      CheckImage(picture::ComposeGif(*gif));
      break;
    }
    case 1: CheckImage(picture::DecodeJpeg(file)); break;
    case 2: CheckImage(picture::DecodeBmp(file)); break;
    default: CheckImage(picture::DecodeBytes(".gif", file)); break;
  }
  return 0;
}
