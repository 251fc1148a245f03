#pragma once
// ArchiveViewer: the window of one archive (0 private, 1..10 public).  It
// only shows what ArchiveViewerModel tells it and forwards keys, link
// clicks, copies and the filter to it.  At most one window per archive
// number is open; Open brings an existing one to the front.
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "archive/archive_viewer_model.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace markup {
class FindBar;
class MarkupView;
}

namespace media {

// What a new viewer window needs besides its number.
struct ArchiveViewerContext {
  ArchiveViewerSettings settings;
  int fontSize = 11;
  bool russian = true;
};

class ArchiveViewer : public QWidget, private ArchiveViewerView {
  Q_OBJECT
 public:
  // The window of archive `number`, created and shown, or the open one
  // raised.  The host and the downloader must outlive every viewer.
  static ArchiveViewer* Open(int number, const ArchiveViewerContext& context, ArchiveViewerHost& host,
                             TextDownloader& downloader);
  static ArchiveViewer* Find(int number);
  static std::vector<ArchiveViewer*> OpenViewers();
  static void CloseAll();
  // Where a new window opens (true: placed; else its designed place) and
  // where a closing one was; `offset` is its number's step (10 N pixels).
  static inline std::function<bool(QWidget& window, int offset)> OnPlace;
  static inline std::function<void(const QWidget& window, int offset)> OnClosing;

  ~ArchiveViewer() override;

  ArchiveViewerModel& Model() { return *model_; }
  markup::MarkupView* Pane() const { return ht_; }
  markup::FindBar* Finder() const { return findBar_; }

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  ArchiveViewer(int number, const ArchiveViewerContext& context, ArchiveViewerHost& host,
                TextDownloader& downloader);

  // ArchiveViewerView
  void ShowLines(const std::vector<ViewLine>& lines, bool fromTop) override;
  void AddLine(const ViewLine& line) override;
  void SetProgress(int percent) override;
  void SetProgressVisible(bool visible) override;
  void SetApplyEnabled(bool enabled) override;
  void SetSearching(bool searching) override;
  void ContinueLater() override;

  bool PagingKey(QEvent* event);
  void ApplyFilter();

  const ArchiveViewerContext context_;
  markup::MarkupView* ht_ = nullptr;
  markup::FindBar* findBar_ = nullptr;
  QLabel* filterLab_ = nullptr;
  QLineEdit* filter_ = nullptr;
  QPushButton* apply_ = nullptr;
  QProgressBar* progress_ = nullptr;
  std::unique_ptr<ArchiveViewerModel> model_;
  bool shownOnce_ = false;
  bool searching_ = false;
};

}  // namespace media
