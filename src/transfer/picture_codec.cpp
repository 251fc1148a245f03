#include "transfer/picture_codec.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QImageWriter>

#include <algorithm>
#include <vector>

// The decoders that refuse hostile pictures (clipped frames, bounded sizes).
#include "picture/decode_budget.h"
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

int64_t DeclaredDecodeWork(std::string_view bytes) {
  if (bytes.size() < 13 || bytes.substr(0, 4) != "GIF8") return 0;
  auto byte = [&bytes](size_t i) { return static_cast<unsigned char>(bytes[i]); };
  const int64_t screen = int64_t(byte(6) | byte(7) << 8) * int64_t(byte(8) | byte(9) << 8);
  size_t at = 13;
  if (byte(10) & 0x80) at += 3u << ((byte(10) & 7) + 1);
  // Data sub-blocks: a length byte, that many bytes, until a zero length.
  auto skipBlocks = [&](size_t& i) {
    while (i < bytes.size() && byte(i) != 0) i += size_t(byte(i)) + 1;
    ++i;
  };
  int64_t frames = 0;
  while (at < bytes.size()) {
    const unsigned char kind = byte(at);
    if (kind == 0x21) {
      at += 2;
      skipBlocks(at);
    } else if (kind == 0x2C) {
      if (at + 10 > bytes.size()) break;
      ++frames;
      const unsigned char flags = byte(at + 9);
      at += 10;
      if (flags & 0x80) at += 3u << ((flags & 7) + 1);
      ++at;  // the code size
      skipBlocks(at);
    } else {
      break;  // the trailer, or bytes the decoder refuses anyway
    }
  }
  return std::max<int64_t>(frames, 1) * screen;
}

std::optional<QImage> DecodePicture(std::string_view bytes, picture::MemoryBudget* budget) {
  if (DeclaredDecodeWork(bytes) > kMaxDecodeWork) return std::nullopt;
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
  {
    picture::BudgetCharge charge(budget, picture::kMaxComposedBytes);
    if (auto gif = picture::ReadGif(bytes, &charge)) {
      picture::DecodedImage decoded = picture::ComposeGif(*gif, &charge);
      if (decoded.Loaded()) return decoded.frames.front();
    }
  }
  picture::BudgetCharge charge(budget, picture::kMaxComposedBytes);
  picture::DecodedImage jpeg = picture::DecodeJpeg(bytes, &charge);
  if (jpeg.Loaded()) return jpeg.frames.front();
  return std::nullopt;
}

}  // namespace transfer
