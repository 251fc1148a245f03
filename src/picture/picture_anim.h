#pragma once
// Animation of URL pictures.  Every occurrence of an animated picture in a
// line has its own record (frame and due time); one clock per view wakes
// when the earliest visible occurrence is due and advances and redraws only
// the occurrences inside the visible band.  A record outside the band is
// never touched: its frame follows the time that passed when it is painted
// or comes back into view, so it shows a later frame then.
#include "markup/markup_line.h"

#include <QTimer>

#include <cstdint>
#include <functional>
#include <unordered_set>

namespace markup {
class MarkupCanvas;
class MarkupDocument;
}  // namespace markup

namespace picture {

struct Picture;
class ViewClock;

class PictureAnim : public markup::MarkupLine::AnimData {
 public:
  PictureAnim(const Picture* picture, ViewClock* clock);
  ~PictureAnim() override;

  // Runs while animation is on and `stop` (the line is filtered out) is false.
  void StartOrStop(bool stop) override;
  bool Running() const { return running_; }
  // Moves the frame on to the time `now`; true when it changed.
  bool CatchUp(int64_t now);
  // When the next frame is due (clock milliseconds), valid while running.
  int64_t Due() const { return due_; }
  const Picture* picture() const { return picture_; }
  ViewClock* clock() const { return clock_; }
  int Height() const;
  // Fills the picture's rectangle at window position (x, y) with the
  // background color and draws the current frame over it.
  void DrawFrame(markup::MarkupCanvas& canvas, int x, int y) const;
  // The registry is going away: the record stops for good.
  void Detach();

 private:
  const Picture* picture_;
  ViewClock* clock_;
  bool running_ = false;
  int64_t due_ = 0;
};

class ViewClock {
 public:
  using TimeSource = std::function<int64_t()>;
  // `empty` runs when the last record went; it may destroy the clock.
  ViewClock(markup::MarkupDocument& document, TimeSource now, std::function<void()> empty);
  ViewClock(const ViewClock&) = delete;
  ViewClock& operator=(const ViewClock&) = delete;

  void Add(PictureAnim* record) { records_.insert(record); }
  void Remove(PictureAnim* record);
  // The clock fires no later than `due`.
  void Wake(int64_t due);
  // Advances and redraws the due occurrences in the visible band, then
  // sleeps until the earliest of them is due again (or for good).
  void Tick();

  int64_t Now() const { return now_(); }
  bool Active() const { return timer_.isActive(); }
  size_t Records() const { return records_.size(); }
  markup::MarkupDocument& document() const { return document_; }
  // Every record, for the registry's shutdown.
  const std::unordered_set<PictureAnim*>& records() const { return records_; }

 private:
  markup::MarkupDocument& document_;
  TimeSource now_;
  std::function<void()> empty_;
  QTimer timer_;
  int64_t wakeAt_ = 0;
  std::unordered_set<PictureAnim*> records_;
};

}  // namespace picture
