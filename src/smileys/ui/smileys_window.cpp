#include "smileys/ui/smileys_window.h"

#include <QFrame>
#include <QKeyEvent>
#include <QPointer>
#include <QVBoxLayout>

#include "markup/ui/markup_view.h"
#include "text/cp1251.h"

namespace media {
namespace {

SmileysWindow*& Instance() {
  static SmileysWindow* instance = nullptr;
  return instance;
}

}  // namespace

SmileysWindow* SmileysWindow::Open(const SmileysSettings& settings, bool russian, SmileysHost& host,
                                   TextDownloader& downloader) {
  if (!Instance()) {
    Instance() = new SmileysWindow(settings, russian, host, downloader);
    if (OnPlace) OnPlace(*Instance());
  }
  SmileysWindow* window = Instance();
  window->show();
  window->raise();
  window->activateWindow();
  return window;
}

SmileysWindow* SmileysWindow::Current() { return Instance(); }

void SmileysWindow::CloseCurrent() { delete Instance(); }

SmileysWindow::SmileysWindow(const SmileysSettings& settings, bool russian, SmileysHost& host,
                             TextDownloader& downloader)
    : QWidget(nullptr, Qt::Window | Qt::WindowStaysOnTopHint), russian_(russian) {
  setAttribute(Qt::WA_DeleteOnClose);
  setObjectName("CSmiles");
  cindex_ = new markup::MarkupView(this);
  cindex_->setObjectName("cindex");
  cindex_->setFixedHeight(44);
  auto* separator = new QFrame(this);
  separator->setObjectName("Panel1");
  separator->setFixedHeight(3);
  separator->setFrameShape(QFrame::HLine);
  msmiles_ = new markup::MarkupView(this);
  msmiles_->setObjectName("msmiles");
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(cindex_);
  layout->addWidget(separator);
  layout->addWidget(msmiles_, 1);
  resize(520, 300);

  model_ = std::make_unique<SmileysModel>(settings, static_cast<SmileysView&>(*this), host, downloader);

  // Both panes are rebuilt by their own clicks, so a click reaches the
  // model once the pane's link walk is over.
  QPointer<SmileysWindow> self(this);
  cindex_->OnLink = [self](markup::MarkupDocument&, const std::string& target) {
    QMetaObject::invokeMethod(
        self, [self, target] { if (self) self->model_->IndexLinkClicked(target); }, Qt::QueuedConnection);
  };
  msmiles_->OnLink = [self](markup::MarkupDocument&, const std::string& target) {
    QMetaObject::invokeMethod(
        self, [self, target] { if (self) self->model_->PictureLinkClicked(target); }, Qt::QueuedConnection);
  };
  // Escape closes the window whichever pane has the focus.
  cindex_->installEventFilter(this);
  msmiles_->installEventFilter(this);
}

SmileysWindow::~SmileysWindow() {
  if (OnClosing) OnClosing(*this);
  if (Instance() == this) Instance() = nullptr;
  model_.reset();
  cindex_->Clear();
  msmiles_->Clear();
}

void SmileysWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  setWindowTitle(QString::fromStdString(text::Cp1251ToUtf8(SmileysWindowCaption(russian_))));
  model_->Show();
}

void SmileysWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

bool SmileysWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    close();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void SmileysWindow::ShowIndex(const std::string& line) {
  cindex_->Clear();
  cindex_->NewString(line, 0x000000, 0xFFFFFF);
}

void SmileysWindow::ShowPictures(const std::vector<std::string>& lines) {
  msmiles_->Clear();
  for (const std::string& line : lines) msmiles_->NewString(line, 0x000000, 0xFFFFFF);
}

}  // namespace media
