// MarkupView read as a text view: selecting with the mouse, copying,
// scrolling with the keys, marking and finding text, the "new messages
// below" marker.  Everything is computed from the document's text and
// placement for the visible lines only, and drawn over the painted bitmap,
// so the pane's own painting is untouched.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QHelpEvent>
#include <QToolButton>
#include <QToolTip>
#include <algorithm>
#include <cmath>

#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

namespace markup {

namespace {

constexpr int kFindMargin = 20;  // rows kept above a match scrolled into view

QString Utf(const std::string& cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }

// Relative luminance and the contrast ratio of two colours (1 to 21), as
// accessibility guidelines measure them.
double Luminance(const QColor& c) {
  auto channel = [](int v) {
    const double x = v / 255.0;
    return x <= 0.03928 ? x / 12.92 : std::pow((x + 0.055) / 1.055, 2.4);
  };
  return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
}

double Contrast(const QColor& a, const QColor& b) {
  const double la = Luminance(a), lb = Luminance(b);
  return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QColor Blend(const QColor& over, const QColor& under, double alpha) {
  auto mix = [alpha](int a, int b) { return int(std::lround(a * alpha + b * (1 - alpha))); };
  return QColor(mix(over.red(), under.red()), mix(over.green(), under.green()), mix(over.blue(), under.blue()));
}

// `wanted`, laid over `background` with `alpha`, made darker (on a light
// background) or lighter (on a dark one) until the result stands out by
// `ratio`: the palette's highlight of a high-contrast theme is often a light
// colour that vanishes on the chat's white panes.
QColor StandingOut(QColor wanted, const QColor& background, double alpha, double ratio) {
  const QColor towards = Luminance(background) > 0.5 ? QColor(Qt::black) : QColor(Qt::white);
  for (int step = 0; step < 10 && Contrast(Blend(wanted, background, alpha), background) < ratio; ++step)
    wanted = Blend(towards, wanted, 0.2);
  return wanted;
}

}  // namespace

std::optional<TextPoint> MarkupView::PointAt(const QPoint& windowPos) {
  if (doc_.LineCount() == 0) return std::nullopt;
  const QPoint p = windowPos - contentsRect().topLeft();
  const int y = p.y() + doc_.VertScrollPos();
  const long index = doc_.LineIndexAt(y);
  if (index < 0) return TextPoint{0, 0};
  const MarkupDocument::Placement placement = doc_.PlaceOf(static_cast<size_t>(index));
  const LineText lineText = PlainLineText(placement.pieces);
  return TextPoint{static_cast<size_t>(index), OffsetAt(placement, lineText, doc_.Measurer(), p.x(), y)};
}

bool MarkupView::ValidPoint(const std::optional<TextPoint>& p) const { return p && p->line < doc_.LineCount(); }

void MarkupView::DragTo(const QPoint& windowPos) {
  // Beyond the top or bottom edge the pane scrolls along.
  if (windowPos.y() < contentsRect().top())
    KeyScroll(MarkupDocument::ScrollCode::LineUp);
  else if (windowPos.y() > contentsRect().bottom())
    KeyScroll(MarkupDocument::ScrollCode::LineDown);
  const std::optional<TextPoint> p = PointAt(windowPos);
  if (!p || p == caret_) return;
  caret_ = p;
  update();
  emit SelectionChanged();
}

// A picture's meaning as its tool tip.
bool MarkupView::event(QEvent* event) {
  // Input acts on the lines as they are now, not as the last frame left them.
  switch (event->type()) {
    case QEvent::MouseButtonPress: case QEvent::MouseButtonRelease: case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove: case QEvent::Wheel: case QEvent::KeyPress: case QEvent::ShortcutOverride:
    case QEvent::ToolTip: case QEvent::ContextMenu: case QEvent::FocusIn:
      doc_.Settle();
      break;
    default:
      break;
  }
  if (event->type() != QEvent::ToolTip || !ViewGlobals::OnPictureTip) return QFrame::event(event);
  auto* help = static_cast<QHelpEvent*>(event);
  const QPoint p = help->pos() - contentsRect().topLeft();
  const int y = p.y() + doc_.VertScrollPos();
  const long index = doc_.LineIndexAt(y);
  std::string tip;
  if (index >= 0 && doc_.LineCount() > 0) {
    const MarkupDocument::Placement placement = doc_.PlaceOf(static_cast<size_t>(index));
    for (const PlacedBox& box : placement.boxes)
      if (box.picture && p.x() >= box.x && p.x() < box.x + box.width && y >= box.top && y < box.top + box.height)
        tip = ViewGlobals::OnPictureTip(placement.pieces[box.piece].value, placement.pieces[box.piece].link);
  }
  if (tip.empty()) {
    QToolTip::hideText();
    event->ignore();
  } else {
    QToolTip::showText(help->globalPos(), QString::fromStdString(tip), this);
  }
  return true;
}

void MarkupView::mouseReleaseEvent(QMouseEvent* event) {
  QFrame::mouseReleaseEvent(event);
  if (event->button() != Qt::LeftButton || !dragging_) return;
  dragging_ = false;
  if (HasSelection()) {
    // The X11 primary selection, as other text views keep it.
    if (QApplication::clipboard()->supportsSelection())
      QApplication::clipboard()->setText(Utf(SelectedText()), QClipboard::Selection);
    emit SelectionChanged();
  }
}

void MarkupView::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton) return QFrame::mouseDoubleClickEvent(event);
  const std::optional<TextPoint> p = PointAt(event->position().toPoint());
  if (!p) return;
  const std::string line = PlainLineText(doc_.PiecesAt(p->line)).text;
  const auto [from, to] = WordAt(line, p->offset);
  Select({p->line, from}, {p->line, to});
  dragging_ = false;
}

