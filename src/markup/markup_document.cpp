#include "markup/markup_document.h"

#include <algorithm>
#include <utility>
#include <cstdio>

#include "markup/markup_canvas.h"
#include "markup/markup_parser.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"

namespace markup {

MarkupDocument::MarkupDocument(TextMeasurer& measurer, PictureRegistry* pictures)
    : measurer_(measurer), pictures_(pictures) {}

MarkupDocument::~MarkupDocument() {
  // Oldest first, each line telling OnStrDestroy.
  for (auto& line : lines_) line.reset();
  lines_.clear();
}

PictureRegistry& MarkupDocument::PictureSource() const {
  return pictures_ ? *pictures_ : ProcessPictureRegistry();
}

std::string MarkupDocument::ColorTags(uint32_t fontColor, uint32_t backColor) {
  char buffer[64];
  std::snprintf(buffer, sizeof buffer, "<fcol=%06X><bcol=%06X>", fontColor, backColor);
  return buffer;
}

// ---- Lines ----

MarkupLine& MarkupDocument::AppendLine() {
  if (lines_.empty()) contentHeight_ = 0;
  lines_.push_back(std::make_unique<MarkupLine>(this, contentHeight_));
  if (view_) view_->LineAppended();
  return *lines_.back();
}

// Appends without the intermediate layouts; the caller lays out once.
void MarkupDocument::AppendQuietly(const std::string& text) {
  ++updateCount_;
  AddString(text);
  --updateCount_;
}

void MarkupDocument::NewString(const std::string& text, uint32_t fontColor, uint32_t backColor) {
  AppendLine();
  AppendQuietly(ColorTags(fontColor, backColor) + text);
  RefreshLastStr();
}

void MarkupDocument::NewStringFront(const std::string& text, uint32_t fontColor, uint32_t backColor) {
  lines_.insert(lines_.begin(), std::make_unique<MarkupLine>(this, contentHeight_));
  lines_.front()->Append(ColorTags(fontColor, backColor) + text);
}

void MarkupDocument::AddString(const std::string& text) {
  if (lines_.empty()) {
    NewString(text, 0xFFFFFF, 0);
    return;
  }
  lines_.back()->Append(text);
  RefreshLastStr();
}

void MarkupDocument::SetColor(uint32_t fontColor, uint32_t backColor) {
  AddString(ColorTags(fontColor, backColor));
}

void MarkupDocument::AddLink(const std::string& text, const std::string& target) {
  AddString("<link=\"" + text + "\"" + target + ">");
}

void MarkupDocument::ReplaceLastStr(const std::string& text) {
  if (lines_.empty()) {
    NewString(text, 0xFFFFFF, 0);
    return;
  }
  const int oldHeight = contentHeight_;
  lines_.back()->Replace(text);
  RefreshLastStr();
  if (contentHeight_ < oldHeight && view_ && attached_ && !Updating())
    view_->RepaintBand(contentHeight_, oldHeight);
}

void MarkupDocument::AddOrReplaceIfExists(const std::string& prefix, const std::string& text,
                                          bool keepRest) {
  for (size_t i = MayBeginWith(prefix) ? lines_.size() : 0; i-- > 0;) {
    MarkupLine& line = *lines_[i];
    if (!BeginsWith(line.source, prefix)) continue;
    std::string markup = text;
    if (keepRest) markup += line.source.substr(std::min(prefix.size(), line.source.size()));
    line.Replace(markup);
    RecalculateFrom(i);
    return;
  }
  if (keepRest) return;
  if (BeginsWith(text, "<fcol=")) {
    // Already colored (a restored echo line): keep its markup exactly so
    // the line can be found by its prefix later.
    AppendLine();
    AppendQuietly(text);
    RefreshLastStr();
  } else {
    NewString(text, 0, 0xFFFFFF);
  }
}

std::string_view MarkupDocument::IdPrefix(std::string_view markup) {
  const size_t id = markup.find("<id=");
  if (id == std::string_view::npos) return {};
  const size_t close = markup.find('>', id + 4);
  if (close == std::string_view::npos) return {};
  return markup.substr(0, close + 1);
}

void MarkupDocument::IdPrefixChanged(std::string_view before, std::string_view after) {
  if (before == after) return;
  if (!before.empty()) {
    auto it = idPrefixes_.find(std::string(before));
    if (it != idPrefixes_.end() && --it->second == 0) idPrefixes_.erase(it);
  }
  if (!after.empty()) ++idPrefixes_[std::string(after)];
}

// A prefix that is a whole identifier prefix matches exactly the lines with
// that identifier prefix, so the count decides.
bool MarkupDocument::MayBeginWith(const std::string& prefix) const {
  if (prefix.empty() || IdPrefix(prefix).size() != prefix.size()) return true;
  return idPrefixes_.count(prefix) > 0;
}

bool MarkupDocument::StringExists(const std::string& prefix) const {
  if (!MayBeginWith(prefix)) return false;
  for (size_t i = lines_.size(); i-- > 0;)
    if (BeginsWith(lines_[i]->source, prefix)) return true;
  return false;
}

std::string MarkupDocument::GetLastStr() const {
  return lines_.empty() ? std::string() : lines_.back()->source;
}

// Both change one line: the lines above it keep their places, so only the
// lines from it on are placed again (a kept sound cuts its line in a pane
// of thousands).
void MarkupDocument::DeleteStr(const std::string& text) {
  hovered_ = nullptr;
  for (size_t i = 0; i < lines_.size(); ++i) {
    if (lines_[i]->source.find(text) == std::string::npos) continue;
    lines_.erase(lines_.begin() + static_cast<long>(i));
    RecalculateFrom(i);
    return;
  }
}

void MarkupDocument::DeleteArc(const std::string& text) {
  hovered_ = nullptr;
  for (size_t i = 0; i < lines_.size(); ++i) {
    const size_t at = lines_[i]->source.find(text);
    if (at == std::string::npos) continue;
    lines_[i]->Replace(lines_[i]->source.substr(0, at));
    RecalculateFrom(i);
    return;
  }
}

void MarkupDocument::Clear() {
  hovered_ = nullptr;
  for (auto& line : lines_) line.reset();
  lines_.clear();
  lines_.shrink_to_fit();
  idPrefixes_.clear();
  contentHeight_ = 0;
  if (!Updating()) Redraw();
}

void MarkupDocument::BeginUpdate() { ++updateCount_; }

void MarkupDocument::EndUpdate(bool full) {
  if (updateCount_ == 0) return;
  if (--updateCount_ > 0) return;
  if (full)
    RecalculateFrom(0);
  else
    RefreshLastStr();
}

void MarkupDocument::SetFilter(const std::string& text) {
  filter_ = text;
  for (auto& line : lines_) line->UpdateHidden();
  RecalculateFrom(0);
}

// ---- Layout ----

void MarkupDocument::RememberPieces(const MarkupLine& line, std::vector<MarkupLine::Piece> pieces) {
  cachedLine_ = &line;
  cachedSource_ = line.source;
  cachedPieces_ = std::move(pieces);
}

const std::vector<MarkupLine::Piece>& MarkupDocument::PiecesOf(MarkupLine& line) {
  if (cachedLine_ != &line || cachedSource_ != line.source) RememberPieces(line, line.Parse());
  return cachedPieces_;
}

void MarkupDocument::LineDestroyed(MarkupLine& line) {
  if (cachedLine_ == &line) cachedLine_ = nullptr;
  if (hovered_ == &line) hovered_ = nullptr;
  IdPrefixChanged(IdPrefix(line.source), {});
  if (OnStrDestroy) OnStrDestroy(*this, line.source);
}

WalkResult MarkupDocument::Walk(MarkupLine& line, WalkMode mode, int mouseX, int mouseY,
                                MarkupCanvas* canvas) {
  WalkSettings s;
  s.measurer = &measurer_;
  s.pictures = &PictureSource();
  s.canvas = canvas;
  s.layoutWidth = layoutWidth_;
  s.leftIndent = leftIndent_;
  s.fontSize = fontSize_;
  s.position = position_;
  return WalkLine(line, PiecesOf(line), mode, line.top, mouseX, mouseY, s, colors_);
}

MarkupDocument::Placement MarkupDocument::PlaceOf(size_t index) {
  Placement placement;
  if (index >= lines_.size()) return placement;
  LayOutOne(index);
  MarkupLine& line = *lines_[index];
  placement.pieces = PiecesOf(line);
  WalkSettings s;
  s.measurer = &measurer_;
  s.pictures = &PictureSource();
  s.layoutWidth = layoutWidth_;
  s.leftIndent = leftIndent_;
  s.fontSize = fontSize_;
  s.position = position_;
  // The colours a walk leaves behind belong to painting; this one keeps them.
  WalkColors colors = colors_;
  placement.boxes = WalkLine(line, placement.pieces, WalkMode::Boxes, line.top, 0, 0, s, colors).boxes;
  return placement;
}

std::vector<MarkupLine::Piece> MarkupDocument::PiecesAt(size_t index) {
  if (index >= lines_.size()) return {};
  return PiecesOf(*lines_[index]);
}

size_t MarkupDocument::IndexOf(const MarkupLine* line) const {
  for (size_t i = lines_.size(); i-- > 0;)
    if (lines_[i].get() == line) return i;
  return lines_.size();
}

void MarkupDocument::RecalculateText(const MarkupLine* from) {
  if (!from) {
    InvalidateLayout();
    RecalculateFrom(0);
    return;
  }
  // A picture of this line got its size; lines below may name it too.
  // Those are laid out at once, so the animated ones among them get their
  // occurrences (and their own clocks) now, shown or not.
  const size_t index = IndexOf(from);
  if (index >= lines_.size()) return;
  for (size_t i = index; i < lines_.size(); ++i) {
    MarkupLine& line = *lines_[i];
    line.layoutStamp = 0;
    if (line.NamesUrlPictures()) LayOutLine(line);
  }
  RecalculateFrom(index);
}

void MarkupDocument::RecalculateFrom(size_t index) {
  // Where the line before ends: the line at `index` may be new or gone.
  index = std::min(index, lines_.size());
  MarkDirty(index > 0 ? lines_[index - 1]->top + Rows(*lines_[index - 1]) : 0);
  PlaceFrom(index);
  AnticipateScrollBar(false);
  SetVertScrollPosRange(atBottom_ ? contentHeight_ - clientHeight_ : position_, contentHeight_);
}

void MarkupDocument::RefreshLastStr() {
  if (Updating() || lines_.empty()) return;
  MarkupLine& last = *lines_.back();
  MarkDirty(last.top);
  if (view_ && attached_ && atBottom_ && scrollVisible_ && view_->DefersTail()) {
    last.height = EstimateHeight(last);
    last.layoutStamp = 0;
    contentHeight_ = last.top + Rows(last);
    tailPending_ = true;
    ReleaseLayoutBehind();
    return;
  }
  tailPending_ = false;
  LayOutLine(last);
  contentHeight_ = last.top + Rows(last);
  ReleaseLayoutBehind();
  AnticipateScrollBar(true);
  SetVertScrollPosRange(atBottom_ ? contentHeight_ - clientHeight_ : position_, contentHeight_);
}

void MarkupDocument::Settle() {
  if (!tailPending_) return;
  tailPending_ = false;
  AnticipateScrollBar(true);
  SetVertScrollPosRange(atBottom_ ? contentHeight_ - clientHeight_ : position_, contentHeight_);
}

// A laid-out line keeps its rows' metrics and its animated pictures' state
// (frame, timer, place).  A line left far behind the newest one gives them
// up unless it shows, keeping only its height: it is laid out again, and
// its pictures animate again, when it comes into view.  A pane of a million
// lines so holds them for a few hundred.
void MarkupDocument::ReleaseLayoutBehind() {
  constexpr size_t kBehind = 256;
  if (lines_.size() <= kBehind) return;
  MarkupLine& line = *lines_[lines_.size() - 1 - kBehind];
  if (!line.HasLayout()) return;
  const bool shows = line.top < position_ + clientHeight_ && line.top + Rows(line) > position_;
  if (shows || line.hidden) return;
  line.ReleaseLayout();
  line.layoutStamp = 0;
}

void MarkupDocument::RecalculateTextW(int width) {
  layoutWidth_ = std::max(width, 1);
  InvalidateLayout();
  MarkDirty(0);
  int height = 0;
  for (auto& line : lines_) {
    MoveLine(*line, height - line->top);
    LayOutLine(*line);
    height += Rows(*line);
  }
  contentHeight_ = height;
}

void MarkupDocument::LayOutAll() {
  LayOutRows(0, INT_MAX);
  SetVertScrollPosRange(atBottom_ ? contentHeight_ - clientHeight_ : position_, contentHeight_);
}

// ---- Lazy layout ----

// One visual line per this many characters of the line's text, at the
// base font's average width: good enough for the scroll bar until the line
// shows and gets its real height.
int MarkupDocument::EstimateHeight(const MarkupLine& line) {
  if (estimateStamp_ != layoutStamp_) {
    FontSpec base;
    base.size = fontSize_;
    const FontMetrics fm = measurer_.Metrics(base);
    estimateRow_ = std::max(fm.ascent + fm.descent, 1);
    static constexpr std::string_view kSample = "Sample line of a chat, 0123456789";
    estimateCharWidth_ =
        std::max(static_cast<int>(measurer_.Width(base, kSample) * 16 / static_cast<int>(kSample.size())), 1);
    estimateStamp_ = layoutStamp_;
  }
  int64_t shown = 0;
  bool inTag = false;
  for (const char c : line.source) {
    if (c == '<')
      inTag = true;
    else if (c == '>')
      inTag = false;
    else if (!inTag)
      ++shown;
  }
  const int64_t usable = std::max(layoutWidth_ - leftIndent_, 1) * int64_t{16};
  const int64_t rows = 1 + shown * estimateCharWidth_ / usable;
  return static_cast<int>(std::min<int64_t>(rows * estimateRow_, INT_MAX / 4));
}

void MarkupDocument::LayOutLine(MarkupLine& line) {
  if (line.hidden) return;
  line.height = Walk(line, WalkMode::Layout, 0, 0, nullptr).bottom - line.top;
  line.layoutStamp = layoutStamp_;
  ++linesLaidOut_;
}

// Animated pictures keep content coordinates: they move with their line.
void MarkupDocument::MoveLine(MarkupLine& line, int delta) {
  if (delta == 0) return;
  line.top += delta;
  for (const auto& anim : std::as_const(line).Anims()) anim->y += delta;
}

// Tops from `index` on, from the rows of the lines above; nothing is walked.
void MarkupDocument::PlaceFrom(size_t index) {
  index = std::min(index, lines_.size());
  int y = index > 0 ? lines_[index - 1]->top + Rows(*lines_[index - 1]) : 0;
  for (size_t i = index; i < lines_.size(); ++i) {
    MarkupLine& line = *lines_[i];
    if (line.height < 0) line.height = EstimateHeight(line);
    MoveLine(line, y - line.top);
    y += Rows(line);
  }
  contentHeight_ = y;
}

// Lays out the stale lines that show in content rows from .. to.  Rows
// above the first of them stay; the lines below move by what changed, and
// lines that move into the rows are laid out too.  True when a line was.
bool MarkupDocument::LayOutRows(int from, int to) {
  size_t laid = 0;
  int delta = 0;
  size_t i = static_cast<size_t>(std::max(LineIndexAt(from), 0L));
  for (; i < lines_.size(); ++i) {
    MarkupLine& line = *lines_[i];
    MoveLine(line, delta);
    if (line.top >= to) {
      ++i;
      break;
    }
    if (!Stale(line)) continue;
    const int before = Rows(line);
    LayOutLine(line);
    ++laid;
    MarkDirty(line.top);
    delta += Rows(line) - before;
  }
  if (delta != 0) {
    // Lines ahead are laid out too, so that moving the rest is paid for.
    for (; i < lines_.size() && laid * kMovesPerLayout < lines_.size() - i; ++i) {
      MarkupLine& line = *lines_[i];
      MoveLine(line, delta);
      if (!Stale(line)) continue;
      const int before = Rows(line);
      LayOutLine(line);
      ++laid;
      delta += Rows(line) - before;
    }
    for (; i < lines_.size(); ++i) MoveLine(*lines_[i], delta);
    contentHeight_ += delta;
  }
  return laid > 0;
}

// The client area at `position` (at the bottom when `bottom`) gets its
// lines laid out; `position` becomes where it ends up.
bool MarkupDocument::LayOutBand(int& position, bool bottom) {
  bool laid = false;
  for (;;) {
    const int last = std::max(contentHeight_ - clientHeight_, 0);
    const int top = bottom ? last : std::min(position, last);
    if (!LayOutRows(top, top + clientHeight_)) {
      position = top;
      return laid;
    }
    laid = true;
  }
}

// Lays out the stale lines in the `distance` rows above content row y,
// whose place on the screen stays: the scroll position moves with it.
void MarkupDocument::LayOutAbove(int y, int distance) {
  const long holder = LineIndexAt(y);
  if (holder <= 0) return;
  int covered = y - lines_[static_cast<size_t>(holder)]->top;
  int delta = 0;
  size_t laid = 0;
  long i = holder - 1;
  auto layOut = [&](MarkupLine& line) {
    if (!Stale(line)) return;
    const int before = Rows(line);
    LayOutLine(line);
    ++laid;
    delta += Rows(line) - before;
  };
  for (; i >= 0 && covered < distance; --i) {
    MarkupLine& line = *lines_[static_cast<size_t>(i)];
    layOut(line);
    covered += Rows(line);
  }
  if (delta == 0) return;
  // Lines further up are laid out too, so that moving those below is paid
  // for (the next steps up find them ready).
  for (; i >= 0 && laid * kMovesPerLayout < lines_.size() - static_cast<size_t>(i); --i)
    layOut(*lines_[static_cast<size_t>(i)]);
  PlaceFrom(static_cast<size_t>(i + 1));
  position_ += delta;
  if (paintedPosition_ >= 0) paintedPosition_ += delta;
  if (dirtyFrom_ != INT_MAX) dirtyFrom_ += delta;
}

// A line read outside the client area: laid out where it is, and what shows
// stays where it is on the screen.
void MarkupDocument::LayOutOne(size_t index) {
  MarkupLine& line = *lines_[index];
  if (!Stale(line)) return;
  const int before = Rows(line);
  LayOutLine(line);
  MarkDirty(line.top);
  const int delta = Rows(line) - before;
  if (delta == 0) return;
  for (size_t i = index + 1; i < lines_.size(); ++i) MoveLine(*lines_[i], delta);
  contentHeight_ += delta;
  if (line.top < position_) {
    position_ += delta;
    if (paintedPosition_ >= 0) paintedPosition_ += delta;
    if (dirtyFrom_ != INT_MAX) dirtyFrom_ += delta;
  }
  SetVertScrollPosRange(position_, contentHeight_);
}

void MarkupDocument::LayOutLazily(int width) {
  layoutWidth_ = std::max(width, 1);
  InvalidateLayout();
  MarkDirty(0);
  PlaceFrom(0);
  int position = position_;
  LayOutBand(position, atBottom_);
}

void MarkupDocument::ScrollUp(int distance) {
  LayOutAbove(position_, distance);
  SetVertScrollPosRange(position_ - distance, contentHeight_);
}

// Lays out at the width the client area will have once the scroll bar
// appears or disappears, so the resize that follows changes nothing.  Only
// a change of visibility costs a full layout; appending to a pane whose bar
// is already shown never does.
void MarkupDocument::AnticipateScrollBar(bool lastLineOnly) {
  if (!attached_) return;
  const int w = ViewGlobals::scrollBarWidth;
  if (contentHeight_ > clientHeight_ && !scrollVisible_) {
    LayOutLazily(clientWidth_ - w);
    if (lastLineOnly && contentHeight_ <= clientHeight_) LayOutLazily(clientWidth_);
  } else if (contentHeight_ <= clientHeight_ && scrollVisible_) {
    LayOutLazily(clientWidth_ + w);
    if (contentHeight_ > clientHeight_) LayOutLazily(clientWidth_);
  }
}

void MarkupDocument::Redraw() {
  if (!attached_) return;
  layoutWidth_ = std::max(clientWidth_, 1);
  InvalidateLayout();
  ResetBitmap();
  RecalculateFrom(0);
}

void MarkupDocument::SetViewSize(int width, int height) {
  attached_ = true;
  viewWidth_ = std::max(width, 0);
  clientHeight_ = std::max(height, 0);
  clientWidth_ = viewWidth_ - (scrollVisible_ ? ViewGlobals::scrollBarWidth : 0);
  range_ = -1;
  Redraw();
}

void MarkupDocument::SetFontSize(int points) {
  fontSize_ = points;
  Redraw();
}

void MarkupDocument::SetLeftIndent(int indent) {
  leftIndent_ = std::max(indent, 0);
  InvalidateLayout();
  RecalculateFrom(0);
}

void MarkupDocument::SetViewColor(int32_t color) {
  color_ = color;
  InvalidateBitmap();
  PaintAll();
}

// ---- Scrolling ----

void MarkupDocument::SetVertScrollPosRange(int position, int range) {
  range = std::max(range, clientHeight_);
  position = std::max(std::min(position, range - clientHeight_), 0);
  if (LayOutBand(position, position == range - clientHeight_)) range = std::max(contentHeight_, clientHeight_);
  if (position != position_ || range != range_) {
    position_ = position;
    range_ = range;
    SetVertScroll();
  }
  PaintAll();
}

void MarkupDocument::SetVertScroll() {
  const bool visible = clientHeight_ < range_;
  atBottom_ = range_ - clientHeight_ == position_;
  if (visible != scrollVisible_) {
    scrollVisible_ = visible;
    clientWidth_ = viewWidth_ - (visible ? ViewGlobals::scrollBarWidth : 0);
    if (view_) view_->ScrollBarChanged();
    // The client area changed width: lay out again at the new width, unless
    // the anticipation already did.
    if (attached_ && layoutWidth_ != std::max(clientWidth_, 1) && redrawDepth_ < 2) {
      ++redrawDepth_;
      Redraw();
      --redrawDepth_;
    } else if (attached_) {
      ResetBitmap();
    }
    return;
  }
  if (view_) view_->ScrollBarChanged();
}

void MarkupDocument::Scroll(ScrollCode code, int thumbPosition) {
  switch (code) {
    case ScrollCode::LineUp: ScrollUp(increment_); break;
    case ScrollCode::LineDown: SetVertScrollPos(position_ + increment_); break;
    case ScrollCode::PageUp: ScrollUp(clientHeight_ - increment_); break;
    case ScrollCode::PageDown: SetVertScrollPos(position_ + (clientHeight_ - increment_)); break;
    case ScrollCode::Thumb: SetVertScrollPos(thumbPosition); break;
    case ScrollCode::Top: SetVertScrollPos(0); break;
    case ScrollCode::Bottom: SetVertScrollPos(range_); break;
  }
}

bool MarkupDocument::MouseWheel(int delta) {
  if (!scrollVisible_) return false;
  const long moved = static_cast<long>(increment_) * delta / 30;
  if (moved > 0) LayOutAbove(position_, static_cast<int>(std::min<long>(moved, INT_MAX / 2)));
  const long target = std::clamp<long>(position_ - moved, 0, std::max(contentHeight_ - clientHeight_, 0));
  SetVertScrollPosRange(static_cast<int>(target), contentHeight_);
  return true;
}

// ---- Painting and the mouse ----

void MarkupDocument::ResetBitmap() {
  InvalidateBitmap();
  if (view_) view_->ResetBitmap();
}

void MarkupDocument::PaintAll() {
  if (!view_ || !attached_ || Updating()) return;
  const int top = position_;
  const int bottom = position_ + clientHeight_;
  if (paintedPosition_ < 0 || std::abs(position_ - paintedPosition_) >= clientHeight_) {
    view_->RepaintBand(top, bottom);
  } else {
    if (position_ != paintedPosition_) view_->ScrollBitmap(paintedPosition_ - position_);
    if (position_ > paintedPosition_)
      MarkDirty(paintedPosition_ + clientHeight_);
    else if (position_ < paintedPosition_)
      view_->RepaintBand(top, paintedPosition_);
    if (dirtyFrom_ < bottom) view_->RepaintBand(std::max(dirtyFrom_, top), bottom);
  }
  paintedPosition_ = position_;
  dirtyFrom_ = INT_MAX;
}

long MarkupDocument::LineIndexAt(int contentY) const {
  auto it = std::upper_bound(lines_.begin(), lines_.end(), contentY,
                             [](int y, const std::unique_ptr<MarkupLine>& line) { return y < line->top; });
  return static_cast<long>(it - lines_.begin()) - 1;
}

void MarkupDocument::DrawRange(MarkupCanvas& canvas, int from, int to) {
  LayOutRows(from, to);  // nothing to do for rows that show
  canvas.FillRect(0, from - position_, std::max(clientWidth_, 0), to - from, color_);
  for (size_t i = static_cast<size_t>(std::max(LineIndexAt(from), 0L));
       i < lines_.size() && lines_[i]->top < to; ++i)
    Walk(*lines_[i], WalkMode::Paint, 0, 0, &canvas);
}

MarkupDocument::MouseUpdate MarkupDocument::MouseMove(int x, int y, MarkupCanvas* canvas) {
  MouseUpdate update;
  auto take = [&update](WalkResult&& r) {
    update.bands.insert(update.bands.end(), r.bands.begin(), r.bands.end());
    if (r.cursor != CursorRequest::Unchanged) update.cursor = r.cursor;
    return r.hit;
  };
  y += position_;
  const long index = LineIndexAt(y);
  if (index < 0 || y >= contentHeight_) {
    if (hovered_) take(Walk(*hovered_, WalkMode::Unhover, x, y, canvas));
    hovered_ = nullptr;
    return update;
  }
  MarkupLine* line = lines_[static_cast<size_t>(index)].get();
  if (hovered_ && hovered_ != line) take(Walk(*hovered_, WalkMode::Unhover, x, y, canvas));
  if (!take(Walk(*line, WalkMode::Hover, x, y, canvas)))
    take(Walk(*line, WalkMode::Unhover, x, y, canvas));
  hovered_ = line;
  return update;
}

MarkupDocument::MouseUpdate MarkupDocument::MouseLeave(MarkupCanvas* canvas) {
  MouseUpdate update;
  if (hovered_) {
    WalkResult r = Walk(*hovered_, WalkMode::Unhover, -1, -1, canvas);
    update.bands = std::move(r.bands);
    update.cursor = r.cursor;
  }
  hovered_ = nullptr;
  return update;
}

std::vector<std::string> MarkupDocument::Click(int x, int y) {
  if (lines_.empty()) return {};
  y += position_;
  const long index = LineIndexAt(y);
  if (index < 0) return {};
  return Walk(*lines_[static_cast<size_t>(index)], WalkMode::Click, x, y, nullptr).links;
}

bool MarkupDocument::PopupTarget(int y, std::string* markup, std::string* plain) const {
  // A filtered-out line is never the target, even when it is the last one.
  long index = LineIndexAt(y + position_);
  while (index >= 0 && lines_[static_cast<size_t>(index)]->hidden) --index;
  if (index < 0) return false;
  const std::string& source = lines_[static_cast<size_t>(index)]->source;
  if (markup) *markup = source;
  if (plain) *plain = DelTags(source);
  return true;
}

void MarkupDocument::DoLink(const std::string& target) {
  if (OnLink) OnLink(*this, target);
}

void MarkupDocument::UpdateAnimations() {
  for (auto& line : lines_)
    for (const auto& anim : std::as_const(*line).Anims()) anim->StartOrStop(line->hidden || !ViewGlobals::animation);
}

bool MarkupDocument::DrawOverBitmap(const std::function<void(MarkupCanvas&)>& draw, int from,
                                    int to) {
  if (!view_ || !attached_ || Updating() || paintedPosition_ != position_ || to > dirtyFrom_)
    return false;
  view_->DrawOnBitmap(draw, from - position_, to - position_);
  return true;
}

}  // namespace markup
