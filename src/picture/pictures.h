#pragma once
// Pictures: the registry of URL pictures behind every markup view.  A URL
// gets its number on first use; its file comes from the own cache or is
// downloaded into the cache folder (at most five at a time), is decoded on
// the decoding thread and applied here on the GUI thread, where the lines
// waiting for it are laid out again.  Animated pictures get one record per
// occurrence and one clock per view (picture_anim.h).
//
// Everything here runs on the GUI thread; the class needs a
// QCoreApplication (a QGuiApplication for drawing text elsewhere) but no
// widgets.
#include "picture/cache_index.h"
#include "picture/picture_record.h"
#include "markup/picture_registry.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

namespace markup {
class MarkupDocument;
}

namespace picture {

class DecodeThread;
class HttpPictureLoader;
class MemoryBudget;
class ViewClock;
struct DecodeJob;

class Pictures : public QObject, public markup::PictureRegistry {
  Q_OBJECT
 public:
  // A URL was queued for download while already in the queue.  The main
  // window shows its question box ("Повтор загрузки", caption "Внимание")
  // here; the answer is ignored, the download is queued anyway.  Called
  // from the event loop, never from inside layout.  Unassigned: no box.
  static inline std::function<bool(const std::string& url)> OnDuplicateDownload;
  // One line for the trace log, said once per registry: the first picture
  // the memory budget could not take.  Unassigned: nothing is said.
  static inline std::function<void(const std::string& text)> OnTrace;

  // Decoded pictures are drawn from `budget` (the process-wide one unless
  // given); it must outlive the registry.
  explicit Pictures(MemoryBudget* budget = nullptr);
  // Saves the cache index and aborts every download.
  ~Pictures() override;
  Pictures(const Pictures&) = delete;
  Pictures& operator=(const Pictures&) = delete;

  // markup::PictureRegistry
  int Register(const std::string& url, markup::MarkupLine* user) override;
  void Release(const std::string& url, markup::MarkupLine* user) override;
  int Width(int number) const override;
  int Height(int number) const override;
  markup::PictureState State(int number) const override;
  bool IsAnimated(int number) const override;
  void Draw(int number, markup::MarkupCanvas& canvas, int x, int y) const override;
  void PlaceOccurrence(markup::MarkupLine& line, int number, int key, int x, int y,
                       int32_t background) override;
  void PaintOccurrence(markup::MarkupLine& line, int key, int x, int y,
                       markup::MarkupCanvas& canvas) override;
  void RefreshFailed() override;
  void StopDownloads() override;
  void LoadCacheIndex(const std::string& indexFile, const std::string& folder) override;
  void ClearCache() override;

  // The settings' caching type (0 no cache, 1 and 2 the own cache), from
  // the next picture on.
  void SetCacheType(int type) { cache_.SetCacheType(type); }
  // Writes the cache index now (atomically); false without an index file.
  bool SaveCacheIndex() const;

  // ---- State, for the main window's menus and for tests ----
  const Picture* Find(int number) const;
  // 0 when the URL was never named.
  int NumberOf(const std::string& url) const;
  const CacheIndex& cache() const { return cache_; }
  int DownloadsStarted() const { return downloadsStarted_; }
  int Decodings() const { return decodings_; }
  // Pictures that gave their frames back to the budget so far.
  int FramesReleased() const { return framesReleasedCount_; }
  const MemoryBudget& budget() const { return *budget_; }
  size_t DownloadsQueued() const;
  // The animation clock of `document`, null while it has no animated
  // occurrence.
  ViewClock* ClockOf(const markup::MarkupDocument& document) const;
  // Milliseconds of the animation clocks; tests drive them by hand.
  void SetTimeSource(std::function<int64_t()> now) { now_ = std::move(now); }

 signals:
  // A picture finished without loading ("refresh pictures" has work).
  void PictureLoadFailed();
  // Download traffic: bytes received and sent since the last report, and
  // which lamps to light.  Connect queued: it is sent from inside loading.
  void TrafficReport(quint32 in, quint32 out, bool send, bool receive);

 private:
  void StartLoading(Picture& picture);
  void QueueDecoding(Picture& picture, bool fromCache);
  void DownloadFinished(int number, const std::string& target, bool ok);
  void Apply(DecodeJob& job);
  void TellUsers(Picture& picture);
  // Frames of pictures nobody sees go back to the budget, those not
  // animating and least recently shown first, until `wanted` bytes fit;
  // nothing is released when they would not fit even then.
  bool ReleaseIdleFrames(int64_t wanted, int except);
  bool OnScreen(const Picture& picture) const;
  // A picture whose frames were released is drawn: decode it again.
  void WantFrames(Picture& picture) const;
  void ShowAgain(Picture& picture);
  void TraceOverBudget(const std::string& url);
  ViewClock* ClockFor(markup::MarkupDocument& document);
  void ReportTraffic(uint32_t in, uint32_t out, bool send, bool receive);
  int64_t Now() const;

  MemoryBudget* budget_;
  QObject context_;  // queued work lands here; outlives the loaders below
  CacheIndex cache_;
  std::map<std::string, int> numbers_;
  std::map<int, std::unique_ptr<Picture>> pictures_;
  int lastNumber_ = 0;
  int downloadsStarted_ = 0;
  int decodings_ = 0;
  int framesReleasedCount_ = 0;
  bool budgetTraced_ = false;
  mutable int64_t paintCount_ = 0;
  int64_t trafficSeen_ = 0;  // the loader's byte count already reported
  std::function<int64_t()> now_;
  std::map<const markup::MarkupDocument*, std::unique_ptr<ViewClock>> clocks_;
  std::unique_ptr<HttpPictureLoader> loader_;
  std::unique_ptr<DecodeThread> decoder_;
};

// Creates the process-wide registry once and makes every view use it.  The
// main window calls it at start-up, before LoadCacheIndex.  The cache index
// is saved when the last view goes, when the application quits and when the
// registry is destroyed with the application.
Pictures& InstallPictures();
// The installed registry, or null.
Pictures* InstalledPictures();
// Saves the index, uninstalls and destroys the registry (done by itself
// when the application object goes away).
void RemovePictures();

}  // namespace picture
