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

namespace window {
namespace {

const char* const kService = "org.freedesktop.Notifications";
const char* const kPath = "/org/freedesktop/Notifications";

// Notification bodies may be read as markup by the notification service.
QString PlainBody(const std::string& utf8) { return QString::fromUtf8(utf8.c_str()).toHtmlEscaped(); }

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
  if (bus.isConnected())
    busConnected_ = bus.connect(kService, kPath, kService, "ActionInvoked", this,
                                SLOT(NotificationAction(uint, QString)));
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
  if (!busConnected_) {
    if (tray_) tray_->showMessage(QString::fromUtf8(title.c_str()), QString::fromUtf8(body.c_str()));
    return;
  }
  QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, "Notify");
  call << QApplication::applicationName() << lastNotification_ << QString("chat-browser")
       << QString::fromUtf8(title.c_str()) << PlainBody(body)
       << QStringList{"default", settings_.RussianInterface ? QString::fromUtf8("Открыть") : QString("Open")}
       << QVariantMap{{"desktop-entry", QString("chat-browser")}} << int32_t{-1};
  // Asynchronous: a slow or missing service never holds up the chat.
  auto* watcher = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    QDBusPendingReply<uint> reply = *w;
    if (reply.isValid()) lastNotification_ = reply.value();
    w->deleteLater();
  });
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
  if (id == lastNotification_ && action == "default") BringWindowForward();
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
    if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick) BringWindowForward();
  });
  connect(tray_, &QSystemTrayIcon::messageClicked, this, &DesktopIntegration::BringWindowForward);
  tray_->show();
  ShowWaiting(notices_.Waiting());
}

void DesktopIntegration::BringWindowForward() {
  if (window_->isMinimized()) window_->showNormal();
  window_->show();
  window_->raise();
  window_->activateWindow();
}

}  // namespace window