std::string MarkupView::SelectedText() {
  if (!HasSelection() || !ValidPoint(anchor_) || !ValidPoint(caret_)) return {};
  return TextBetween(doc_, *anchor_, *caret_);
}

void MarkupView::Select(TextPoint from, TextPoint to) {
  anchor_ = from;
  caret_ = to;
  update();
  emit SelectionChanged();
}

void MarkupView::SelectAll() {
  if (doc_.LineCount() == 0) return;
  const size_t last = doc_.LineCount() - 1;
  Select({0, 0}, {last, PlainLineText(doc_.PiecesAt(last)).text.size()});
}

void MarkupView::ClearSelection() {
  if (!anchor_ && !caret_) return;
  anchor_.reset();
  caret_.reset();
  update();
  emit SelectionChanged();
}

bool MarkupView::CopySelection() {
  const std::string selected = SelectedText();
  if (selected.empty()) return false;
  QApplication::clipboard()->setText(Utf(selected));
  return true;
}

void MarkupView::KeyScroll(MarkupDocument::ScrollCode code) {
  doc_.Scroll(code);
  settingBar_ = true;
  bar_->setSliderPosition(doc_.VertScrollPos());
  settingBar_ = false;
}

void MarkupView::keyPressEvent(QKeyEvent* event) {
  using Code = MarkupDocument::ScrollCode;
  if (event->matches(QKeySequence::Copy)) {
    CopySelection();
    return;
  }
  if (event->matches(QKeySequence::SelectAll)) {
    SelectAll();
    return;
  }
  switch (event->key()) {
    case Qt::Key_Up: KeyScroll(Code::LineUp); return;
    case Qt::Key_Down: KeyScroll(Code::LineDown); return;
    case Qt::Key_PageUp: KeyScroll(Code::PageUp); return;
    case Qt::Key_PageDown: KeyScroll(Code::PageDown); return;
    case Qt::Key_Home: KeyScroll(Code::Top); return;
    case Qt::Key_End: KeyScroll(Code::Bottom); return;
    case Qt::Key_Escape:
      if (HasSelection()) {
        ClearSelection();
        return;
      }
      break;
    default: break;
  }
  QFrame::keyPressEvent(event);
}

void MarkupView::focusInEvent(QFocusEvent* event) {
  QFrame::focusInEvent(event);
  update();
}

void MarkupView::focusOutEvent(QFocusEvent* event) {
  QFrame::focusOutEvent(event);
  update();
}

void MarkupView::SetFindText(const std::string& needle) {
  if (needle == findText_) return;
  findText_ = needle;
  currentMatch_.reset();
  update();
}

