#include "markup/ui/markup_view.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QFontDatabase>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QStyle>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "markup/markup_parser.h"
#include "markup/picture_registry.h"
#include "text/cp1251.h"

namespace markup {

namespace {

// The service places columns at fixed x positions made for narrow faces
// with Arial's metrics; Liberation Sans has them, the usual sans-serif of
// the system (DejaVu Sans) is wider.
const char kBaseFamily[] = "Liberation Sans";

bool BaseFamilyInstalled() {
  static const bool installed = QFontDatabase::hasFamily(kBaseFamily);
  return installed;
}

int32_t ToWindowsColor(const QColor& c) {
  return static_cast<int32_t>(c.red() | (c.green() << 8) | (c.blue() << 16));
}

}  // namespace

namespace {

// A busy pane changes its range with every line while the thumb stays
// where it is (at the bottom, at its smallest length).  The bar looks the
// same, so it is painted again only when the thumb or the ends changed,
// judged once per turn of the event loop, after all of the turn's changes,
// or with the view's next frame when one is coming (a pane that keeps
// only its last lines moves its thumb by a pixel back and forth).
class SteadyScrollBar : public QScrollBar {
 public:
  SteadyScrollBar(QWidget* parent, const bool& framePending)
      : QScrollBar(Qt::Vertical, parent), framePending_(framePending) {}

  void CheckLook() {
    if (!checkPending_) return;
    checkPending_ = false;
    if (Look() != painted_) update();
  }

 protected:
  void sliderChange(SliderChange change) override {
    if (change == SliderOrientationChange) return QScrollBar::sliderChange(change);
    if (checkPending_) return;
    checkPending_ = true;
    if (framePending_) return;
    QMetaObject::invokeMethod(
        this,
        [this] {
          if (!framePending_) CheckLook();
        },
        Qt::QueuedConnection);
  }
  void paintEvent(QPaintEvent* event) override {
    painted_ = Look();
    QScrollBar::paintEvent(event);
  }

 private:
  struct Looks {
    QRect thumb;
    bool atMinimum = false, atMaximum = false;
    bool operator==(const Looks&) const = default;
  };
  Looks Look() const {
    QStyleOptionSlider option;
    initStyleOption(&option);
    return {style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSlider, this),
            value() == minimum(), value() == maximum()};
  }

  const bool& framePending_;
  Looks painted_;
  bool checkPending_ = false;
};

}  // namespace

MarkupView::MarkupView(QWidget* parent)
    : QFrame(parent),
      OnLink(doc_.OnLink),
      OnCopy(doc_.OnCopy),
      OnStrDestroy(doc_.OnStrDestroy),
      measurer_(font()),
      doc_(measurer_) {
  static const bool scrollBarWidthRead = [this] {
    ViewGlobals::scrollBarWidth = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    return true;
  }();
  (void)scrollBarWidthRead;
  InstallMarkupViewAccessibility();

  setMouseTracking(true);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Read like any text view: Tab and a click give it the keyboard.
  setFocusPolicy(Qt::StrongFocus);
  ApplyFrame();
  if (BaseFamilyInstalled()) {
    QFont base = font();
    base.setFamily(kBaseFamily);
    setFont(base);
    measurer_.SetBaseFont(font());
  }
  doc_.SetFontSize(font().pointSize() > 0 ? font().pointSize() : 10);
  doc_.SetViewColor(ToWindowsColor(palette().color(QPalette::Base)));

  bar_ = new SteadyScrollBar(this, paintPending_);
  bar_->hide();
  connect(bar_, &QScrollBar::actionTriggered, this, &MarkupView::ScrollBarAction);
  connect(bar_, &QScrollBar::valueChanged, this, [this](int value) {
    if (!settingBar_ && value != doc_.VertScrollPos())
      doc_.Scroll(MarkupDocument::ScrollCode::Thumb, value);
  });

  doc_.AttachView(this);
  resize(150, 100);
  alltexts.push_back(this);
}

MarkupView::~MarkupView() {
  doc_.AttachView(nullptr);
  doc_.BeginUpdate();
  doc_.Clear();  // each line tells OnStrDestroy
  alltexts.erase(std::remove(alltexts.begin(), alltexts.end(), this), alltexts.end());
  if (alltexts.empty()) ProcessPictureRegistry().StopDownloads();
}

MarkupView* MarkupView::ViewOf(const MarkupDocument& document) {
  for (MarkupView* view : alltexts)
    if (&view->doc_ == &document) return view;
  return nullptr;
}

// ---- Frame and scroll bar ----

