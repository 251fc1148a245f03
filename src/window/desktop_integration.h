#pragma once
// DesktopIntegration: the main window's side of DesktopNotices — desktop
// notifications through the freedesktop notification service (a click
// brings the window forward, with the activation token the service hands
// out) and the tray icon that shows waiting private messages.  The
// service's capabilities are asked once before the first notification, so
// markup is escaped only where it would be read as markup and actions are
// offered only where they work.  Without a notification service on the bus
// a notice shows as a balloon of the tray icon.  Either can be switched
// off; nothing shows while the main window is active.
#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>
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

  // What the notification service said it can do; empty until it answered.
  enum class Service { Unknown, Asking, Present, Absent };
  Service NotificationService() const { return service_; }
  const QStringList& Capabilities() const { return capabilities_; }
  // The id the service gave the last notification shown.
  uint32_t LastNotification() const { return lastNotification_; }

  static constexpr const char* kCategory = "im.received";

 private Q_SLOTS:
  void NotificationAction(uint id, const QString& action);
  void NotificationActivationToken(uint id, const QString& token);

 private:
  void AskCapabilities();
  void SendNotice(const std::string& title, const std::string& body);
  void ShowBalloon(const std::string& title, const std::string& body);
  void ShowNotice(const std::string& title, const std::string& body) override;
  void ShowWaiting(int count) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void UpdateTray();

  settings::Settings& settings_;
  QWidget* window_;
  DesktopNotices notices_;
  NoticeSink* testSink_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  // One notification at a time: the next replaces the last, so a flood of
  // messages never piles up on the desktop.
  uint32_t lastNotification_ = 0;
  bool busConnected_ = false;
  Service service_ = Service::Unknown;
  QStringList capabilities_;
  // The notice that arrived while the capabilities were asked.
  std::string pendingTitle_, pendingBody_;
  bool noticePending_ = false;
  // Handed out with a click on the last notification, used once.
  QByteArray activationToken_;
};

}  // namespace window
