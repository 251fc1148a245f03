#include "picture/picture_decode.h"

#include "picture/bmp_decode.h"
#include "picture/decode_budget.h"
#include "picture/gif_decode.h"
#include "picture/jpeg_decode.h"
#include "text/bytes.h"

#include <QFile>

#include <memory>

namespace picture {
namespace {

int64_t FrameBytes(const DecodedImage& image) {
  int64_t bytes = 0;
  for (const QImage& frame : image.frames) bytes += frame.sizeInBytes();
  return bytes;
}

// The charge is kept with the frames, down to what they hold; a refused
// picture tells whether the shared budget refused it.
DecodedImage Finish(DecodedImage image, std::shared_ptr<BudgetCharge> charge) {
  if (image.Loaded()) {
    charge->ShrinkTo(FrameBytes(image));
    image.charge = std::move(charge);
  } else {
    image = DecodedImage();
    image.overBudget = charge->OverBudget();
    if (image.overBudget) image.wantedBytes = charge->Bytes() + charge->Wanted();
  }
  return image;
}

}  // namespace

DecodedImage DecodeBytes(std::string_view extension, std::string_view bytes, MemoryBudget* budget) {
  const std::string ext = text::Lower(extension);
  if (ext == ".gif" || ext == ".jpg") {
    {
      auto charge = std::make_shared<BudgetCharge>(budget, kMaxComposedBytes);
      auto gif = ReadGif(bytes, charge.get());
      if (gif && gif->width > 0 && gif->height > 0) {
        DecodedImage composed = ComposeGif(*gif, charge.get());
        gif.reset();
        if (composed.Loaded() || charge->OverBudget()) return Finish(std::move(composed), charge);
      } else if (!gif && charge->OverBudget()) {
        return Finish(DecodedImage(), charge);
      }
    }
    auto charge = std::make_shared<BudgetCharge>(budget, kMaxComposedBytes);
    return Finish(DecodeJpeg(bytes, charge.get()), charge);
  }
  if (ext == ".bmp") {
    auto charge = std::make_shared<BudgetCharge>(budget, kMaxComposedBytes);
    return Finish(DecodeBmp(bytes, charge.get()), charge);
  }
  return {};
}

DecodedImage DecodeFile(const std::string& path, MemoryBudget* budget) {
  size_t dot = path.rfind('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  QFile file(QFile::decodeName(path.c_str()));
  if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxPictureFileBytes) return {};
  QByteArray data = file.readAll();
  return DecodeBytes(std::string_view(path).substr(dot),
                     std::string_view(data.constData(), size_t(data.size())), budget);
}

}  // namespace picture
