#pragma once
// The logic of the recode window (PictureRecoder): the source picture, the chosen recoding
// and the bytes it gives, and the picture shown as its preview.
#include <QImage>
#include <QRect>
#include <QSize>

#include <string>

namespace transfer {

enum class Recode { Unchanged, Jpeg, Gif };

class RecodeModel {
 public:
  static constexpr int kDefaultQuality = 26;

  // False when the bytes are no picture: the window then closes.
  bool SetSource(std::string bytes);
  void SetRecode(Recode recode);
  // Clamped to 1..100; re-encodes when JPEG is chosen.
  void SetQuality(int quality);

  Recode RecodeChoice() const { return recode_; }
  int Quality() const { return quality_; }
  bool QualityEnabled() const { return recode_ == Recode::Jpeg; }
  const std::string& SourceData() const { return source_; }
  const std::string& SendData() const { return send_; }
  // The decoded source, and the send data decoded back (so a loss shows).
  const QImage& Image() const { return image_; }
  const QImage& Preview() const { return preview_; }
  // The text of the size field: the send data's length in bytes.
  std::string SizeText() const { return std::to_string(send_.size()); }

 private:
  void Apply();

  std::string source_;
  std::string send_;
  QImage image_;
  QImage preview_;
  Recode recode_ = Recode::Gif;
  int quality_ = kDefaultQuality;
};

// Where a preview goes in its scroll box: its own size with "1:1", else
// stretched by 1 / (1.02 * the larger ratio) to fit with a small margin; a
// side smaller than the box is centred with that scroll bar hidden.
struct PreviewPlacement {
  QRect rect;
  bool horizontalBar = false;
  bool verticalBar = false;
};
PreviewPlacement PlacePreview(QSize picture, QSize box, bool oneToOne);

}  // namespace transfer
