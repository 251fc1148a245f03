#pragma once
// What the registry tests share: a scratch folder, a pane (a document with
// fixed metrics and a view that records what is drawn on its bitmap) and a
// stand-in for the main window's queued notices.
#include "fixed_metrics.h"
#include "markup/markup_document.h"
#include "picture/pictures.h"

#include <QObject>

#include <string>
#include <utility>
#include <vector>

namespace picture {
class Pictures;
}

namespace testing_picture {

// A fresh folder under the build tree, removed again at the end.
struct Folder {
  explicit Folder(const std::string& name);
  ~Folder();
  std::string path;
};

class BitmapView : public markup_test::RecordingView {
 public:
  void DrawOnBitmap(const std::function<void(markup::MarkupCanvas&)>& draw, int top,
                    int bottom) override {
    draw(canvas);
    drawn.emplace_back(top, bottom);
  }
  markup_test::RecordingCanvas canvas;
  std::vector<std::pair<int, int>> drawn;  // window rows shown after drawing
};

struct Pane {
  explicit Pane(picture::Pictures& registry, int width = 300, int height = 200);
  markup_test::FixedMeasurer measurer;
  BitmapView view;
  markup::MarkupDocument doc;
};

class ControllerProbe : public QObject {
  Q_OBJECT
 public:
  // Connects to the registry's signals the way the main window does.
  void Watch(picture::Pictures& registry) {
    connect(&registry, &picture::Pictures::PictureLoadFailed, this, [this] { ++failures; }, Qt::QueuedConnection);
    connect(&registry, &picture::Pictures::TrafficReport, this,
            [this](quint32 inBytes, quint32 outBytes, bool send, bool receive) {
              in += inBytes;
              out += outBytes;
              sends += send;
              receives += receive;
            },
            Qt::QueuedConnection);
  }
  int64_t in = 0;
  int64_t out = 0;
  int failures = 0;
  int sends = 0;
  int receives = 0;
};

}  // namespace testing_picture
