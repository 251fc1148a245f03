#pragma once
class QWidget;

namespace window {
// SIGTERM, SIGINT, SIGHUP and the end of the desktop session close `window`
// the normal way, so everything written at close is written.
void CloseOnShutdownSignals(QWidget* window);
}  // namespace window