void MarkupView::ApplyFrame() {
  if (borderStyle_ == ViewBorder::None)
    setFrameStyle(QFrame::NoFrame);
  else if (ctl3d_)
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
  else
    setFrameStyle(QFrame::Box | QFrame::Plain);
  setLineWidth(1);
  // The border changes the client area without a resize event.
  if (bar_ && testAttribute(Qt::WA_WState_Created)) {
    PlaceScrollBar();
    doc_.SetViewSize(contentsRect().width(), contentsRect().height());
  }
}

void MarkupView::SetBorderStyle(ViewBorder style) {
  borderStyle_ = style;
  ApplyFrame();
}

void MarkupView::SetCtl3D(bool on) {
  ctl3d_ = on;
  ApplyFrame();
}

void MarkupView::SetTabStop(bool on) { setFocusPolicy(on ? Qt::StrongFocus : Qt::ClickFocus); }

void MarkupView::SetVertScrollIncrement(int increment) {
  doc_.SetVertScrollIncrement(increment);
  bar_->setSingleStep(std::max(doc_.VertScrollIncrement(), 1));
}

void MarkupView::PlaceScrollBar() {
  const QRect cr = contentsRect();
  const int w = ViewGlobals::scrollBarWidth;
  bar_->setGeometry(cr.right() - w + 1, cr.top(), w, cr.height());
}

void MarkupView::ScrollBarChanged() {
  settingBar_ = true;
  const int page = doc_.ClientHeight();
  bar_->setRange(0, std::max(doc_.VertScrollRange() - page, 0));
  bar_->setPageStep(std::max(page, 1));
  bar_->setSingleStep(std::max(doc_.VertScrollIncrement(), 1));
  bar_->setValue(doc_.VertScrollPos());
  PlaceScrollBar();
  bar_->setVisible(doc_.VertScrollVisible());
  settingBar_ = false;
  LinesChanged();
}

// Arrow and page steps follow the view's own rule (increment, client height
// minus increment); dragging is handled by valueChanged.
void MarkupView::ScrollBarAction(int action) {
  using Code = MarkupDocument::ScrollCode;
  Code code;
  switch (action) {
    case QAbstractSlider::SliderSingleStepSub: code = Code::LineUp; break;
    case QAbstractSlider::SliderSingleStepAdd: code = Code::LineDown; break;
    case QAbstractSlider::SliderPageStepSub: code = Code::PageUp; break;
    case QAbstractSlider::SliderPageStepAdd: code = Code::PageDown; break;
    case QAbstractSlider::SliderToMinimum: code = Code::Top; break;
    case QAbstractSlider::SliderToMaximum: code = Code::Bottom; break;
    default: return;
  }
  doc_.Scroll(code);
  settingBar_ = true;
  bar_->setSliderPosition(doc_.VertScrollPos());
  settingBar_ = false;
}

// ---- Painting ----

// The bitmap has the screen's pixels: on a screen at 200 % it is twice as
// fine, while everything drawn on it keeps the layout's logical pixels.
void MarkupView::ResetBitmap() {
  // Nothing of the old picture is moved any more; the document asks for
  // the band it needs after a reset.
  pendingScroll_ = 0;
  const qreal ratio = devicePixelRatioF();
  const QSize size(std::max(doc_.ClientWidth(), 1), std::max(doc_.ClientHeight(), 1));
  if (bitmap_.deviceIndependentSize().toSize() != size || bitmap_.devicePixelRatio() != ratio) {
    bitmap_ = QPixmap(size * ratio);
    bitmap_.setDevicePixelRatio(ratio);
  }
  bitmap_.fill(ToQColor(doc_.Color()));
}

void MarkupView::DrawRange(int from, int to) {
  if (bitmap_.isNull()) return;
  QPainter painter(&bitmap_);
  QtCanvas canvas(painter, measurer_);
  doc_.DrawRange(canvas, from, to);
}

void MarkupView::DrawOnBitmap(const std::function<void(MarkupCanvas&)>& draw, int top,
                             int bottom) {
  if (bitmap_.isNull()) return;
  // While a frame is pending the bitmap lags behind the document: the band
  // joins that frame (drawn from the document as it is then) rather than
  // forcing the frame early, which every tick of an animated picture would.
  if (paintPending_) {
    RepaintBand(top + doc_.VertScrollPos(), bottom + doc_.VertScrollPos());
    return;
  }
  QPainter painter(&bitmap_);
  painter.setClipRect(QRect(0, top, doc_.ClientWidth(), bottom - top));
  QtCanvas canvas(painter, measurer_);
  draw(canvas);
  InvalidateRange(top, bottom);
}

void MarkupView::InvalidateRange(int top, int bottom) {
  const QRect cr = contentsRect();
  update(QRect(cr.left(), cr.top() + top, doc_.ClientWidth(), bottom - top));
}

