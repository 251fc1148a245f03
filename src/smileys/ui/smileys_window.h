#pragma once
// SmileysWindow: the additional smileys, an index pane of the groups
// across the top and the pictures of the chosen group below.  A thin view
// over SmileysModel; one window at a time, freed when closed.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "smileys/smileys_model.h"

namespace markup {
class MarkupView;
}

namespace media {

class SmileysWindow : public QWidget, private SmileysView {
  Q_OBJECT
 public:
  // The one smileys window, created when there is none, then shown.  The
  // host and the downloader must outlive it.
  static SmileysWindow* Open(const SmileysSettings& settings, bool russian, SmileysHost& host,
                             TextDownloader& downloader);
  static SmileysWindow* Current();
  static void CloseCurrent();
  // Where a new window opens (true: placed) and where a closing one was.
  static inline std::function<bool(QWidget& window)> OnPlace;
  static inline std::function<void(const QWidget& window)> OnClosing;

  ~SmileysWindow() override;

  SmileysModel& Model() { return *model_; }
  markup::MarkupView* IndexPane() const { return cindex_; }
  markup::MarkupView* PicturePane() const { return msmiles_; }

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  SmileysWindow(const SmileysSettings& settings, bool russian, SmileysHost& host, TextDownloader& downloader);

  // SmileysView
  void ShowIndex(const std::string& line) override;
  void ShowPictures(const std::vector<std::string>& lines) override;

  const bool russian_;
  markup::MarkupView* cindex_ = nullptr;
  markup::MarkupView* msmiles_ = nullptr;
  std::unique_ptr<SmileysModel> model_;
  bool shownOnce_ = false;
};

}  // namespace media
