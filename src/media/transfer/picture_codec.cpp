#include "media/transfer/picture_codec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <cstdio>
#include <csetjmp>
#include <vector>

#include <gif_lib.h>
#include <jpeglib.h>

// The decoders that refuse hostile pictures (clipped frames, bounded sizes).
#include "picture/gif_decode.h"
#include "picture/jpeg_decode.h"
#include "media/transfer/median_cut.h"

namespace transfer {

namespace {

// The picture on white, so transparency never turns into black.
QImage Opaque(const QImage& image) {
  QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  QImage out(argb.size(), QImage::Format_RGB32);
  for (int y = 0; y < argb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    auto* row = reinterpret_cast<QRgb*>(out.scanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      const int a = qAlpha(in[x]);
      auto mix = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
      row[x] = qRgb(mix(qRed(in[x])), mix(qGreen(in[x])), mix(qBlue(in[x])));
    }
  }
  return out;
}

struct JpegError {
  jpeg_error_mgr mgr;
  std::jmp_buf jump;
};

void OnJpegError(j_common_ptr info) {
  std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

int WriteToString(GifFileType* gif, const GifByteType* bytes, int n) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(bytes), size_t(n));
  return n;
}

}  // namespace

std::string EncodeJpeg(const QImage& image, int quality) {
  if (image.isNull()) return {};
  const QImage rgb = Opaque(image);
  const int w = rgb.width(), h = rgb.height();
  std::vector<unsigned char> row(size_t(w) * 3);

  jpeg_compress_struct info{};
  JpegError error{};
  info.err = jpeg_std_error(&error.mgr);
  error.mgr.error_exit = OnJpegError;
  unsigned char* buffer = nullptr;
  unsigned long size = 0;
  if (setjmp(error.jump)) {
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return {};
  }
  jpeg_create_compress(&info);
  jpeg_mem_dest(&info, &buffer, &size);
  info.image_width = JDIMENSION(w);
  info.image_height = JDIMENSION(h);
  info.input_components = 3;
  info.in_color_space = JCS_RGB;
  jpeg_set_defaults(&info);
  jpeg_set_quality(&info, std::clamp(quality, 1, 100), TRUE);
  jpeg_start_compress(&info, TRUE);
  while (info.next_scanline < info.image_height) {
    const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(int(info.next_scanline)));
    for (int x = 0; x < w; ++x) {
      row[size_t(x) * 3] = static_cast<unsigned char>(qRed(in[x]));
      row[size_t(x) * 3 + 1] = static_cast<unsigned char>(qGreen(in[x]));
      row[size_t(x) * 3 + 2] = static_cast<unsigned char>(qBlue(in[x]));
    }
    JSAMPROW rows[1] = {row.data()};
    jpeg_write_scanlines(&info, rows, 1);
  }
  jpeg_finish_compress(&info);
  std::string out(reinterpret_cast<const char*>(buffer), size);
  jpeg_destroy_compress(&info);
  std::free(buffer);
  return out;
}

std::string EncodeGif(const QImage& image) {
  if (image.isNull() || image.width() > 0xFFFF || image.height() > 0xFFFF) return {};
  const QImage rgb = Opaque(image);
  const int w = rgb.width(), h = rgb.height();
  std::vector<uint32_t> pixels;
  pixels.reserve(size_t(w) * size_t(h));
  for (int y = 0; y < h; ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
    pixels.insert(pixels.end(), in, in + w);
  }
  const Palette palette = MedianCut(pixels, 256);

  // A colour map holds a power of two entries.
  int mapSize = 2;
  while (mapSize < int(palette.colours.size())) mapSize *= 2;
  std::vector<GifColorType> entries(size_t(mapSize), GifColorType{0, 0, 0});
  for (size_t i = 0; i < palette.colours.size(); ++i)
    entries[i] = GifColorType{GifByteType(palette.colours[i] >> 16), GifByteType(palette.colours[i] >> 8),
                              GifByteType(palette.colours[i])};

  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, WriteToString, &error);
  if (!gif) return {};
  ColorMapObject* map = GifMakeMapObject(mapSize, entries.data());
  bool ok = map && EGifPutScreenDesc(gif, w, h, 8, 0, map) == GIF_OK &&
            EGifPutImageDesc(gif, 0, 0, w, h, false, nullptr) == GIF_OK;
  std::vector<GifPixelType> line(static_cast<size_t>(w));
  for (int y = 0; ok && y < h; ++y) {
    std::copy_n(palette.indices.begin() + ptrdiff_t(size_t(y) * size_t(w)), w, line.begin());
    ok = EGifPutLine(gif, line.data(), w) == GIF_OK;
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  GifFreeMapObject(map);
  return ok ? out : std::string();
}

std::string EncodeBmp(const QImage& image) {
  QByteArray bytes;
  QBuffer buffer(&bytes);
  buffer.open(QIODevice::WriteOnly);
  if (image.isNull() || !QImageWriter(&buffer, "bmp").write(image)) return {};
  return std::string(bytes.constData(), size_t(bytes.size()));
}

std::optional<QImage> DecodePicture(std::string_view bytes) {
  if (bytes.empty() || int64_t(bytes.size()) > picture::kMaxPictureFileBytes) return std::nullopt;
  {
    // A bitmap keeps every colour: the transparency rule of the views' own
    // bitmaps is no part of a picture someone sends.
    QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    const QSize declared = reader.size();
    if (reader.canRead() && declared.isValid() && declared.width() > 0 && declared.height() > 0 &&
        int64_t(declared.width()) * declared.height() <= picture::kMaxPicturePixels) {
      QImage image = reader.read();
      if (!image.isNull()) return image.convertToFormat(QImage::Format_ARGB32);
    }
  }
  if (auto gif = picture::ReadGif(bytes)) {
    picture::DecodedImage decoded = picture::ComposeGif(*gif);
    if (decoded.Loaded()) return decoded.frames.front();
  }
  picture::DecodedImage jpeg = picture::DecodeJpeg(bytes);
  if (jpeg.Loaded()) return jpeg.frames.front();
  return std::nullopt;
}

}  // namespace transfer
