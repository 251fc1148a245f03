#pragma once
// The lines of one markup pane and everything done with them that needs no
// widget: adding, replacing, finding and deleting lines, filtering, layout,
// scrolling state, painting onto a canvas and hit-testing.  Chat logic drives
// panes through this class; the MarkupView widget owns one and only shows it.
//
// Coordinates: content y counts from the top of the whole content; window y
// counts from the top of the client area (content y - VertScrollPos()).
// Colors are Windows color values 0x00BBGGRR.
#include <algorithm>
#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "markup/markup_line.h"
#include "markup/line_walk.h"

namespace markup {

class MarkupCanvas;
class PictureRegistry;
class TextMeasurer;

// What the document asks of the widget showing it.  Content coordinates.
class DocumentView {
 public:
  virtual ~DocumentView() = default;
  // The client size changed or everything is redrawn: resize the off-screen
  // bitmap to ClientWidth() x ClientHeight() and fill it with Color().
  virtual void ResetBitmap() = 0;
  // Move the bitmap's pixels dy rows down (up when negative) and copy it to
  // the screen; the rows uncovered are repainted by RepaintBand after.
  virtual void ScrollBitmap(int dy) = 0;
  // DrawRange over rows from .. to, then copy that band to the screen.
  virtual void RepaintBand(int from, int to) = 0;
  // Scroll-bar visibility, range or position changed.
  virtual void ScrollBarChanged() = 0;
  // Runs `draw` on the off-screen bitmap (window coordinates) and copies
  // window rows top .. bottom to the screen; animation frames use it.
  virtual void DrawOnBitmap(const std::function<void(MarkupCanvas&)>& /*draw*/, int /*top*/,
                            int /*bottom*/) {}
  // A line was added at the end (its text may still grow this turn).
  virtual void LineAppended() {}
  // True while a frame is coming that will scroll by at least the client
  // height: lines appended until then wait for it to be laid out (Settle).
  virtual bool DefersTail() const { return false; }
};

class MarkupDocument {
 public:
  using Event = std::function<void(MarkupDocument& sender, const std::string& text)>;
  using Lines = std::vector<std::unique_ptr<MarkupLine>>;

  // `pictures` defaults to the process-wide registry.
  explicit MarkupDocument(TextMeasurer& measurer, PictureRegistry* pictures = nullptr);
  ~MarkupDocument();
  MarkupDocument(const MarkupDocument&) = delete;
  MarkupDocument& operator=(const MarkupDocument&) = delete;

  // ---- Adding and changing lines (text arguments are markup) ----
  // A new last line starting "<fcol=..><bcol=..>" followed by text.
  void NewString(const std::string& text, uint32_t fontColor, uint32_t backColor);
  // A new first line; no layout: call between BeginUpdate and EndUpdate(true).
  void NewStringFront(const std::string& text, uint32_t fontColor, uint32_t backColor);
  // Appends to the last line (with no lines: NewString white on black).
  void AddString(const std::string& text);
  // Appends "<fcol=BBGGRR><bcol=BBGGRR>" to the last line.
  void SetColor(uint32_t fontColor, uint32_t backColor);
  // Appends a link showing text that reports target when clicked.
  void AddLink(const std::string& text, const std::string& target);
  // Replaces the last line's markup.
  void ReplaceLastStr(const std::string& text);
  // Replaces the newest line beginning with prefix by text (plus, with
  // keepRest, the old markup after the prefix).  Without a match and without
  // keepRest a new black-on-white line is made.
  void AddOrReplaceIfExists(const std::string& prefix, const std::string& text, bool keepRest);
  bool StringExists(const std::string& prefix) const;
  std::string GetLastStr() const;
  // Removes the oldest line containing text.
  void DeleteStr(const std::string& text);
  // Cuts the oldest line containing text just before it.
  void DeleteArc(const std::string& text);
  void Clear();
  void BeginUpdate();
  // The outermost call lays out everything (full) or the last line.
  void EndUpdate(bool full);
  // Shows only lines whose markup contains text; empty shows every line.
  void SetFilter(const std::string& text);
  const std::string& Filter() const { return filter_; }
  bool FilterActive() const { return !filter_.empty(); }

