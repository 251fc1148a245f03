#include "markup/line_walk.h"

#include <algorithm>
#include <string_view>

#include "markup/markup_canvas.h"
#include "markup/picture_registry.h"
#include "markup/view_globals.h"

namespace markup {

namespace {

bool IsBreakingPoint(char c) {
  return c == ' ' || c == ',' || c == '.' || c == '-' || c == ':' || c == ';';
}

class Walker {
 public:
  Walker(MarkupLine& line, WalkMode mode, int y, int mx, int my, const WalkSettings& s,
         WalkColors& colors)
      : line_(line), mode_(mode), y_(y), mx_(mx), my_(my), s_(s), colors_(colors) {
    x_ = s.leftIndent;
    font_.size = s.fontSize;
  }

  WalkResult Run(const std::vector<MarkupLine::Piece>& pieces) {
    result_.bottom = y_;
    if (line_.hidden) return result_;
    if (mode_ == WalkMode::Layout) {
      const FontMetrics fm = s_.measurer->Metrics(font_);
      line_.Ascents().assign(1, fm.ascent);
      line_.Descents().assign(1, fm.descent);
    }
    for (const auto& piece : pieces) {
      Piece(piece);
      ++pieceIndex_;
    }
    y_ += A() + D();
    result_.bottom = y_;
    return result_;
  }

 private:
  enum class Place { Paint, Layout, HitTest, Boxes };

  // Metrics of the current visual line; a line that was never laid out
  // (or not at this width) falls back to its last entry.
  int& A() { return vi_ < line_.Ascents().size() ? line_.Ascents()[vi_] : Fallback().first; }
  int& D() { return vi_ < line_.Descents().size() ? line_.Descents()[vi_] : Fallback().second; }
  std::pair<int, int>& Fallback() {
    if (!line_.Ascents().empty()) {
      fallback_ = {line_.Ascents().back(), line_.Descents().back()};
    } else {
      const FontMetrics fm = s_.measurer->Metrics(font_);
      fallback_ = {fm.ascent, fm.descent};
    }
    return fallback_;
  }

  void NewVisualLine() {
    x_ = s_.leftIndent;
    y_ += A() + D();
    if (mode_ == WalkMode::Layout) {
      const FontMetrics fm = s_.measurer->Metrics(font_);
      line_.Ascents().push_back(fm.ascent);
      line_.Descents().push_back(fm.descent);
    }
    ++vi_;
  }

  Place ModePlace() const {
    if (mode_ == WalkMode::Paint) return Place::Paint;
    if (mode_ == WalkMode::Layout) return Place::Layout;
    if (mode_ == WalkMode::Boxes) return Place::Boxes;
    return Place::HitTest;
  }

  void Piece(const MarkupLine::Piece& p) {
    switch (p.kind) {
      case PieceKind::Text:
        if (p.link.empty() || mode_ == WalkMode::Paint || mode_ == WalkMode::Layout || mode_ == WalkMode::Boxes)
          PlaceText(p.text, ModePlace());
        else
          LinkText(p);
        break;
      case PieceKind::Picture:
        PlacePicture(p);
        break;
      case PieceKind::FontColor: colors_.font = p.value; break;
      case PieceKind::BackColor: colors_.back = p.value; break;
      case PieceKind::BoldOn: font_.bold = true; break;
      case PieceKind::BoldOff: font_.bold = false; break;
      case PieceKind::ItalicOn: font_.italic = true; break;
      case PieceKind::ItalicOff: font_.italic = false; break;
      case PieceKind::FontSize: font_.size = p.value; break;
      case PieceKind::XPos: x_ = p.value; break;
      case PieceKind::NoBreakOn: noBreak_ = true; break;
      case PieceKind::NoBreakOff: noBreak_ = false; break;
      case PieceKind::Break:
        if (!noBreak_) NewVisualLine();
        break;
      case PieceKind::PushColor: colorStack_.push_back(colors_.font); break;
      case PieceKind::PopColor:
        if (!colorStack_.empty()) {
          colors_.font = colorStack_.back();
          colorStack_.pop_back();
        }
        break;
      case PieceKind::Id: break;
    }
  }

  // Hover redraws every link of the line, underlined when it is the one
  // under the mouse; Unhover redraws them plain; Click collects hits.
  void LinkText(const MarkupLine::Piece& p) {
    if (mode_ == WalkMode::Click) {
      if (PlaceText(p.text, Place::HitTest)) result_.links.push_back(p.link);
      return;
    }
    const int sx = x_, sy = y_;
    const size_t svi = vi_;
    bool hit = false;
    if (mode_ == WalkMode::Hover) {
      hit = PlaceText(p.text, Place::HitTest);
      x_ = sx, y_ = sy, vi_ = svi;
    }
    const bool underline = font_.underline;
    font_.underline = hit;
    PlaceText(p.text, Place::Paint);
    font_.underline = underline;
    result_.bands.emplace_back(sy, y_ + A() + D());
    if (hit) {
      result_.hit = true;
      result_.cursor = CursorRequest::Hand;
    } else if (mode_ == WalkMode::Unhover) {
      result_.cursor = CursorRequest::Arrow;
    }
  }