bool MarkupView::FindNext(bool forward) {
  if (findText_.empty() || doc_.LineCount() == 0) return false;
  TextPoint from;
  if (currentMatch_ && currentMatch_->at.line < doc_.LineCount()) {
    from = currentMatch_->at;
    if (forward) ++from.offset;
  } else if (forward) {
    from = {static_cast<size_t>(std::max(doc_.LineIndexAt(doc_.VertScrollPos()), 0L)), 0};
  } else {
    const long last = doc_.LineIndexAt(doc_.VertScrollPos() + doc_.ClientHeight());
    from = {static_cast<size_t>(std::max(last, 0L)), std::string::npos};
  }
  currentMatch_ = FindInDocument(doc_, findText_, from, forward);
  if (!currentMatch_) {
    update();
    return false;
  }
  const MarkupDocument::Placement placement = doc_.PlaceOf(currentMatch_->at.line);
  const LineText lineText = PlainLineText(placement.pieces);
  const std::vector<TextRect> rects = RangeRects(placement, lineText, doc_.Measurer(), currentMatch_->at.offset,
                                                 currentMatch_->at.offset + currentMatch_->length);
  if (!rects.empty()) ScrollIntoView(rects.front().y, rects.back().y + rects.back().height);
  update();
  return true;
}

void MarkupView::ScrollIntoView(int top, int bottom) {
  const int position = doc_.VertScrollPos();
  const int height = doc_.ClientHeight();
  int target = position;
  if (top < position)
    target = std::max(top - kFindMargin, 0);
  else if (bottom > position + height)
    target = std::max(std::min(top - kFindMargin, bottom - height + kFindMargin), 0);
  if (target == position) return;
  doc_.Scroll(MarkupDocument::ScrollCode::Thumb,
              std::min(target, std::max(doc_.VertScrollRange() - height, 0)));
  settingBar_ = true;
  bar_->setSliderPosition(doc_.VertScrollPos());
  settingBar_ = false;
}

void MarkupView::PaintTextOverlay(QPainter& painter) {
  const QRect cr = contentsRect();
  const int position = doc_.VertScrollPos();
  const bool selection = HasSelection() && ValidPoint(anchor_) && ValidPoint(caret_);
  if ((selection || !findText_.empty()) && doc_.LineCount() > 0) {
    const TextPoint from = selection ? std::min(*anchor_, *caret_) : TextPoint{};
    const TextPoint to = selection ? std::max(*anchor_, *caret_) : TextPoint{};
    const std::string folded = SearchFold(findText_);
    constexpr int kSelectionAlpha = 110;
    // The selection lies over the lines' own background colours: it is
    // made to stand out from the colour painted under its first rectangle.
    std::optional<QColor> selectionColor;
    auto selectionOver = [&](const std::vector<TextRect>& rects) {
      if (!selectionColor && !rects.empty()) {
        const qreal ratio = bitmap_.devicePixelRatio();
        const QPoint at(int(rects[0].x * ratio), int((rects[0].y - position) * ratio));
        const QColor under = QRect(QPoint(), bitmap_.size()).contains(at)
                                 ? bitmap_.copy(QRect(at, QSize(1, 1))).toImage().pixelColor(0, 0)
                                 : ToQColor(doc_.Color());
        selectionColor = StandingOut(palette().color(QPalette::Highlight), under, kSelectionAlpha / 255.0, 2.0);
        selectionColor->setAlpha(kSelectionAlpha);
      }
      return selectionColor.value_or(QColor());
    };
    const QColor matchColor(255, 220, 0, 130);
    const QColor currentColor(255, 120, 0, 170);
    auto fill = [&](const std::vector<TextRect>& rects, const QColor& color) {
      for (const TextRect& r : rects)
        painter.fillRect(QRect(cr.left() + r.x, cr.top() + r.y - position, r.width, r.height), color);
    };
    const size_t first = static_cast<size_t>(std::max(doc_.LineIndexAt(position), 0L));
    const long lastShown = doc_.LineIndexAt(position + doc_.ClientHeight());
    for (size_t i = first; lastShown >= 0 && i <= static_cast<size_t>(lastShown) && i < doc_.LineCount(); ++i) {
      const bool selected = selection && i >= from.line && i <= to.line;
      if (!selected && folded.empty()) continue;
      const MarkupDocument::Placement placement = doc_.PlaceOf(i);
      const LineText lineText = PlainLineText(placement.pieces);
      if (!folded.empty()) {
        for (size_t at : MatchesIn(lineText.text, folded)) {
          const bool current = currentMatch_ && currentMatch_->at.line == i && currentMatch_->at.offset == at;
          fill(RangeRects(placement, lineText, doc_.Measurer(), at, at + folded.size()),
               current ? currentColor : matchColor);
        }
      }
      if (selected) {
        const size_t a = i == from.line ? from.offset : 0;
        const size_t z = i == to.line ? to.offset : lineText.text.size();
        const std::vector<TextRect> rects = RangeRects(placement, lineText, doc_.Measurer(), a, z);
        fill(rects, selectionOver(rects));
      }
    }
  }
  if (hasFocus()) {
    // The focus frame in the palette's highlight colour, so a high-contrast
    // palette shows it too, kept visible on the pane's own colour.
    QPen pen(StandingOut(palette().color(QPalette::Highlight), ToQColor(doc_.Color()), 1.0, 3.0), 1, Qt::DotLine);
    painter.setPen(pen);
    painter.setClipping(false);
    painter.drawRect(QRect(cr.topLeft(), QSize(doc_.ClientWidth(), doc_.ClientHeight())).adjusted(0, 0, -1, -1));
  }
}

