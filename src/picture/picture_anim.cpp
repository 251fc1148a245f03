#include "picture/picture_anim.h"

#include "markup/painter_access.h"
#include "markup/markup_document.h"
#include "picture/picture_record.h"
#include "markup/view_globals.h"

#include <QPainter>

#include <algorithm>
#include <climits>
#include <utility>

namespace picture {

PictureAnim::PictureAnim(const Picture* picture, ViewClock* clock) : picture_(picture), clock_(clock) {
  if (clock_) clock_->Add(this);
}

PictureAnim::~PictureAnim() {
  if (clock_) clock_->Remove(this);
}

void PictureAnim::Detach() {
  picture_ = nullptr;
  clock_ = nullptr;
  running_ = false;
}

int PictureAnim::Height() const { return picture_ ? picture_->image.height : 0; }

void PictureAnim::StartOrStop(bool stop) {
  const bool run = markup::ViewGlobals::animation && !stop && picture_ && clock_ &&
                   picture_->FrameCount() > 1;
  if (run == running_) return;
  if (run) {
    running_ = true;
    due_ = clock_->Now() + picture_->FrameDelay(frame);
    clock_->Wake(due_);
  } else {
    CatchUp(clock_ ? clock_->Now() : due_);  // it stops at the frame it has reached
    running_ = false;
  }
}

bool PictureAnim::CatchUp(int64_t now) {
  if (!running_ || !picture_ || now < due_) return false;
  const int count = picture_->FrameCount();
  if (count < 2) return false;
  int64_t cycle = 0;
  for (int i = 0; i < count; ++i) cycle += picture_->FrameDelay(i);
  const int before = frame;
  // Whole rounds that passed unseen change nothing; skip them.
  if (now - due_ >= cycle) due_ += (now - due_) / cycle * cycle;
  while (now >= due_) {
    frame = (frame + 1) % count;
    due_ += picture_->FrameDelay(frame);
  }
  return frame != before;
}

void PictureAnim::DrawFrame(markup::MarkupCanvas& canvas, int x, int y) const {
  if (!picture_ || picture_->image.frames.empty()) return;
  canvas.FillRect(x, y, picture_->image.width, picture_->image.height, background);
  QPainter* painter = markup::PainterOf(canvas);
  const size_t index = std::min(size_t(std::max(frame, 0)), picture_->image.frames.size() - 1);
  if (painter) painter->drawImage(QPoint(x, y), picture_->image.frames[index]);
}

ViewClock::ViewClock(markup::MarkupDocument& document, TimeSource now, std::function<void()> empty)
    : document_(document), now_(std::move(now)), empty_(std::move(empty)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
}

void ViewClock::Remove(PictureAnim* record) {
  records_.erase(record);
  if (records_.empty()) {
    timer_.stop();
    auto empty = empty_;  // may destroy this clock
    if (empty) empty();
  }
}

void ViewClock::Wake(int64_t due) {
  if (timer_.isActive() && wakeAt_ <= due) return;
  wakeAt_ = due;
  const int64_t wait = std::clamp<int64_t>(due - Now(), 0, INT_MAX);
  timer_.start(int(wait));
}

void ViewClock::Tick() {
  timer_.stop();  // it sleeps unless a visible occurrence is still running
  const auto& lines = document_.lines();
  if (lines.empty()) return;
  const int64_t now = Now();
  const int position = document_.VertScrollPos();
  const int bottom = position + document_.ClientHeight();
  int64_t earliest = INT64_MAX;
  for (size_t i = size_t(std::max(document_.LineIndexAt(position), 0L));
       i < lines.size() && lines[i]->top < bottom; ++i) {
    for (const auto& data : std::as_const(*lines[i]).Anims()) {
      auto* anim = dynamic_cast<PictureAnim*>(data.get());
      if (!anim || !anim->Running()) continue;
      const int h = anim->Height();
      if (anim->y + h < position || anim->y >= bottom) continue;
      if (anim->CatchUp(now)) {
        document_.DrawOverBitmap(
            [anim, position](markup::MarkupCanvas& canvas) {
              anim->DrawFrame(canvas, anim->x, anim->y - position);
            },
            anim->y, anim->y + h);
      }
      earliest = std::min(earliest, anim->Due());
    }
  }
  if (earliest != INT64_MAX) Wake(earliest);
}

}  // namespace picture
