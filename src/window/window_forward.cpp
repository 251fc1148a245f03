#include "window/window_forward.h"

#include <QWidget>
#include <algorithm>

namespace window {

bool PlausibleActivationToken(const QByteArray& token) {
  return !token.isEmpty() && token.size() <= 512 &&
         std::all_of(token.begin(), token.end(), [](char c) { return c > ' ' && c < 127; });
}

void BringWindowForward(QWidget* window, const QByteArray& activationToken) {
  if (!window) return;
  if (PlausibleActivationToken(activationToken)) qputenv("XDG_ACTIVATION_TOKEN", activationToken);
  window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
  window->show();
  window->raise();
  window->activateWindow();
}

}  // namespace window
