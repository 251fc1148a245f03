#pragma once
class QWidget;

namespace window {
// Catches SIGTERM, SIGINT and SIGHUP from now on; one that arrives before a
// window is named closes that window as soon as it is.
void CatchShutdownSignals();
// Those signals and the end of the desktop session close `window` the
// normal way, so everything written at close is written.
void CloseOnShutdownSignals(QWidget* window);
}  // namespace window
