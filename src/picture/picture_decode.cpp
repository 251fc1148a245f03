#include "picture/picture_decode.h"

#include "picture/bmp_decode.h"
#include "picture/gif_decode.h"
#include "picture/jpeg_decode.h"
#include "text/bytes.h"

#include <QFile>

namespace picture {

DecodedImage DecodeBytes(std::string_view extension, std::string_view bytes) {
  const std::string ext = text::Lower(extension);
  if (ext == ".gif" || ext == ".jpg") {
    if (auto gif = ReadGif(bytes); gif && gif->width > 0 && gif->height > 0) {
      DecodedImage composed = ComposeGif(*gif);
      if (composed.Loaded()) return composed;
    }
    return DecodeJpeg(bytes);
  }
  if (ext == ".bmp") return DecodeBmp(bytes);
  return {};
}

DecodedImage DecodeFile(const std::string& path) {
  size_t dot = path.rfind('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPictureFileBytes) return {};
  QByteArray data = file.readAll();
  return DecodeBytes(std::string_view(path).substr(dot),
                     std::string_view(data.constData(), size_t(data.size())));
}

}  // namespace picture
