#pragma once
// MarkupView: the markup view behind every pane.  It owns a MarkupDocument
// (the lines, layout and scroll state), paints it into an off-screen pixmap,
// shows its own vertical scroll bar, underlines links under the mouse and
// reports link clicks.  All logic lives in the document; this class only
// shows and forwards.
#include <QElapsedTimer>
#include <QFrame>
#include <QPixmap>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "markup/markup_document.h"
#include "markup/pane_text.h"
#include "markup/ui/qt_canvas.h"
#include "markup/view_globals.h"

class QMenu;
class QPainter;
class QScrollBar;
class QToolButton;

namespace markup {

enum class ViewBorder { None, Single };

// Lets assistive technologies read every MarkupView (once per process).
void InstallMarkupViewAccessibility();

class MarkupView : public QFrame, private DocumentView {
  Q_OBJECT

 public:
  explicit MarkupView(QWidget* parent = nullptr);
  ~MarkupView() override;

  MarkupDocument& Document() { return doc_; }
  const MarkupDocument& Document() const { return doc_; }
  // The view showing `document`, if any.
  static MarkupView* ViewOf(const MarkupDocument& document);

  // Line operations (markup text, Windows color values).
  void NewString(const std::string& text, int32_t fontColor, int32_t backColor) { doc_.NewString(text, fontColor, backColor); }
  void NewStringFront(const std::string& text, int32_t fontColor, int32_t backColor) { doc_.NewStringFront(text, fontColor, backColor); }
  void AddString(const std::string& text) { doc_.AddString(text); }
  void SetColor(int32_t fontColor, int32_t backColor) { doc_.SetColor(fontColor, backColor); }
  void AddLink(const std::string& text, const std::string& target) { doc_.AddLink(text, target); }
  void ReplaceLastStr(const std::string& text) { doc_.ReplaceLastStr(text); }
  void AddOrReplaceIfExists(const std::string& prefix, const std::string& text, bool keepRest) { doc_.AddOrReplaceIfExists(prefix, text, keepRest); }
  bool StringExists(const std::string& prefix) const { return doc_.StringExists(prefix); }
  std::string GetLastStr() const { return doc_.GetLastStr(); }
  void DeleteStr(const std::string& text) { doc_.DeleteStr(text); }
  void DeleteArc(const std::string& text) { doc_.DeleteArc(text); }
  void Clear() { doc_.Clear(); }
  void BeginUpdate() { doc_.BeginUpdate(); }
  void EndUpdate(bool full) { doc_.EndUpdate(full); }
  void SetFilter(const std::string& text) { doc_.SetFilter(text); }

  // Layout, painting, scrolling.
  void Redraw() { doc_.Redraw(); }
  void PaintAll();
  void DrawRange(int from, int to);
  void InvalidateRange(int top, int bottom);

  // Properties.
  MarkupDocument::Event& OnLink;
  MarkupDocument::Event& OnCopy;
  MarkupDocument::Event& OnStrDestroy;
  int LeftIndent() const { return doc_.LeftIndent(); }
  void SetLeftIndent(int indent) { doc_.SetLeftIndent(indent); }
  int VertScrollIncrement() const { return doc_.VertScrollIncrement(); }
  void SetVertScrollIncrement(int increment);
  int VertScrollPos() const { return doc_.VertScrollPos(); }
  int VertScrollRange() const { return doc_.VertScrollRange(); }
  bool VertScrollVisible() const { return doc_.VertScrollVisible(); }
  bool StdPopup() const { return stdPopup_; }
  void SetStdPopup(bool on) { stdPopup_ = on; }
  int32_t Color() const { return doc_.Color(); }
  void SetViewColor(int32_t color) { doc_.SetViewColor(color); }
  ViewBorder BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(ViewBorder style);
  bool Ctl3D() const { return ctl3d_; }
  void SetCtl3D(bool on);
  void SetTabStop(bool on);

  QScrollBar* ScrollBar() const { return bar_; }
  QMenu* PopupMenu() const { return popup_; }
  // The off-screen picture as it is after this turn of the event loop.
  const QPixmap& Bitmap() const {
    const_cast<MarkupView*>(this)->FlushPaint();
    return bitmap_;
  }
  // Draws now what this turn of the event loop changed so far.
  void FlushPaint();

