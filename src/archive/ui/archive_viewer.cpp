#include "archive/ui/archive_viewer.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "markup/ui/find_bar.h"
#include "markup/ui/markup_view.h"
#include "text/cp1251.h"
#include "archive/archive_texts.h"
#include "markup/markup_document.h"

namespace media {
namespace {

ArchiveWindowList<ArchiveViewer>& Viewers() {
  static ArchiveWindowList<ArchiveViewer> viewers;
  return viewers;
}

QString Q(const std::string& cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }

// Where the first viewer opens; the others step down and right from it.
constexpr int kDesignedLeft = 190;
constexpr int kDesignedTop = 120;

}  // namespace

ArchiveViewer* ArchiveViewer::Open(int number, const ArchiveViewerContext& context, ArchiveViewerHost& host,
                                   TextDownloader& downloader) {
  if (ArchiveViewer* open = Find(number)) {
    if (open->isMinimized()) open->showNormal();
    open->raise();
    open->activateWindow();
    return open;
  }
  auto* viewer = new ArchiveViewer(number, context, host, downloader);
  const int offset = ArchiveWindowOffset(number);
  if (!OnPlace || !OnPlace(*viewer, offset)) viewer->move(kDesignedLeft + offset, kDesignedTop + offset);
  viewer->show();
  return viewer;
}

ArchiveViewer* ArchiveViewer::Find(int number) { return Viewers().Find(number); }

std::vector<ArchiveViewer*> ArchiveViewer::OpenViewers() { return Viewers().All(); }

void ArchiveViewer::CloseAll() {
  for (ArchiveViewer* viewer : Viewers().All()) delete viewer;
}

ArchiveViewer::ArchiveViewer(int number, const ArchiveViewerContext& context, ArchiveViewerHost& host,
                             TextDownloader& downloader)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), context_(context) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("ArchForm");
  ht_ = new markup::MarkupView(this);
  ht_->setObjectName("ht");
  ht_->SetStdPopup(true);

  auto* bottom = new QWidget(this);
  bottom->setObjectName("BottomPanel");
  filterLab_ = new QLabel(bottom);
  filterLab_->setObjectName("FilterLab");
  filter_ = new QLineEdit(bottom);
  filter_->setObjectName("Filter");
  progress_ = new QProgressBar(bottom);
  progress_->setObjectName("Progress");
  progress_->setRange(0, 100);
  progress_->setValue(0);
  progress_->hide();
  apply_ = new QPushButton(bottom);
  apply_->setObjectName("Apply");
  apply_->setEnabled(false);
  auto* row = new QHBoxLayout(bottom);
  row->setContentsMargins(4, 3, 4, 3);
  row->addWidget(filterLab_);
  row->addWidget(filter_, 1);
  row->addWidget(progress_, 1);
  row->addWidget(apply_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(ht_, 1);
  // Ctrl+F finds in the page, as in the other windows with panes.
  findBar_ = new markup::FindBar(this, ht_);
  layout->addWidget(findBar_);
  layout->addWidget(bottom);
  resize(600, 420);

  model_ = std::make_unique<ArchiveViewerModel>(number, context.settings, static_cast<ArchiveViewerView&>(*this),
                                                host, downloader);

  // The pane's link walk must end before the pane is cleared, so clicks
  // reach the model from the event loop.
  QPointer<ArchiveViewer> self(this);
  ht_->OnLink = [self](markup::MarkupDocument&, const std::string& target) {
    QMetaObject::invokeMethod(
        self, [self, target] { if (self) self->model_->LinkClicked(target); }, Qt::QueuedConnection);
  };
  ht_->OnCopy = [this](markup::MarkupDocument&, const std::string& copied) { model_->Copied(copied); };
  connect(filter_, &QLineEdit::textChanged, this, [this] { model_->FilterEdited(); });
  // The button stops a search that runs; Enter in the filter applies it.
  connect(apply_, &QPushButton::clicked, this, [this] {
    if (model_->Searching())
      model_->StopSearch();
    else
      ApplyFilter();
  });
  connect(filter_, &QLineEdit::returnPressed, this, [this] { ApplyFilter(); });
  // The window sees Ctrl+PgUp and Ctrl+PgDown before its controls do.
  for (QWidget* w : {static_cast<QWidget*>(ht_), static_cast<QWidget*>(filter_), static_cast<QWidget*>(apply_)})
    w->installEventFilter(this);
  Viewers().Add(number, this);
}

ArchiveViewer::~ArchiveViewer() {
  if (OnClosing) OnClosing(*this, ArchiveWindowOffset(model_->Number()));
  Viewers().Remove(this);
  // The model frees the running download before the pane goes.
  model_.reset();
}

void ArchiveViewer::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  ht_->Document().SetFontSize(context_.fontSize);
  setWindowTitle(Q(ArchiveWindowCaption(model_->Number(), context_.russian)));
  filterLab_->setText(Q(ArchiveFilterCaption(context_.russian)));
  apply_->setText(Q(ArchiveApplyCaption(context_.russian)));
  SetProgressVisible(!model_->IsPrivate());
  QPointer<ArchiveViewer> self(this);
  QMetaObject::invokeMethod(
      this, [self] { if (self) self->model_->Load(); }, Qt::QueuedConnection);
}

void ArchiveViewer::ApplyFilter() { model_->Apply(text::Utf8ToCp1251(filter_->text().toStdString())); }

bool ArchiveViewer::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && PagingKey(event)) return true;
  if (event->type() == QEvent::KeyPress && searching_ && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    model_->StopSearch();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

bool ArchiveViewer::PagingKey(QEvent* event) {
  auto* key = static_cast<QKeyEvent*>(event);
  if (!(key->modifiers() & Qt::ControlModifier)) return false;
  if (key->key() == Qt::Key_PageUp) return model_->PageUpKey();
  if (key->key() == Qt::Key_PageDown) return model_->PageDownKey();
  return false;
}

void ArchiveViewer::ShowLines(const std::vector<ViewLine>& lines, bool fromTop) {
  // One layout and one paint for the whole page.
  markup::MarkupDocument& doc = ht_->Document();
  doc.BeginUpdate();
  doc.Clear();
  for (const ViewLine& line : lines)
    doc.NewString(line.markup, line.fontColor, line.backColor);
  doc.EndUpdate(true);
  doc.SetVertScrollPos(fromTop ? 0 : doc.ContentHeight());
}

void ArchiveViewer::AddLine(const ViewLine& line) {
  ht_->NewString(line.markup, line.fontColor, line.backColor);
}

void ArchiveViewer::SetProgress(int percent) { progress_->setValue(percent); }

void ArchiveViewer::SetProgressVisible(bool visible) {
  // The bar stands where the filter is while a public archive loads.
  progress_->setVisible(visible);
  filter_->setVisible(!visible);
}

void ArchiveViewer::SetApplyEnabled(bool enabled) { apply_->setEnabled(enabled); }

void ArchiveViewer::SetSearching(bool searching) {
  searching_ = searching;
  progress_->setVisible(searching);
  apply_->setText(Q(searching ? text::Shown(texts::kStop) : ArchiveApplyCaption(context_.russian)));
  apply_->setEnabled(searching);  // a finished search leaves nothing to apply
}

void ArchiveViewer::ContinueLater() {
  QPointer<ArchiveViewer> self(this);
  QMetaObject::invokeMethod(
      this, [self] { if (self) self->model_->Continue(); }, Qt::QueuedConnection);
}

}  // namespace media
