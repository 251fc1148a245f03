#include "window/info_window.h"

#include <QKeyEvent>
#include <QVBoxLayout>
#include <algorithm>

#include "markup/zevo_html.h"
#include "media/settings.h"
#include "window/qt_text.h"

namespace window {
namespace {

std::vector<TInfo*>& Windows() {
  static std::vector<TInfo*> windows;
  return windows;
}

std::function<void(const std::string&)>& LinkHandler() {
  static std::function<void(const std::string&)> handler;
  return handler;
}

}  // namespace

void SetInfoLinkHandler(std::function<void(const std::string&)> handler) { LinkHandler() = std::move(handler); }

const std::vector<TInfo*>& InfoWindows() { return Windows(); }

void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width, int height,
                    bool append) {
  for (TInfo* info : Windows()) {
    if (info->Key() != key) continue;
    if (!append) info->ht->Clear();
    info->ht->NewString(text, 0x000000, 0xFFFFFF);
    info->raise();
    info->activateWindow();
    return;
  }
  auto* info = new TInfo(key, title, text);
  info->show();
  if (width != -1) info->resize(width, info->height());
  if (height != -1) info->resize(info->width(), height);
}

void TraceLog(const std::string& text) { ShowInfoWindow("DEBUG", "Trace log", text, 500, -1, true); }

void CloseAllInfoWindows() {
  const std::vector<TInfo*> open = Windows();
  for (TInfo* info : open) delete info;
}

}  // namespace window

TInfo::TInfo(const std::string& key, const std::string& title, const std::string& text, QWidget* parent)
    : QDialog(parent), key_(key), initialText_(text) {
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowFlags(Qt::Window | Qt::WindowStaysOnTopHint | Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowTitle(ToQ((media::AppSettings().RussianInterface ? text::W("Инфо: ") : std::string("Info: ")) + title));
  ht = new TZevoHTML(this);
  ht->SetStdPopup(true);
  ht->OnLink = [](markup::MarkupDocument&, const std::string& target) {
    if (window::LinkHandler()) window::LinkHandler()(target);
  };
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->addWidget(ht);
  resize(400, 250);
  window::Windows().push_back(this);
}

TInfo::~TInfo() {
  auto& windows = window::Windows();
  windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
}

void TInfo::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  ht->Document().SetFontSize(media::AppSettings().FontSize);
  ht->NewString(initialText_, 0x000000, 0xFFFFFF);
}

void TInfo::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Escape) {
    close();
    return;
  }
  QDialog::keyPressEvent(event);
}
