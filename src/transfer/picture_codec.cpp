#include "transfer/picture_codec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <vector>

// The decoders that refuse hostile pictures (clipped frames, bounded sizes).
#include "picture/gif_decode.h"
#include "picture/jpeg_decode.h"

#include "encode/gif_encode.h"
#include "encode/jpeg_encode.h"
#include "encode/median_cut.h"

namespace transfer {

namespace {

// The picture on white, so transparency never turns into black: one
// 0x00RRGGBB per pixel, row by row.
std::vector<uint32_t> OpaquePixels(const QImage& image) {
  const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
  std::vector<uint32_t> out;
  out.reserve(size_t(argb.width()) * size_t(argb.height()));
  for (int y = 0; y < argb.height(); ++y) {
    const auto* in = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
    for (int x = 0; x < argb.width(); ++x) {
      const int a = qAlpha(in[x]);
      auto mix = [a](int c) { return (c * a + 255 * (255 - a) + 127) / 255; };
      out.push_back(qRgb(mix(qRed(in[x])), mix(qGreen(in[x])), mix(qBlue(in[x]))) & 0xFFFFFFu);
    }
  }
  return out;
}

}  // namespace

std::string EncodeJpeg(const QImage& image, int quality) {
  if (image.isNull()) return {};
  const std::vector<uint32_t> pixels = OpaquePixels(image);
  std::vector<uint8_t> rgb;
  rgb.reserve(pixels.size() * 3);
  for (uint32_t p : pixels) {
    rgb.push_back(uint8_t(p >> 16));
    rgb.push_back(uint8_t(p >> 8));
    rgb.push_back(uint8_t(p));
  }
  return encode::EncodeJpeg(image.width(), image.height(), rgb, quality);
}

std::string EncodeGif(const QImage& image) {
  // A side a GIF cannot hold is refused before the palette is worked out.
  if (image.isNull() || image.width() > 0xFFFF || image.height() > 0xFFFF) return {};
  encode::Palette palette = encode::MedianCut(OpaquePixels(image), 256);
  return encode::EncodeGif(
      encode::StillGif(image.width(), image.height(), std::move(palette.colours), std::move(palette.indices)));
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
