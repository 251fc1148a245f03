#pragma once
// What the registry tests share: a scratch folder, a pane (a document with
// fixed metrics and a view that records what is drawn on its bitmap) and a
// stand-in for the main window's queued notices.
#include "fixed_metrics.h"
#include "markup/markup_document.h"

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
  Q_INVOKABLE void PictureLoadFailed() { ++failures; }
  Q_INVOKABLE void TrafficReport(bool send, bool receive) {
    sends += send;
    receives += receive;
  }
  int failures = 0;
  int sends = 0;
  int receives = 0;
};

}  // namespace testing_picture