  // ---- Layout ----
  // Lines are laid out when they show (or are read by PlaceOf): a line
  // outside the client area keeps the height of its last layout, or an
  // estimate from its text length, until it scrolls into view.  Rows above
  // the client area never move the picture: scrolling up by a distance lays
  // out that distance first, and the bottom stays the bottom.
  void RefreshLastStr();
  // Lines appended at the bottom while the view's next frame is coming and
  // will scroll by a whole client height (a flood) get an estimated height
  // only, and the scroll state stays the last frame's: most of them scroll
  // by unseen.  Settle lays out what shows and brings the scroll state up
  // to date; the view calls it before it draws and before any input.
  void Settle();
  bool Settled() const { return !tailPending_; }
  // The lines from `from` (every line when null) are laid out again.
  void RecalculateText(const MarkupLine* from = nullptr);
  void ReSetCoordinates(const MarkupLine* line) { RecalculateText(line); }
  // Lays out every line at `width` without touching the scroll state.
  void RecalculateTextW(int width);
  // Lays out every line now, so ContentHeight() and every top are exact.
  void LayOutAll();
  // Lines laid out since the document was made (for tests and benchmarks).
  uint64_t LinesLaidOut() const { return linesLaidOut_; }
  void Redraw();
  // The size message: the widget's client area is width x height including
  // the scroll bar's column.  Until the first call nothing is drawn.
  void SetViewSize(int width, int height);
  // The view's font size in points (the base of every line).
  void SetFontSize(int points);
  int FontSize() const { return fontSize_; }

  // ---- Scrolling ----
  void SetVertScrollPosRange(int position, int range);
  void SetVertScrollPos(int position) { SetVertScrollPosRange(position, range_); }
  void SetVertScrollRange(int range) { SetVertScrollPosRange(position_, range); }
  enum class ScrollCode { LineUp, LineDown, PageUp, PageDown, Thumb, Top, Bottom };
  void Scroll(ScrollCode code, int thumbPosition = 0);
  // Wheel delta in units of 120 per notch; ignored while the bar is hidden.
  bool MouseWheel(int delta);

  // ---- Painting and the mouse (window coordinates) ----
  // Fills content rows from .. to with Color() and paints the lines there.
  void DrawRange(MarkupCanvas& canvas, int from, int to);
  // Brings the view's bitmap up to date with the visible band.  Only rows
  // whose lines changed since the last call, and rows uncovered by
  // scrolling, are painted again; the rest of the bitmap is moved.
  void PaintAll();
  // The next PaintAll paints the whole visible band.
  void InvalidateBitmap() { paintedPosition_ = -1; }
  struct MouseUpdate {
    std::vector<std::pair<int, int>> bands;  // content rows redrawn on the canvas
    CursorRequest cursor = CursorRequest::Unchanged;
  };
  // Hover underlining is drawn on `canvas` (the off-screen bitmap) when given.
  MouseUpdate MouseMove(int x, int y, MarkupCanvas* canvas);
  MouseUpdate MouseLeave(MarkupCanvas* canvas);
  // Targets of the links under the point; the caller reports them (DoLink)
  // once the walk is over.
  std::vector<std::string> Click(int x, int y);
  // Markup and DelTags text of the line a right click at window row y
  // targets (below the last line: the last shown line); false when no
  // line is shown.
  bool PopupTarget(int y, std::string* markup, std::string* plain) const;
  void DoLink(const std::string& target);
  void UpdateAnimations();
  // Draws over content rows from .. to of the view's bitmap and shows them.
  // Nothing happens (false) while the bitmap lags behind the visible band:
  // the next PaintAll paints those rows anyway.
  bool DrawOverBitmap(const std::function<void(MarkupCanvas&)>& draw, int from, int to);

  // ---- Properties ----
  Event OnLink;
  Event OnCopy;
  Event OnStrDestroy;
  int LeftIndent() const { return leftIndent_; }
  void SetLeftIndent(int indent);
  int VertScrollIncrement() const { return increment_; }
  void SetVertScrollIncrement(int increment) { increment_ = increment < 1 ? 0 : increment; }
  int VertScrollPos() const { return position_; }
  int VertScrollRange() const { return range_; }
  bool VertScrollVisible() const { return scrollVisible_; }
  bool AtBottom() const { return atBottom_; }
  int32_t Color() const { return color_; }
  void SetViewColor(int32_t color);

  // ---- State ----
  const Lines& lines() const { return lines_; }
  size_t LineCount() const { return lines_.size(); }
  int ContentHeight() const { return contentHeight_; }
  int LayoutWidth() const { return layoutWidth_; }
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  bool Updating() const { return updateCount_ > 0; }
  const MarkupLine* HoveredLine() const { return hovered_; }
  // Index of the last line whose top <= contentY, or -1.
  long LineIndexAt(int contentY) const;
  void AttachView(DocumentView* view) { view_ = view; }

  // ---- Reading the text back (selection, search, screen readers) ----
  // The pieces of line `index` and where the last layout placed each of
  // their fragments (content coordinates).  Nothing is drawn or changed.
  struct Placement {
    std::vector<MarkupLine::Piece> pieces;
    std::vector<PlacedBox> boxes;
  };
  Placement PlaceOf(size_t index);
  // The pieces of line `index`, without placing them.
  std::vector<MarkupLine::Piece> PiecesAt(size_t index);
  TextMeasurer& Measurer() const { return measurer_; }

