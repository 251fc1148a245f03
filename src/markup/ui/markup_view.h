#pragma once
// MarkupView: the markup view behind every pane.  It owns a MarkupDocument
// (the lines, layout and scroll state), paints it into an off-screen pixmap,
// shows its own vertical scroll bar, underlines links under the mouse and
// reports link clicks.  All logic lives in the document; this class only
// shows and forwards.
#include <QFrame>
#include <QPixmap>
#include <memory>
#include <string>
#include <vector>

#include "markup/markup_document.h"
#include "markup/ui/qt_canvas.h"
#include "markup/view_globals.h"

class QMenu;
class QScrollBar;

namespace markup {

enum class ViewBorder { None, Single };

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
  const QPixmap& Bitmap() const { return bitmap_; }

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

 private:
  // DocumentView
  void ResetBitmap() override;
  void ScrollBitmap(int dy) override;
  void RepaintBand(int from, int to) override;
  void ScrollBarChanged() override;
  void DrawOnBitmap(const std::function<void(MarkupCanvas&)>& draw, int top,
                    int bottom) override;

  void ApplyFrame();
  void PlaceScrollBar();
  void ApplyMouseUpdate(const MarkupDocument::MouseUpdate& update);
  void ShowPopup(const QPoint& globalPos, int y);
  void ScrollBarAction(int action);

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
};

}  // namespace markup