// ---- Lines coming and going ----

// Looked at once per turn of the event loop, when the new lines are whole.
void MarkupView::LineAppended() {
  if (linesCheckPending_) return;
  linesCheckPending_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        linesCheckPending_ = false;
        LinesChanged();
      },
      Qt::QueuedConnection);
}

void MarkupView::LinesChanged() {
  const size_t count = doc_.LineCount();
  if (count < knownLines_) {
    // Lines went away: positions may name other lines now.
    if (!ValidPoint(anchor_) || !ValidPoint(caret_)) {
      anchor_.reset();
      caret_.reset();
    }
    if (currentMatch_ && currentMatch_->at.line >= count) currentMatch_.reset();
    seenLines_ = std::min(seenLines_, count);
    knownLines_ = count;
  } else if (count > knownLines_) {
    const size_t first = knownLines_;
    knownLines_ = count;
    emit LinesAppended(static_cast<int>(first), static_cast<int>(count - first));
    AnnounceLines(first, count - first);
  }
  const bool atEnd = doc_.AtBottom() || !doc_.VertScrollVisible();
  if (atEnd) seenLines_ = count;
  const bool show = !atEnd && count > seenLines_;
  if (!show) {
    if (newLinesMarker_) newLinesMarker_->hide();
    return;
  }
  if (!newLinesMarker_) {
    newLinesMarker_ = new QToolButton(this);
    newLinesMarker_->setObjectName("NewLinesMarker");
    newLinesMarker_->setCursor(Qt::PointingHandCursor);
    newLinesMarker_->setStyleSheet(
        "QToolButton { background: #fff4c0; color: #000000; border: 1px solid #b08000; border-radius: 3px;"
        " padding: 1px 6px; }");
    connect(newLinesMarker_, &QToolButton::clicked, this, [this] {
      KeyScroll(MarkupDocument::ScrollCode::Bottom);
      newLinesMarker_->hide();
    });
  }
  newLinesMarker_->setText(ViewGlobals::russian ? QString::fromUtf8("\u25BC Новые сообщения ниже")
                                                : QString("\u25BC New messages below"));
  newLinesMarker_->setToolTip(ViewGlobals::russian ? QString::fromUtf8("Прокрутить к последним сообщениям")
                                                   : QString("Scroll to the newest messages"));
  PlaceNewLinesMarker();
  newLinesMarker_->show();
  newLinesMarker_->raise();
}

void MarkupView::PlaceNewLinesMarker() {
  if (!newLinesMarker_) return;
  newLinesMarker_->adjustSize();
  const QRect cr = contentsRect();
  const QSize size = newLinesMarker_->sizeHint();
  const int width = std::min(size.width(), std::max(doc_.ClientWidth() - 4, 20));
  newLinesMarker_->setGeometry(cr.left() + (doc_.ClientWidth() - width) / 2, cr.top() + doc_.ClientHeight() - size.height() - 4,
                               width, size.height());
}

void MarkupView::SetPaneName(const QString& russian, const QString& english) {
  nameRussian_ = russian;
  nameEnglish_ = english;
}

QString MarkupView::PaneName() const {
  const QString& name = ViewGlobals::russian ? nameRussian_ : nameEnglish_;
  return name.isEmpty() ? (nameEnglish_.isEmpty() ? nameRussian_ : nameEnglish_) : name;
}

}  // namespace markup
