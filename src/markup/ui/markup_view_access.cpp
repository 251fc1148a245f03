// What a screen reader sees of a MarkupView: a document named after the
// pane whose text is the plain text of its lines (as copying gives it), one
// pressable child per link on the screen, and an announcement for every
// appended line.  The interface is made by a factory only when an
// assistive technology asks, so a pane nobody reads costs nothing more.
#include <QAccessible>
#include <QAccessibleWidget>
#include <QPointer>
#include <algorithm>

#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

namespace markup {

namespace {

// A screen reader gets the newest lines as text, at least kReadableLines of
// them; older ones stay reachable by scrolling, which changes nothing here.
// The first readable line moves in steps of kReadableLines, so that lines
// arriving one by one extend the text instead of rebuilding it.
constexpr size_t kReadableLines = 5000;
size_t FirstReadableLine(size_t count) {
  return count <= kReadableLines ? 0 : (count - kReadableLines) / kReadableLines * kReadableLines;
}

QString Utf(const std::string& cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }

class LinkAccessible;

class ViewAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit ViewAccessible(MarkupView* view) : QAccessibleWidget(view, QAccessible::Document) {}
  ~ViewAccessible() override { DropLinks(); }

  // A screen reader reads the lines as they are, laid out.
  MarkupView* View() const {
    auto* view = static_cast<MarkupView*>(widget());
    view->Document().Settle();
    return view;
  }

  void* interface_cast(QAccessible::InterfaceType type) override {
    if (type == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
    return QAccessibleWidget::interface_cast(type);
  }

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name) {
      const QString own = View()->accessibleName();
      return own.isEmpty() ? View()->PaneName() : own;
    }
    if (t == QAccessible::Value) return Text();
    return QAccessibleWidget::text(t);
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.readOnly = true;
    s.multiLine = true;
    s.selectableText = true;
    return s;
  }

  // ---- links on the screen as children ----
  int childCount() const override {
    Refresh();
    return static_cast<int>(links_.size());
  }
  QAccessibleInterface* child(int index) const override;
  int indexOfChild(const QAccessibleInterface* child) const override;

  // ---- text ----
  void selection(int index, int* start, int* end) const override {
    *start = *end = 0;
    if (index != 0 || !View()->HasSelection()) return;
    const QString all = Text();
    const QString selected = Utf(View()->SelectedText());
    const int at = all.indexOf(selected);
    if (at >= 0) {
      *start = at;
      *end = at + static_cast<int>(selected.size());
    }
  }
  int selectionCount() const override { return View()->HasSelection() ? 1 : 0; }
  void addSelection(int start, int end) override { setSelection(0, start, end); }
  void removeSelection(int) override { View()->ClearSelection(); }
  void setSelection(int, int start, int end) override {
    const auto a = PointOf(start), z = PointOf(end);
    if (a && z) View()->Select(*a, *z);
  }
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int start, int end) const override { return Text().mid(start, end - start); }
  int characterCount() const override { return static_cast<int>(Text().size()); }
  QRect characterRect(int) const override { return QRect(); }
  int offsetAtPoint(const QPoint&) const override { return -1; }
  void scrollToSubstring(int start, int end) override {
    const auto a = PointOf(start), z = PointOf(end);
    if (!a || !z) return;
    MarkupDocument& doc = View()->Document();
    if (a->line < doc.LineCount())
      View()->ScrollIntoView(doc.lines()[a->line]->top, z->line + 1 < doc.LineCount()
                                                            ? doc.lines()[z->line + 1]->top
                                                            : doc.ContentHeight());
  }
  QString attributes(int offset, int* start, int* end) const override {
    *start = *end = offset;
    return QString();
  }

  // The text as of now: the readable lines, joined by "\n".
  QString Text() const {
    MarkupDocument& doc = View()->Document();
    const size_t count = doc.LineCount();
    if (CachedUpTo(count)) return cached_;
    const size_t first = FirstReadableLine(count);
    cached_ = count ? Utf(TextBetween(doc, {first, 0}, {count - 1, std::string::npos})) : QString();
    Remember(count);
    return cached_;
  }

  // Lines [first, count) were appended and `added` is their text, each line
  // after a "\n".  Returns where the text grew.  When the text held is that
  // of the lines before them, it grows by `added` instead of being rebuilt,
  // so a screen reader in a busy room costs each line only once.
  int Appended(size_t first, const QString& added) const {
    const size_t count = View()->Document().LineCount();
    if (first > 0 && CachedUpTo(first) && FirstReadableLine(first) == FirstReadableLine(count)) {
      const int at = static_cast<int>(cached_.size());
      cached_ += cached_.isEmpty() ? added.mid(1) : added;
      Remember(count);
      return at;
    }
    return std::max(static_cast<int>(Text().size() - added.size()), 0);
  }

  // Offset in Text() -> a point of the document.
  std::optional<TextPoint> PointOf(int offset) const {
    MarkupDocument& doc = View()->Document();
    const size_t count = doc.LineCount();
    if (count == 0 || offset < 0) return std::nullopt;
    size_t line = FirstReadableLine(count);
    int left = offset;
    for (; line < count; ++line) {
      if (doc.lines()[line]->hidden) continue;
      const int length = static_cast<int>(Utf(PlainLineText(doc.PiecesAt(line)).text).size());
      if (left <= length) return TextPoint{line, static_cast<size_t>(left)};
      left -= length + 1;
    }
    return TextPoint{count - 1, std::string::npos};
  }

  struct Link {
    QString name;
    std::string target;
    QRect rect;  // view coordinates
  };
  void Refresh() const;
  void DropLinks() const;
  const Link* LinkAt(int index) const {
    return index >= 0 && index < static_cast<int>(links_.size()) ? &links_[index] : nullptr;
  }

 private:
  // Whether cached_ is the text of the document's first `count` lines.
  bool CachedUpTo(size_t count) const {
    const MarkupDocument& doc = View()->Document();
    if (cachedCount_ != count || count > doc.LineCount()) return false;
    return count == 0 || (cachedFirst_ == doc.lines().front().get() && cachedLast_ == doc.lines()[count - 1]->source);
  }
  void Remember(size_t count) const {
    const MarkupDocument& doc = View()->Document();
    cachedCount_ = count;
    cachedFirst_ = count ? doc.lines().front().get() : nullptr;
    cachedLast_ = count ? doc.lines()[count - 1]->source : std::string();
  }

  mutable QString cached_;
  mutable size_t cachedCount_ = size_t(-1);
  mutable std::string cachedLast_;
  mutable const MarkupLine* cachedFirst_ = nullptr;
  mutable std::vector<Link> links_;
  mutable std::vector<QAccessible::Id> linkIds_;
};

class LinkAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
 public:
  LinkAccessible(const ViewAccessible* parent, int index) : parent_(parent), view_(parent->View()), index_(index) {}

  bool isValid() const override { return !view_.isNull(); }
  QObject* object() const override { return nullptr; }
  QWindow* window() const override { return view_ ? view_->window()->windowHandle() : nullptr; }
  QAccessibleInterface* parent() const override { return QAccessible::queryAccessibleInterface(view_.data()); }
  QAccessibleInterface* child(int) const override { return nullptr; }
  int childCount() const override { return 0; }
  int indexOfChild(const QAccessibleInterface*) const override { return -1; }
  QAccessibleInterface* childAt(int, int) const override { return nullptr; }
  QString text(QAccessible::Text t) const override {
    const auto* link = Current();
    if (!link) return QString();
    if (t == QAccessible::Name) return link->name;
    if (t == QAccessible::Value) return Utf(link->target);
    return QString();
  }
  void setText(QAccessible::Text, const QString&) override {}
  QRect rect() const override {
    const auto* link = Current();
    if (!link || !view_) return QRect();
    return QRect(view_->mapToGlobal(link->rect.topLeft()), link->rect.size());
  }
  QAccessible::Role role() const override { return QAccessible::Link; }
  QAccessible::State state() const override {
    QAccessible::State s;
    s.linked = true;
    s.focusable = true;
    if (!Current()) s.invalid = true;
    return s;
  }
  void* interface_cast(QAccessible::InterfaceType type) override {
    return type == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
  }

  QStringList actionNames() const override { return {pressAction()}; }
  void doAction(const QString& name) override {
    const auto* link = Current();
    if (name == pressAction() && link && view_) view_->ActivateLink(link->target);
  }
  QStringList keyBindingsForAction(const QString&) const override { return {}; }

 private:
  const ViewAccessible::Link* Current() const {
    if (!view_) return nullptr;
    auto* owner = static_cast<ViewAccessible*>(QAccessible::queryAccessibleInterface(view_.data()));
    return owner ? owner->LinkAt(index_) : nullptr;
  }

  const ViewAccessible* parent_;
  QPointer<MarkupView> view_;
  int index_;
};

