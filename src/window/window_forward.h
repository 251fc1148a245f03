#pragma once
// Brings a top-level window forward: out of the minimised state (keeping
// maximised), raised and activated.  A window system that gates activation
// (Wayland) lets a program activate its window only with a token the
// desktop handed out for a user's action, such as a click on a
// notification or a second start from a launcher; Qt reads that token from
// XDG_ACTIVATION_TOKEN when it activates the window.
#include <QByteArray>

class QWidget;

namespace window {

void BringWindowForward(QWidget* window, const QByteArray& activationToken = {});

// A token as a launcher or notification service hands it out: printable
// ASCII without blanks, at most 512 bytes.
bool PlausibleActivationToken(const QByteArray& token);

}  // namespace window