  // ---- Used by MarkupLine ----
  PictureRegistry& PictureSource() const;
  void LineDestroyed(MarkupLine& line);
  // A line's identifier prefix (IdPrefix) changed from `before` to `after`.
  void IdPrefixChanged(std::string_view before, std::string_view after);
  // The markup up to and including the ">" that closes its first "<id=",
  // or empty.  Lines are counted by it, so a search for such a prefix
  // ("<fcol=000000><bcol=FFFFFF><id=" + identifier + ">") that matches no
  // line costs no scan of the pane.
  static std::string_view IdPrefix(std::string_view markup);
  // Pieces just parsed for `line`, kept for the layout that follows.
  void RememberPieces(const MarkupLine& line, std::vector<MarkupLine::Piece> pieces);

 private:
  const std::vector<MarkupLine::Piece>& PiecesOf(MarkupLine& line);
  WalkResult Walk(MarkupLine& line, WalkMode mode, int mouseX, int mouseY, MarkupCanvas* canvas);
  // Tops from line `index` on follow the heights before them; the lines
  // there are laid out as they show.
  void RecalculateFrom(size_t index);

  // Lazy layout.  Tops are always the sums of the rows above them.  A layout
  // that changes a height moves every line below; each such call lays out at
  // least one line per kMovesPerLayout lines it moves, so paging through a
  // fresh pane of a million lines costs its layout, not a move per page.
  static constexpr size_t kMovesPerLayout = 256;
  bool Stale(const MarkupLine& line) const { return !line.hidden && line.layoutStamp != layoutStamp_; }
  static int Rows(const MarkupLine& line) { return line.hidden ? 0 : std::max(line.height, 0); }
  int EstimateHeight(const MarkupLine& line);
  void LayOutLine(MarkupLine& line);
  void ReleaseLayoutBehind();
  // Everything is to be laid out again (width, font or indent changed).
  void InvalidateLayout() { ++layoutStamp_; }
  static void MoveLine(MarkupLine& line, int delta);
  void PlaceFrom(size_t index);
  bool LayOutRows(int from, int to);
  bool LayOutBand(int& position, bool bottom);
  void LayOutAbove(int y, int distance);
  void LayOutOne(size_t index);
  void LayOutLazily(int width);
  void ScrollUp(int distance);
  void AnticipateScrollBar(bool lastLineOnly);
  void SetVertScroll();
  void MarkDirty(int fromY) { dirtyFrom_ = std::min(dirtyFrom_, fromY); }
  void ResetBitmap();
  size_t IndexOf(const MarkupLine* line) const;
  MarkupLine& AppendLine();
  void AppendQuietly(const std::string& text);
  static std::string ColorTags(uint32_t fontColor, uint32_t backColor);

  TextMeasurer& measurer_;
  PictureRegistry* pictures_;
  DocumentView* view_ = nullptr;
  Lines lines_;
  WalkColors colors_;

  int leftIndent_ = 2;
  int increment_ = 10;
  int32_t color_ = 0xFFFFFF;
  int fontSize_ = 10;

  bool attached_ = false;  // has had a size
  int viewWidth_ = 150;
  int clientWidth_ = 150;
  int clientHeight_ = 100;
  int layoutWidth_ = 1;
  int contentHeight_ = 0;
  int position_ = 0;
  int range_ = 0;
  bool scrollVisible_ = false;
  bool atBottom_ = true;
  int updateCount_ = 0;
  int redrawDepth_ = 0;
  std::string filter_;
  MarkupLine* hovered_ = nullptr;
  int paintedPosition_ = -1;  // scroll position the bitmap shows; -1: nothing valid
  int dirtyFrom_ = INT_MAX;   // content rows from here down changed since painted

  // Lines per identifier prefix.
  std::unordered_map<std::string, uint32_t> idPrefixes_;
  // False when `prefix` is an identifier prefix that no line has.
  bool MayBeginWith(const std::string& prefix) const;

  uint32_t layoutStamp_ = 1;
  uint32_t estimateStamp_ = 0;
  int estimateRow_ = 1;        // rows of one visual line in the base font
  int estimateCharWidth_ = 16; // average character width, 1/16 pixel
  uint64_t linesLaidOut_ = 0;
  bool tailPending_ = false;  // appended lines wait for Settle

  const MarkupLine* cachedLine_ = nullptr;
  std::string cachedSource_;
  std::vector<MarkupLine::Piece> cachedPieces_;
};

}  // namespace markup