  // ---- Reading as text: selection, keyboard, find (markup_view_text.cpp) ----
  bool HasSelection() const { return anchor_ && caret_ && *anchor_ != *caret_; }
  // The selected text, Windows-1251, lines joined by "\n".
  std::string SelectedText();
  void Select(TextPoint from, TextPoint to);
  void SelectAll();
  void ClearSelection();
  // Puts the selected text on the clipboard; false with nothing selected.
  bool CopySelection();
  // Matches of `needle` are marked in the visible lines; empty clears them.
  void SetFindText(const std::string& needle);
  const std::string& FindText() const { return findText_; }
  // Moves to the next (previous) match and scrolls it into view; false when
  // there is none.
  bool FindNext(bool forward);
  const std::optional<TextMatch>& CurrentMatch() const { return currentMatch_; }
  // Scrolls so that content rows top .. bottom are visible.
  void ScrollIntoView(int top, int bottom);
  // The "new messages below" marker (shown while scrolled up and lines came).
  QToolButton* NewLinesMarker() const { return newLinesMarker_; }
  // An assistive technology asked for the view: from now on new lines are
  // announced to it.
  void SetReadByAssistant() { readByAssistant_ = true; }
  // The text of the lines last announced.
  const QString& LastAnnouncement() const { return lastAnnouncement_; }
  // Runs a link's action as a click on it would (a screen reader's press).
  void ActivateLink(const std::string& target);
  // The name a screen reader gives the pane.
  void SetPaneName(const QString& russian, const QString& english);
  QString PaneName() const;

  // Class-wide state.
  static inline std::vector<MarkupView*> alltexts;

  static void RedrawAll();
  static void SetAnimation(bool on);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;
  bool event(QEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void focusInEvent(QFocusEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;

 signals:
  void SelectionChanged();
  // Lines were appended (count) while the view existed.
  void LinesAppended(int first, int count);

 private:
  // DocumentView
  void ResetBitmap() override;
  void ScrollBitmap(int dy) override;
  void RepaintBand(int from, int to) override;
  void ScrollBarChanged() override;
  void DrawOnBitmap(const std::function<void(MarkupCanvas&)>& draw, int top,
                    int bottom) override;

  void SchedulePaint();
  void ApplyFrame();
  void PlaceScrollBar();
  void ApplyMouseUpdate(const MarkupDocument::MouseUpdate& update);
  void ShowPopup(const QPoint& globalPos, int y);
  void ScrollBarAction(int action);
  // markup_view_text.cpp
  void LineAppended() override;
  bool DefersTail() const override { return paintPending_ && frameMs_ == kFloodFrameMs; }
  std::optional<TextPoint> PointAt(const QPoint& windowPos);
  void DragTo(const QPoint& windowPos);
  bool ValidPoint(const std::optional<TextPoint>& p) const;
  void PaintTextOverlay(QPainter& painter);
  void KeyScroll(MarkupDocument::ScrollCode code);
  void LinesChanged();
  void PlaceNewLinesMarker();
  // markup_view_access.cpp: tells a screen reader about new lines.
  void AnnounceLines(size_t first, size_t count);

  QtTextMeasurer measurer_;
  MarkupDocument doc_;
  QScrollBar* bar_ = nullptr;
  QMenu* popup_ = nullptr;
  QPixmap bitmap_;
  bool stdPopup_ = false;
  ViewBorder borderStyle_ = ViewBorder::Single;
  bool ctl3d_ = true;
  bool settingBar_ = false;
  std::string popupMarkup_;
  std::string popupPlain_;
  // What the document asked to paint during this turn, done once at its
  // end: the bitmap moved by the sum of the scrolls, then one band drawn.
  // At most one such paint per frame of the screen: a flood of lines in
  // many short turns costs one paint per frame, not one per turn.
  static constexpr int kFrameMs = 15;
  // While more than a screenful arrives per frame (a flood nobody can read
  // line by line), every frame draws the whole pane: fewer such frames.
  static constexpr int kFloodFrameMs = 40;
  int frameMs_ = kFrameMs;
  int flushedTop_ = 0;  // scroll position of the last frame
  QElapsedTimer lastFlush_;
  bool paintPending_ = false;
  int pendingScroll_ = 0;
  int pendingFrom_ = 0, pendingTo_ = 0;  // content rows; empty when equal
  // Reading as text.
  std::optional<TextPoint> anchor_;
  std::optional<TextPoint> caret_;
  bool dragging_ = false;
  QPoint pressPos_;
  std::string findText_;
  std::optional<TextMatch> currentMatch_;
  QToolButton* newLinesMarker_ = nullptr;
  size_t seenLines_ = 0;  // lines the reader has been shown at the bottom
  size_t knownLines_ = 0;
  bool linesCheckPending_ = false;
  bool readByAssistant_ = false;
  QString lastAnnouncement_;
  QString nameRussian_;
  QString nameEnglish_;
};

}  // namespace markup
