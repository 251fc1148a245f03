#pragma once
// TZevoHTML: the markup view behind every pane.  It owns a MarkupDocument
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
#include "markup/qt_canvas.h"
#include "markup/view_globals.h"

class QMenu;
class QScrollBar;

enum TNHBorderStyle { bsNone, bsSingle };

class TZevoHTML : public QFrame, private markup::DocumentView {
  Q_OBJECT

 public:
  explicit TZevoHTML(QWidget* parent = nullptr);
  ~TZevoHTML() override;

  markup::MarkupDocument& Document() { return doc_; }
  const markup::MarkupDocument& Document() const { return doc_; }
  // The view showing `document`, if any.
  static TZevoHTML* ViewOf(const markup::MarkupDocument& document);

  // Line operations (markup text, Windows colour values).
  void NewString(const std::string& text, int32_t fontColour, int32_t backColour) { doc_.NewString(text, fontColour, backColour); }
  void NewStringFront(const std::string& text, int32_t fontColour, int32_t backColour) { doc_.NewStringFront(text, fontColour, backColour); }
  void AddString(const std::string& text) { doc_.AddString(text); }
  void SetColor(int32_t fontColour, int32_t backColour) { doc_.SetColor(fontColour, backColour); }
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
  void RefreshLastStr() { doc_.RefreshLastStr(); }
  void RecalculateText(const markup::HTMLStr* from = nullptr) { doc_.RecalculateText(from); }
  void ReSetCoordinates(const markup::HTMLStr* line) { doc_.ReSetCoordinates(line); }
  void RecalculateTextW(int width) { doc_.RecalculateTextW(width); }
  void Redraw() { doc_.Redraw(); }
  void PaintAll();
  void DrawRange(int from, int to);
  void InvalidateRange(int top, int bottom);
  void SetVertScrollPosRange(int position, int range) { doc_.SetVertScrollPosRange(position, range); }
  void SetVertScrollPos(int position) { doc_.SetVertScrollPos(position); }
  void SetVertScrollRange(int range) { doc_.SetVertScrollRange(range); }
  bool MouseWheel(int delta) { return doc_.MouseWheel(delta); }
  void DoLink(const std::string& target) { doc_.DoLink(target); }
  void UpdateAnimations() { doc_.UpdateAnimations(); }

  // Properties.
  markup::MarkupDocument::Event& OnLink;
  markup::MarkupDocument::Event& OnCopy;
  markup::MarkupDocument::Event& OnStrDestroy;
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
  void SetViewColor(int32_t colour) { doc_.SetViewColor(colour); }
  TNHBorderStyle BorderStyle() const { return borderStyle_; }
  void SetBorderStyle(TNHBorderStyle style);
  bool Ctl3D() const { return ctl3d_; }
  void SetCtl3D(bool on);
  void SetTabStop(bool on);

  QScrollBar* ScrollBar() const { return bar_; }
  QMenu* PopupMenu() const { return popup_; }
  const QPixmap& Bitmap() const { return bitmap_; }

  // Class-wide state.
  static inline std::vector<TZevoHTML*> alltexts;
  static inline bool& animation = markup::ViewGlobals::animation;
  static inline bool& russian = markup::ViewGlobals::russian;
  static inline auto& OnStaticImage = markup::ViewGlobals::OnStaticImage;
  static inline auto& OnLifeTime = markup::ViewGlobals::OnLifeTime;
  static inline QObject*& Controller = markup::ViewGlobals::Controller;
  static inline int64_t& Traffic_In = markup::ViewGlobals::Traffic_In;
  static inline int64_t& Traffic_Out = markup::ViewGlobals::Traffic_Out;

  static void RedrawAll();
  static void RefreshPictures();
  static void LoadCacheIndex(const std::string& indexFile, const std::string& folder);
  static void ClearCache();
  static void SetAnimation(bool on);
  static std::string DelTags(const std::string& markup);
  static bool BeginsWith(const std::string& markup, const std::string& prefix);

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void changeEvent(QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  // markup::DocumentView
  void ResetBitmap() override;
  void ScrollBitmap(int dy) override;
  void RepaintBand(int from, int to) override;
  void ScrollBarChanged() override;
  void DrawOnBitmap(const std::function<void(markup::MarkupCanvas&)>& draw, int top,
                    int bottom) override;

  void ApplyFrame();
  void PlaceScrollBar();
  void ApplyMouseUpdate(const markup::MarkupDocument::MouseUpdate& update);
  void ShowPopup(const QPoint& globalPos, int y);
  void ScrollBarAction(int action);

  markup::QtTextMeasurer measurer_;
  markup::MarkupDocument doc_;
  QScrollBar* bar_ = nullptr;
  QMenu* popup_ = nullptr;
  QPixmap bitmap_;
  bool stdPopup_ = false;
  TNHBorderStyle borderStyle_ = bsSingle;
  bool ctl3d_ = true;
  bool settingBar_ = false;
  std::string popupMarkup_;
  std::string popupPlain_;
};