void MarkupView::PaintAll() {
  doc_.InvalidateBitmap();
  doc_.PaintAll();
}

// The document paints after every change.  Within one turn of the event
// loop those requests are only collected (a chat burst appends many lines
// in one turn), and FlushPaint does them at the end of the turn, or at the
// next frame of the screen when the last paint was less than a frame ago:
// one move of the bitmap by the whole height scrolled, then one band drawn.  The
// picture is the same as when every request is done at once: the rows the
// collected band does not cover are the ones every step only moved.
void MarkupView::ScrollBitmap(int dy) {
  if (bitmap_.isNull()) return;
  pendingScroll_ += dy;
  SchedulePaint();
}

void MarkupView::RepaintBand(int from, int to) {
  if (from >= to) return;
  if (pendingFrom_ >= pendingTo_) {
    pendingFrom_ = from;
    pendingTo_ = to;
  } else {
    pendingFrom_ = std::min(pendingFrom_, from);
    pendingTo_ = std::max(pendingTo_, to);
  }
  SchedulePaint();
}

void MarkupView::SchedulePaint() {
  if (paintPending_) return;
  paintPending_ = true;
  const qint64 since = lastFlush_.isValid() ? lastFlush_.elapsed() : frameMs_;
  if (since >= frameMs_)
    QMetaObject::invokeMethod(this, &MarkupView::FlushPaint, Qt::QueuedConnection);
  else
    QTimer::singleShot(int(frameMs_ - since), this, &MarkupView::FlushPaint);
}

void MarkupView::FlushPaint() {
  if (!paintPending_) return;
  // Lines that waited for this frame are laid out where they show; what
  // that moves joins the frame (the frame is still pending meanwhile).
  doc_.Settle();
  paintPending_ = false;
  static_cast<SteadyScrollBar*>(bar_)->CheckLook();
  lastFlush_.start();
  const int scroll = pendingScroll_;
  int from = pendingFrom_, to = pendingTo_;
  pendingScroll_ = 0;
  pendingFrom_ = pendingTo_ = 0;
  if (bitmap_.isNull()) return;
  const int top = doc_.VertScrollPos(), height = doc_.ClientHeight();
  // A frame that moves the picture by a whole pane or more (a flood, or
  // a jump) is followed by a slower one: lines that scroll by faster than
  // that are not read, and are laid out only where they show.
  frameMs_ = std::abs(top - flushedTop_) >= height && height > 0 ? kFloodFrameMs : kFrameMs;
  flushedTop_ = top;
  if (scroll != 0) {
    // scroll() moves device pixels; a fractional ratio cannot move whole
    // rows, so such a bitmap is drawn again whole instead.
    const qreal moved = scroll * bitmap_.devicePixelRatio();
    if (std::abs(scroll) >= height || moved != std::round(moved)) {
      from = top;
      to = top + height;
    } else {
      bitmap_.scroll(0, static_cast<int>(moved), bitmap_.rect());
    }
  }
  from = std::max(from, top);
  to = std::min(to, top + height);
  if (from < to) DrawRange(from, to);
  if (scroll != 0)
    InvalidateRange(0, height);
  else if (from < to)
    InvalidateRange(from - top, to - top);
}

void MarkupView::paintEvent(QPaintEvent* event) {
  // Moved to a screen of another pixel ratio: draw the bitmap anew for it,
  // now.  Otherwise a paint asked for by the last frame that finds the next
  // one pending (lines came meanwhile) lets it wait for its time, or every
  // frame would bring the next at once and the pacing would be lost.
  if (!bitmap_.isNull() && bitmap_.devicePixelRatio() != devicePixelRatioF()) {
    PaintAll();
    FlushPaint();
  } else if (!lastFlush_.isValid() || lastFlush_.elapsed() >= frameMs_) {
    FlushPaint();
  }
  QFrame::paintEvent(event);
  QPainter painter(this);
  const QRect cr = contentsRect();
  const QRect client(cr.topLeft(), QSize(doc_.ClientWidth(), doc_.ClientHeight()));
  painter.setClipRect(client);
  // The bitmap covers the client area unless it is still to be made for a
  // new size; filling under it would cost a second pass over every pixel.
  if (bitmap_.deviceIndependentSize().toSize() != client.size()) painter.fillRect(cr, ToQColor(doc_.Color()));
  painter.drawPixmap(cr.topLeft(), bitmap_);
  PaintTextOverlay(painter);
}

void MarkupView::resizeEvent(QResizeEvent* event) {
  QFrame::resizeEvent(event);
  const QRect cr = contentsRect();
  PlaceScrollBar();
  doc_.SetViewSize(cr.width(), cr.height());
}

