#include "picture/bmp_decode.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>

namespace picture {

DecodedImage DecodeBmp(std::string_view bytes) {
  DecodedImage result;
  QByteArray data = QByteArray::fromRawData(bytes.data(), qsizetype(bytes.size()));
  QBuffer buffer(&data);
  buffer.open(QIODevice::ReadOnly);
  QImageReader reader(&buffer, "bmp");
  const QSize declared = reader.size();
  if (!declared.isValid() || int64_t(declared.width()) * declared.height() > kMaxPicturePixels)
    return result;
  QImage image = reader.read();
  if (image.isNull() || image.width() == 0 || image.height() == 0) return result;
  image = image.convertToFormat(QImage::Format_ARGB32);
  const QRgb key = image.pixel(0, image.height() - 1) & RGB_MASK;
  for (int y = 0; y < image.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
    for (int x = 0; x < image.width(); ++x)
      row[x] = (row[x] & RGB_MASK) == key ? 0 : (row[x] | ~RGB_MASK);
  }
  result.kind = ImageKind::Bmp;
  result.width = image.width();
  result.height = image.height();
  result.frames.push_back(std::move(image));
  return result;
}

}  // namespace picture
