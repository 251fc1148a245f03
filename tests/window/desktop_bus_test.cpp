// Desktop notifications over a real session bus of the test's own, with a
// notification service played by the test: what is sent depends on what the
// service says it can do, and a click brings the window forward with the
// service's activation token.
#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QProcess>
#include <QTemporaryDir>
#include <QWidget>

#include "qt_wait.h"
#include "settings/settings.h"
#include "window/desktop_integration.h"

namespace {

// The service side of org.freedesktop.Notifications, recording each call.
class NotificationService : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
 public:
  explicit NotificationService(QStringList capabilities) : capabilities_(std::move(capabilities)) {}

  struct Notice {
    QString summary, body;
    QStringList actions;
    QVariantMap hints;
  };
  std::vector<Notice> notices;
  int capabilityQuestions = 0;

 public Q_SLOTS:
  QStringList GetCapabilities() {
    ++capabilityQuestions;
    return capabilities_;
  }
  uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body,
              const QStringList& actions, const QVariantMap& hints, int) {
    notices.push_back({summary, body, actions, hints});
    return static_cast<uint>(notices.size()) + 40;
  }

 Q_SIGNALS:
  void ActionInvoked(uint id, const QString& action);
  void ActivationToken(uint id, const QString& token);

 private:
  QStringList capabilities_;
};

// One bus for the whole program: Qt keeps the first session bus it meets.
class Bus {
 public:
  static Bus& Get() {
    static Bus bus;
    return bus;
  }
  bool Running() const { return !address_.isEmpty(); }
  const QString& Address() const { return address_; }

 private:
  Bus() {
    daemon_.start("dbus-daemon", {"--session", "--nofork", "--print-address=1"});
    if (!daemon_.waitForStarted(5000) || !daemon_.waitForReadyRead(5000)) return;
    address_ = QString::fromUtf8(daemon_.readLine().trimmed());
    qputenv("DBUS_SESSION_BUS_ADDRESS", address_.toUtf8());
  }
  ~Bus() {
    daemon_.kill();
    daemon_.waitForFinished(5000);
  }
  QProcess daemon_;
  QString address_;
};

class DesktopBus : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!Bus::Get().Running()) GTEST_SKIP() << "dbus-daemon is not installed";
    ASSERT_TRUE(QDBusConnection::sessionBus().isConnected());
    settings_.Load(dir_.path().toStdString() + "/");
    settings_.Notifications = true;
  }
  // Puts a service with `capabilities` on the bus for this test.
  NotificationService& Serve(const QStringList& capabilities) {
    service_ = std::make_unique<NotificationService>(capabilities);
    serviceBus_ = std::make_unique<QDBusConnection>(
        QDBusConnection::connectToBus(Bus::Get().Address(), "service"));
    EXPECT_TRUE(serviceBus_->registerObject("/org/freedesktop/Notifications", service_.get(),
                                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals));
    EXPECT_TRUE(serviceBus_->registerService("org.freedesktop.Notifications"));
    return *service_;
  }
  void TearDown() override {
    if (!serviceBus_) return;
    serviceBus_->unregisterService("org.freedesktop.Notifications");
    serviceBus_->unregisterObject("/org/freedesktop/Notifications");
    serviceBus_.reset();
    QDBusConnection::disconnectFromBus("service");
  }

  QTemporaryDir dir_;
  settings::Settings settings_;
  QWidget window_;
  std::unique_ptr<NotificationService> service_;
  std::unique_ptr<QDBusConnection> serviceBus_;
};

TEST_F(DesktopBus, PlainServiceGetsPlainTextNoActionsAndTheCategory) {
  NotificationService& service = Serve({"body"});
  window::DesktopIntegration desktop(settings_, &window_);
  // Two notices while the service is asked: the later one replaces the first.
  desktop.Arrived(window::NoticeKind::Private, "pete", "first");
  desktop.Arrived(window::NoticeKind::Private, "pete", "fish & chips > soup");
  ASSERT_TRUE(WaitFor([&] { return service.notices.size() == 1; }));
  desktop.Arrived(window::NoticeKind::Private, "pete", "second");
  ASSERT_TRUE(WaitFor([&] { return service.notices.size() == 2; }));
  EXPECT_EQ(service.capabilityQuestions, 1);  // asked once, before the first notice
  EXPECT_EQ(service.notices[0].body, "fish & chips > soup");
  EXPECT_TRUE(service.notices[0].actions.isEmpty());
  EXPECT_EQ(service.notices[0].hints.value("category").toString(), "im.received");
  EXPECT_EQ(service.notices[0].hints.value("desktop-entry").toString(), "chat-browser");
  EXPECT_EQ(service.notices[1].body, "second");
  EXPECT_EQ(desktop.NotificationService(), window::DesktopIntegration::Service::Present);
}

TEST_F(DesktopBus, MarkupServiceGetsEscapedTextAndAClickRaisesWithTheToken) {
  NotificationService& service = Serve({"body", "body-markup", "actions"});
  window::DesktopIntegration desktop(settings_, &window_);
  window_.showMinimized();
  qunsetenv("XDG_ACTIVATION_TOKEN");
  desktop.Arrived(window::NoticeKind::Private, "pete", "fish & chips > soup");
  ASSERT_TRUE(WaitFor([&] { return service.notices.size() == 1; }));
  EXPECT_EQ(service.notices[0].body, "fish &amp; chips &gt; soup");
  EXPECT_EQ(service.notices[0].actions.value(0), "default");
  // The id the service gave must reach the client before the click counts.
  ASSERT_TRUE(WaitFor([&] { return desktop.LastNotification() == 41; }));

  // A click on another notification does nothing; one on ours raises.
  emit service.ActivationToken(7, "other-token");
  emit service.ActionInvoked(7, "default");
  emit service.ActivationToken(41, "token-41");
  emit service.ActionInvoked(41, "default");
  ASSERT_TRUE(WaitFor([&] { return !window_.isMinimized(); }));
  EXPECT_EQ(qgetenv("XDG_ACTIVATION_TOKEN"), "token-41");
  qunsetenv("XDG_ACTIVATION_TOKEN");
}

TEST_F(DesktopBus, WithoutANotificationServiceTheNoticeGoesToTheTray) {
  window::DesktopIntegration desktop(settings_, &window_);
  desktop.Arrived(window::NoticeKind::Private, "pete", "hello");
  ASSERT_TRUE(WaitFor([&] { return desktop.NotificationService() == window::DesktopIntegration::Service::Absent; }));
}

}  // namespace

#include "desktop_bus_test.moc"
