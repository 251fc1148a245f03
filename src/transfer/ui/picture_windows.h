#pragma once
// The recode window (a picture from the clipboard, recoded and previewed
// before it is sent) and the viewer of a received picture.
#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "transfer/recode_model.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QSpinBox;

namespace transfer {

// Shows a picture in a scroll box: its own size with "1:1", else fitted;
// placed again whenever the box changes size.  A picture smaller than the
// box is centred and that scroll bar hidden.
class PicturePreview : public QObject {
 public:
  PicturePreview(QScrollArea* scroll, QLabel* image);
  void Show(const QImage& picture, bool oneToOne);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Place();

  QScrollArea* scroll_;
  // The box's viewport, remembered: events reach the filter while the
  // scroll area is being destroyed, when asking it for anything is wrong.
  QWidget* viewport_;
  QLabel* image_;
  QImage picture_;
  bool oneToOne_ = true;
};

class PictureRecoder : public QWidget {
 public:
  // Takes the picture's bytes; false from `send` keeps the window open.
  using SendFunction = std::function<bool(const std::string& data)>;

  // Null (and no window) when the bytes are no picture.
  static PictureRecoder* Open(std::string source, SendFunction send, bool sendEnabled);
  // The private recipient changed: every open window follows.
  static void SetAllSendEnabled(bool enabled);
  static int OpenCount();
  static void CloseAll();
  ~PictureRecoder() override;

  const RecodeModel& Model() const { return model_; }

 private:
  PictureRecoder(SendFunction send);
  void Apply();

  RecodeModel model_;
  SendFunction send_;
  QScrollArea* scroll_;
  QLabel* image_;
  QCheckBox* oneToOne_;
  QComboBox* recode_;
  QSpinBox* quality_;
  QLineEdit* size_;
  QPushButton* sendButton_;
  PicturePreview* preview_;  // owned by the scroll box
};

// What the open viewers may hold together: each keeps its picture and the
// label's copy of it, so pictures from peers are bounded in total.
struct ViewerLimits {
  int windows = 8;
  int64_t pixels = 32'000'000;
};

class PictureWindow : public QWidget {
 public:
  // A window of its own for each received picture; freed when closed.
  // Null (and no window) when it would pass the limits of the open viewers.
  static PictureWindow* Open(const std::string& bytes, const QImage& image);
  static void SetLimits(const ViewerLimits& limits);
  static int OpenCount();
  static void CloseAll();
  ~PictureWindow() override;

  const std::string& Bytes() const { return bytes_; }

 private:
  PictureWindow(std::string bytes, QImage image);
  void Apply();

  std::string bytes_;
  QImage picture_;
  QScrollArea* scroll_;
  QLabel* image_;
  QCheckBox* oneToOne_;
  PicturePreview* preview_;  // owned by the scroll box
};

}  // namespace transfer