  // Returns whether a fragment lies under the mouse (HitTest).
  bool PlaceText(std::string_view r, Place place) {
    const FontMetrics fm = s_.measurer->Metrics(font_);
    if (place == Place::Layout) {
      A() = std::max(A(), fm.ascent);
      D() = std::max(D(), fm.descent);
    }
    bool hit = false;
    size_t pos = 0;
    while (pos < r.size()) {
      const int avail = s_.layoutWidth - x_;
      size_t end;
      int width;
      if (noBreak_) {
        end = r.size();
        width = s_.measurer->Width(font_, r.substr(pos));
      } else {
        end = FragmentEnd(r, pos);
        width = s_.measurer->Width(font_, r.substr(pos, end - pos));
        while (end < r.size() && width <= avail) {
          const size_t next = FragmentEnd(r, end);
          const int w = s_.measurer->Width(font_, r.substr(end, next - end));
          if (width + w > avail) break;
          width += w;
          end = next;
        }
      }
      if (width <= avail || x_ == s_.leftIndent || noBreak_) {
        const std::string_view fragment = r.substr(pos, end - pos);
        if (place == Place::Paint && s_.canvas) {
          const int top = y_ - s_.position;
          s_.canvas->FillRect(x_, top, width, A() + D(), colors_.back);
          s_.canvas->DrawText(x_, top + A() - fm.ascent, fragment, font_, colors_.font);
        } else if (place == Place::HitTest) {
          if (mx_ >= x_ && mx_ < x_ + width && my_ >= y_ + A() - fm.ascent &&
              my_ < y_ + A() + fm.descent)
            hit = true;
        } else if (place == Place::Boxes) {
          result_.boxes.push_back({pieceIndex_, pos, end, x_, y_, width, A() + D(), font_, false});
        }
        x_ += width;
        pos = end;
        if (pos == r.size()) break;
      }
      NewVisualLine();
    }
    return hit;
  }

  static size_t FragmentEnd(std::string_view r, size_t from) {
    for (size_t i = from; i < r.size(); ++i)
      if (IsBreakingPoint(r[i])) return i + 1;
    return r.size();
  }

  void PlacePicture(const MarkupLine::Piece& p) {
    const int n = p.value;
    const int key = pictureCounter_++;
    const int w = n < 0 ? StaticImageWidth(n) : s_.pictures->Width(n);
    const int h = n < 0 ? StaticImageHeight(n) : s_.pictures->Height(n);
    if (w + 2 > s_.layoutWidth - x_ && x_ != s_.leftIndent && !noBreak_) NewVisualLine();
    const bool animated = n > 0 && s_.pictures->IsAnimated(n);
    if (mode_ == WalkMode::Layout) {
      A() = std::max(A(), h);
      if (animated) s_.pictures->PlaceOccurrence(line_, n, key, x_ + 1, y_ + A() - h, colors_.back);
    } else if (mode_ == WalkMode::Paint && s_.canvas) {
      const int top = y_ - s_.position;
      s_.canvas->FillRect(x_, top, w + 2, A() + D(), colors_.back);
      const int py = y_ + A() - h - s_.position;
      if (n < 0)
        DrawStaticImage(n, *s_.canvas, x_ + 1, py);
      else if (animated)
        s_.pictures->PaintOccurrence(line_, key, x_ + 1, py, *s_.canvas);
      else
        s_.pictures->Draw(n, *s_.canvas, x_ + 1, py);
    } else if (mode_ == WalkMode::Boxes) {
      result_.boxes.push_back({pieceIndex_, 0, 0, x_, y_, w + 2, A() + D(), font_, true});
    } else if (!p.link.empty()) {
      const bool hit = mx_ >= x_ + 1 && mx_ < x_ + w + 1 && my_ >= y_ + A() - h && my_ < y_ + A();
      if (mode_ == WalkMode::Hover && hit) {
        result_.hit = true;
        result_.cursor = CursorRequest::Hand;
      } else if (mode_ == WalkMode::Click && hit) {
        result_.links.push_back(p.link);
      } else if (mode_ == WalkMode::Unhover) {
        result_.cursor = CursorRequest::Arrow;
      }
    }
    x_ += w + 2;
  }

  MarkupLine& line_;
  WalkMode mode_;
  int x_ = 0;
  int y_;
  int mx_, my_;
  const WalkSettings& s_;
  WalkColors& colors_;
  FontSpec font_;
  bool noBreak_ = false;
  size_t vi_ = 0;
  int pictureCounter_ = 0;
  int pieceIndex_ = 0;
  std::vector<int32_t> colorStack_;
  std::pair<int, int> fallback_;
  WalkResult result_;
};

}  // namespace

WalkResult WalkLine(MarkupLine& line, const std::vector<MarkupLine::Piece>& pieces, WalkMode mode, int y,
                    int mouseX, int mouseY, const WalkSettings& settings, WalkColors& colors) {
  return Walker(line, mode, y, mouseX, mouseY, settings, colors).Run(pieces);
}

}  // namespace markup
