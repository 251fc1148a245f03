#include "window/desktop_integration.h"

#include <QApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QEvent>
#include <QPainter>
#include <QSystemTrayIcon>
#include <QWidget>

#include "resources/images.h"
#include "settings/settings.h"
#include "window/window_forward.h"

namespace window {
namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";

// A service that reads bodies as markup would take "<" and "&" as markup.
QString NoticeBody(const std::string& utf8, bool markup) {
  const QString body = QString::fromUtf8(utf8.c_str());
  return markup ? body.toHtmlEscaped() : body;
}

// The program's icon with the number of waiting messages on a red badge.
QIcon WaitingIcon(int count) {
  QPixmap pixmap = resources::AppIcon().pixmap(64, 64);
  QPainter p(&pixmap);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(210, 30, 30));
  p.drawEllipse(QRectF(30, 30, 34, 34));
  p.setPen(Qt::white);
  QFont f = p.font();
  f.setPixelSize(22);
  f.setBold(true);
  p.setFont(f);
  p.drawText(QRectF(30, 30, 34, 34), Qt::AlignCenter, count > 9 ? QString("9+") : QString::number(count));
  return QIcon(pixmap);
}

}  // namespace

DesktopIntegration::DesktopIntegration(settings::Settings& settings, QWidget* window)
    : QObject(window), settings_(settings), window_(window), notices_(settings, *this) {
  window_->installEventFilter(this);
  QDBusConnection bus = QDBusConnection::sessionBus();
  if (bus.isConnected()) {
    busConnected_ = bus.connect(kService, kPath, kService, "ActionInvoked", this,
                                SLOT(NotificationAction(uint, QString)));
    bus.connect(kService, kPath, kService, "ActivationToken", this,
                SLOT(NotificationActivationToken(uint, QString)));
  }
  if (!busConnected_) service_ = Service::Absent;
  UpdateTray();
}

DesktopIntegration::~DesktopIntegration() = default;

void DesktopIntegration::Arrived(NoticeKind kind, const std::string& sender, const std::string& text) {
  notices_.Arrived(kind, sender, text, window_->isActiveWindow());
}

void DesktopIntegration::SetNotifications(bool on) { settings_.Set(settings_.Notifications, on); }

void DesktopIntegration::SetTrayIcon(bool on) {
  settings_.Set(settings_.TrayIcon, on);
  UpdateTray();
}

void DesktopIntegration::ShowNotice(const std::string& title, const std::string& body) {
  if (testSink_) return testSink_->ShowNotice(title, body);
  switch (service_) {
    case Service::Absent:
      return ShowBalloon(title, body);
    case Service::Present:
      return SendNotice(title, body);
    case Service::Unknown:
    case Service::Asking:
      // Only the latest notice waits: each one replaces the last anyway.
      pendingTitle_ = title;
      pendingBody_ = body;
      noticePending_ = true;
      AskCapabilities();
      return;
  }
}

void DesktopIntegration::AskCapabilities() {
  if (service_ != Service::Unknown) return;
  service_ = Service::Asking;
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "GetCapabilities");
  // Asynchronous: a slow or missing service never holds up the chat.
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    QDBusPendingReply<QStringList> reply = *w;
    service_ = reply.isValid() ? Service::Present : Service::Absent;
    if (reply.isValid()) capabilities_ = reply.value();
    if (!noticePending_) return;
    noticePending_ = false;
    ShowNotice(pendingTitle_, pendingBody_);
  });
}

void DesktopIntegration::SendNotice(const std::string& title, const std::string& body) {
  QStringList actions;
  if (capabilities_.contains("actions"))
    actions = {"default", settings_.RussianInterface ? QString::fromUtf8("Открыть") : QString("Open")};
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
  call << QApplication::applicationName() << lastNotification_ << QString("chat-browser")
       << QString::fromUtf8(title.c_str()) << NoticeBody(body, capabilities_.contains("body-markup")) << actions
       << QVariantMap{{"desktop-entry", QString("chat-browser")}, {"category", QString(kCategory)}}
       << int32_t{-1};
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, title, body](QDBusPendingCallWatcher* w) {
    w->deleteLater();
    QDBusPendingReply<uint> reply = *w;
    if (reply.isValid()) {
      lastNotification_ = reply.value();
      return;
    }
    // The service went away: the tray shows this notice and the next ones.
    service_ = Service::Absent;
    ShowBalloon(title, body);
  });
}

void DesktopIntegration::ShowBalloon(const std::string& title, const std::string& body) {
  if (tray_) tray_->showMessage(QString::fromUtf8(title.c_str()), QString::fromUtf8(body.c_str()));
}

void DesktopIntegration::ShowWaiting(int count) {
  if (testSink_) return testSink_->ShowWaiting(count);
  if (!tray_) return;
  tray_->setIcon(count > 0 ? WaitingIcon(count) : resources::AppIcon());
  const QString waiting = settings_.RussianInterface ? QString::fromUtf8("Ждут личных сообщений: %1")
                                                     : QString("Private messages waiting: %1");
  tray_->setToolTip(count > 0 ? waiting.arg(count) : QApplication::applicationName());
}

void DesktopIntegration::NotificationAction(uint id, const QString& action) {
  if (id != lastNotification_ || action != "default") return;
  BringWindowForward(window_, activationToken_);
  activationToken_.clear();
}

void DesktopIntegration::NotificationActivationToken(uint id, const QString& token) {
  // Sent just before ActionInvoked for the same notification.
  if (id == lastNotification_) activationToken_ = token.toUtf8();
}

bool DesktopIntegration::eventFilter(QObject* watched, QEvent* event) {
  if (watched == window_ && event->type() == QEvent::ActivationChange && window_->isActiveWindow())
    notices_.WindowActivated();
  return QObject::eventFilter(watched, event);
}

void DesktopIntegration::UpdateTray() {
  const bool wanted = settings_.TrayIcon && QSystemTrayIcon::isSystemTrayAvailable();
  if (!wanted) {
    delete tray_;
    tray_ = nullptr;
    return;
  }
  if (tray_) return;
  tray_ = new QSystemTrayIcon(resources::AppIcon(), this);
  tray_->setToolTip(QApplication::applicationName());
  connect(tray_, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) BringWindowForward(window_);
  });
  connect(tray_, &QSystemTrayIcon::messageClicked, this, [this] { BringWindowForward(window_); });
  tray_->show();
  ShowWaiting(notices_.Waiting());
}

}  // namespace window