void ViewAccessible::Refresh() const {
  MarkupView* view = View();
  MarkupDocument& doc = view->Document();
  std::vector<Link> found;
  const int position = doc.VertScrollPos();
  const QPoint origin = view->contentsRect().topLeft();
  const long last = doc.LineIndexAt(position + doc.ClientHeight());
  for (long i = std::max(doc.LineIndexAt(position), 0L); i >= 0 && i <= last && size_t(i) < doc.LineCount(); ++i) {
    const MarkupDocument::Placement placement = doc.PlaceOf(size_t(i));
    const LineText lineText = PlainLineText(placement.pieces);
    int lastPiece = -1;
    for (const PlacedBox& box : placement.boxes) {
      const MarkupLine::Piece& piece = placement.pieces[box.piece];
      if (piece.link.empty()) continue;
      const QRect r(origin.x() + box.x, origin.y() + box.top - position, box.width, box.height);
      if (box.piece == lastPiece) {
        found.back().rect = found.back().rect.united(r);
        continue;
      }
      lastPiece = box.piece;
      const size_t from = lineText.pieceStart[box.piece];
      const size_t to = size_t(box.piece) + 1 < lineText.pieceStart.size() ? lineText.pieceStart[box.piece + 1]
                                                                            : lineText.text.size();
      QString name = Utf(lineText.text.substr(from, to - from)).trimmed();
      if (name.isEmpty()) name = Utf(piece.link);
      found.push_back({name, piece.link, r});
    }
  }
  const bool same = found.size() == links_.size() &&
                    std::equal(found.begin(), found.end(), links_.begin(), [](const Link& a, const Link& b) {
                      return a.target == b.target && a.name == b.name;
                    });
  if (same) {
    links_ = std::move(found);  // new places, same links
    return;
  }
  DropLinks();
  links_ = std::move(found);
}

void ViewAccessible::DropLinks() const {
  for (QAccessible::Id id : linkIds_) QAccessible::deleteAccessibleInterface(id);
  linkIds_.clear();
}

QAccessibleInterface* ViewAccessible::child(int index) const {
  if (index < 0 || index >= static_cast<int>(links_.size())) return nullptr;
  if (linkIds_.size() != links_.size()) {
    DropLinks();
    for (int i = 0; i < static_cast<int>(links_.size()); ++i)
      linkIds_.push_back(QAccessible::registerAccessibleInterface(new LinkAccessible(this, i)));
  }
  return QAccessible::accessibleInterface(linkIds_[index]);
}

int ViewAccessible::indexOfChild(const QAccessibleInterface* child) const {
  for (size_t i = 0; i < linkIds_.size(); ++i)
    if (QAccessible::accessibleInterface(linkIds_[i]) == child) return static_cast<int>(i);
  return -1;
}

// Whether an assistive technology is listening.  Qt makes interfaces for
// its own focus events too, so having been asked for one proves nothing;
// the bridge says so when it starts (and tests say so the same way).
bool readerActive = false;
struct ReaderObserver : QAccessible::ActivationObserver {
  void accessibilityActiveChanged(bool active) override { readerActive = active; }
};

QAccessibleInterface* Factory(const QString& className, QObject* object) {
  if (className == QLatin1String("markup::MarkupView") && object && object->isWidgetType()) {
    auto* view = static_cast<MarkupView*>(object);
    view->SetReadByAssistant();
    return new ViewAccessible(view);
  }
  return nullptr;
}

}  // namespace

void InstallMarkupViewAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(Factory);
    static ReaderObserver observer;
    QAccessible::installActivationObserver(&observer);
    readerActive = QAccessible::isActive();
    return true;
  }();
  (void)installed;
}

void MarkupView::ActivateLink(const std::string& target) {
  QMetaObject::invokeMethod(this, [this, target] { doc_.DoLink(target); }, Qt::QueuedConnection);
}

void MarkupView::AnnounceLines(size_t first, size_t count) {
  if (!readByAssistant_ || count == 0 || !(readerActive || QAccessible::isActive())) return;
  QString added;
  for (size_t i = first; i < first + count && i < doc_.LineCount(); ++i) {
    if (doc_.lines()[i]->hidden) continue;
    added += QLatin1Char('\n') + Utf(PlainLineText(doc_.PiecesAt(i)).text);
  }
  if (added.isEmpty()) return;
  auto* iface = dynamic_cast<ViewAccessible*>(QAccessible::queryAccessibleInterface(this));
  const int at = iface ? iface->Appended(first, added) : 0;
  lastAnnouncement_ = added;
  QAccessibleTextInsertEvent event(this, std::max(at, 0), added);
  QAccessible::updateAccessibility(&event);
}

}  // namespace markup