void MarkupView::changeEvent(QEvent* event) {
  QFrame::changeEvent(event);
  if (event->type() == QEvent::FontChange) {
    measurer_.SetBaseFont(font());
    doc_.SetFontSize(font().pointSize() > 0 ? font().pointSize() : 10);
  }
}

// ---- Mouse ----

void MarkupView::wheelEvent(QWheelEvent* event) {
  if (doc_.MouseWheel(event->angleDelta().y()))
    event->accept();
  else
    event->ignore();
}

void MarkupView::ApplyMouseUpdate(const MarkupDocument::MouseUpdate& update) {
  for (const auto& [from, to] : update.bands)
    InvalidateRange(from - doc_.VertScrollPos(), to - doc_.VertScrollPos());
  if (update.cursor == CursorRequest::Hand)
    setCursor(Qt::PointingHandCursor);
  else if (update.cursor == CursorRequest::Arrow)
    setCursor(Qt::ArrowCursor);
}

void MarkupView::mouseMoveEvent(QMouseEvent* event) {
  if (dragging_ && (event->buttons() & Qt::LeftButton)) DragTo(event->position().toPoint());
  const QPoint p = event->position().toPoint() - contentsRect().topLeft();
  FlushPaint();
  if (bitmap_.isNull()) return;
  QPainter painter(&bitmap_);
  QtCanvas canvas(painter, measurer_);
  ApplyMouseUpdate(doc_.MouseMove(p.x(), p.y(), &canvas));
}

void MarkupView::leaveEvent(QEvent* event) {
  QFrame::leaveEvent(event);
  FlushPaint();
  if (bitmap_.isNull()) return;
  QPainter painter(&bitmap_);
  QtCanvas canvas(painter, measurer_);
  ApplyMouseUpdate(doc_.MouseLeave(&canvas));
}

void MarkupView::mousePressEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint() - contentsRect().topLeft();
  if (event->button() == Qt::LeftButton) {
    if (doc_.LineCount() == 0) return;
    setFocus(Qt::MouseFocusReason);
    // A press starts a selection; a drag extends it.
    pressPos_ = event->position().toPoint();
    dragging_ = true;
    if (event->modifiers() & Qt::ShiftModifier && anchor_) {
      caret_ = PointAt(pressPos_);
    } else {
      anchor_ = caret_ = PointAt(pressPos_);
    }
    update();
    // Reported after the walk, and only while the view still exists: a
    // handler may open a dialog or change this very pane.
    for (const std::string& link : doc_.Click(p.x(), p.y()))
      QMetaObject::invokeMethod(this, [this, link] { doc_.DoLink(link); }, Qt::QueuedConnection);
  } else if (event->button() == Qt::RightButton && stdPopup_) {
    ShowPopup(event->globalPosition().toPoint(), p.y());
  }
}

void MarkupView::ShowPopup(const QPoint& globalPos, int y) {
  if (!doc_.PopupTarget(y, &popupMarkup_, &popupPlain_)) return;
  if (!popup_) popup_ = new QMenu(this);
  popup_->clear();
  const bool ru = ViewGlobals::russian;
  auto caption = [ru](const char* russianText, const char* englishText) {
    return ToQString(ru ? text::W(russianText) : std::string(englishText));
  };
  connect(popup_->addAction(caption("Копировать текст в буфер обмена", "Copy text to clipboard")),
          &QAction::triggered, this, [this] {
            QApplication::clipboard()->setText(
                ToQString(DecodeEntities(popupPlain_)));
          });
  connect(popup_->addAction(
              caption("Копировать текст в строку сообщения", "Copy text to message box")),
          &QAction::triggered, this, [this] {
            if (doc_.OnCopy) doc_.OnCopy(doc_, DecodeEntities(popupPlain_));
          });
  // The Russian caption is written with a Latin "c".
  connect(popup_->addAction(caption("Копировать текст вместе c тэгами", "Copy message with tags")),
          &QAction::triggered, this, [this] {
            if (doc_.OnCopy) doc_.OnCopy(doc_, DecodeEntities(popupMarkup_));
          });
  popup_->addSeparator();
  connect(popup_->addAction(caption("Очистить окно", "Clear window")), &QAction::triggered, this,
          [this] { doc_.Clear(); });
  popup_->popup(globalPos);
}

// ---- Class-wide ----

void MarkupView::RedrawAll() {
  for (MarkupView* view : alltexts) view->Redraw();
}

void MarkupView::SetAnimation(bool on) {
  if (on == ViewGlobals::animation) return;
  ViewGlobals::animation = on;
  for (MarkupView* view : alltexts) view->doc_.UpdateAnimations();
}

}  // namespace markup
