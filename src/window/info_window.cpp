#include "window/info_window.h"

#include <QApplication>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "markup/ui/find_bar.h"
#include "markup/ui/markup_view.h"
#include "settings/settings.h"
#include "window/qt_text.h"

namespace window {
namespace {

std::vector<InfoWindow*>& Windows() {
  static std::vector<InfoWindow*> windows;
  return windows;
}

std::function<void(const std::string&)>& LinkHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

std::function<void(const std::string&)>& CopyHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

}  // namespace

void SetInfoCopyHandler(std::function<void(const std::string&)> handler) { CopyHandler() = std::move(handler); }

void SetInfoLinkHandler(std::function<void(const std::string&)> handler) { LinkHandler() = std::move(handler); }

const std::vector<InfoWindow*>& InfoWindows() { return Windows(); }

namespace {

// How long after showing the trace window an activation counts as the
// window system's own doing rather than the user's.
constexpr int kShowActivationMs = 500;

// The trace only gains lines: it never takes the keyboard from where the
// user is typing, and never covers a dialog waiting for him.
constexpr const char* kTraceKey = "DEBUG";

}  // namespace

void ShowInfoWindow(const settings::Settings& settings, const std::string& key, const std::string& title, const std::string& text, int width, int height,
                    bool append) {
  const bool trace = key == kTraceKey;
  for (InfoWindow* info : Windows()) {
    if (info->Key() != key) continue;
    if (!append) info->ht->Clear();
    info->ht->NewString(text, 0x000000, 0xFFFFFF);
    if (!trace) {
      info->raise();
      info->activateWindow();
    }
    return;
  }
  // What a server sends cannot open windows without end: the oldest goes,
  // never the trace log.
  auto& open = Windows();
  while (open.size() >= kMaxInfoWindows) {
    const auto oldest = std::find_if(open.begin(), open.end(), [](InfoWindow* w) { return w->Key() != "DEBUG"; });
    if (oldest == open.end()) break;
    delete *oldest;
  }
  auto* info = new InfoWindow(settings, key, title, text);
  if (!trace) {
    info->show();
  } else {
    info->setAttribute(Qt::WA_ShowWithoutActivating);
    info->setWindowFlag(Qt::WindowStaysOnTopHint, false);
    info->ShowWithoutTakingFocus();
  }
  if (width != -1) info->resize(width, info->height());
  if (height != -1) info->resize(info->width(), height);
}

void TraceLog(const settings::Settings& settings, const std::string& text) {
  ShowInfoWindow(settings, kTraceKey, "Trace log", text, 500, -1, true);
}

void CloseAllInfoWindows() {
  const std::vector<InfoWindow*> open = Windows();
  for (InfoWindow* info : open) delete info;
}

InfoWindow::InfoWindow(const settings::Settings& settings, const std::string& key, const std::string& title,
                       const std::string& text, QWidget* parent)
    : QDialog(parent), settings_(settings), key_(key), initialText_(text) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(ToQ((settings_.RussianInterface ? text::W("Инфо: ") : std::string("Info: ")) + title));
  ht = new markup::MarkupView(this);
  ht->SetStdPopup(true);
  ht->OnLink = [](markup::MarkupDocument&, const std::string& target) {
    if (LinkHandler()) LinkHandler()(target);
  };
  ht->OnCopy = [](markup::MarkupDocument&, const std::string& copied) {
    if (CopyHandler()) CopyHandler()(copied);
  };
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ht);
  layout->addWidget(new markup::FindBar(this, ht));
  ht->SetPaneName(ToQ(key), ToQ(key));
  resize(400, 250);
  Windows().push_back(this);
}

void InfoWindow::ShowWithoutTakingFocus() {
  setAttribute(Qt::WA_ShowWithoutActivating);
  returnTo_ = QApplication::activeWindow();
  returnFocus_ = QApplication::focusWidget();
  show();
  // Only the activation that comes with showing is handed back.
  QTimer::singleShot(kShowActivationMs, this, [this] { returnTo_ = nullptr; });
}

bool InfoWindow::event(QEvent* event) {
  // Where the window system activates a new window anyway, the keyboard goes
  // back to where the user was typing.
  if (event->type() == QEvent::WindowActivate && returnTo_) {
    QPointer<QWidget> window = returnTo_;
    QPointer<QWidget> focus = returnFocus_;
    returnTo_ = nullptr;
    QMetaObject::invokeMethod(
        this,
        [window, focus] {
          if (!window) return;
          window->activateWindow();
          if (focus) focus->setFocus(Qt::OtherFocusReason);
        },
        Qt::QueuedConnection);
  }
  return QDialog::event(event);
}

InfoWindow::~InfoWindow() {
  auto& windows = Windows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

void InfoWindow::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  ht->Document().SetFontSize(settings_.FontSize);
  ht->NewString(initialText_, 0x000000, 0xFFFFFF);
}

void InfoWindow::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace window
