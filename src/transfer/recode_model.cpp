#include "transfer/recode_model.h"

#include <algorithm>
#include <cmath>

#include "transfer/picture_codec.h"

namespace transfer {

bool RecodeModel::SetSource(std::string bytes) {
  std::optional<QImage> image = DecodePicture(bytes);
  if (!image) return false;
  source_ = std::move(bytes);
  image_ = std::move(*image);
  Apply();
  return true;
}

void RecodeModel::SetRecode(Recode recode) {
  recode_ = recode;
  Apply();
}

void RecodeModel::SetQuality(int quality) {
  quality_ = std::clamp(quality, 1, 100);
  if (recode_ == Recode::Jpeg) Apply();
}

void RecodeModel::Apply() {
  if (image_.isNull()) return;
  switch (recode_) {
    case Recode::Unchanged:
      send_ = source_;
      preview_ = image_;
      return;
    case Recode::Jpeg:
      send_ = EncodeJpeg(image_, quality_);
      break;
    case Recode::Gif:
      send_ = EncodeGif(image_);
      break;
  }
  // An encoder that failed leaves the picture as it came.
  if (send_.empty()) send_ = source_;
  preview_ = DecodePicture(send_).value_or(image_);
}

PreviewPlacement PlacePreview(QSize picture, QSize box, bool oneToOne) {
  PreviewPlacement out;
  QSize size = picture;
  if (!oneToOne && picture.width() > 0 && picture.height() > 0 && box.width() > 0 && box.height() > 0) {
    const double f = 1.02 * std::max(double(picture.height()) / box.height(),
                                     double(picture.width()) / box.width());
    size = QSize(int(std::lround(picture.width() / f)), int(std::lround(picture.height() / f)));
  }
  int left = 0, top = 0;
  if (size.width() < box.width())
    left = (box.width() - size.width()) / 2;
  else
    out.horizontalBar = true;
  if (size.height() < box.height())
    top = (box.height() - size.height()) / 2;
  else
    out.verticalBar = true;
  out.rect = QRect(QPoint(left, top), size);
  return out;
}

}  // namespace transfer
