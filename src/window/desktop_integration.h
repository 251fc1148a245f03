#pragma once
// DesktopIntegration: the main window's side of DesktopNotices — desktop
// notifications through the freedesktop notification service (a click
// brings the window forward) and the tray icon that shows waiting private
// messages.  Either can be switched off; nothing shows while the main
// window is active.
#include <QObject>
#include <QString>
#include <cstdint>
#include <memory>
#include <string>

#include "chat/desktop_notices.h"

class QSystemTrayIcon;
class QWidget;
class QDBusPendingCallWatcher;

namespace settings {
class Settings;
}

namespace window {

class DesktopIntegration : public QObject, private NoticeSink {
  Q_OBJECT
 public:
  DesktopIntegration(settings::Settings& settings, QWidget* window);
  ~DesktopIntegration() override;

  void Arrived(NoticeKind kind, const std::string& sender, const std::string& text);
  // The View menu's switches; each writes its setting.
  void SetNotifications(bool on);
  void SetTrayIcon(bool on);

  DesktopNotices& Notices() { return notices_; }
  // Tests look at what would be shown instead of the desktop showing it.
  void SetSinkForTests(NoticeSink* sink) { testSink_ = sink; }
  // The tray icon, when the desktop has a tray and it is switched on.
  QSystemTrayIcon* Tray() const { return tray_; }

 private Q_SLOTS:
  void NotificationAction(uint id, const QString& action);

 private:
  void ShowNotice(const std::string& title, const std::string& body) override;
  void ShowWaiting(int count) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void UpdateTray();
  void BringWindowForward();

  settings::Settings& settings_;
  QWidget* window_;
  DesktopNotices notices_;
  NoticeSink* testSink_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  // One notification at a time: the next replaces the last, so a flood of
  // messages never piles up on the desktop.
  uint32_t lastNotification_ = 0;
  bool busConnected_ = false;
};

}  // namespace window
