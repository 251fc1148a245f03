// The settings dialog's server page: where the client connects and where
// the server's web scripts live.
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QVBoxLayout>

#include "setup/ui/settings_dialog.h"
#include "text/cp1251.h"

namespace media {

namespace {

QString Q(const std::string& cp1251) { return QString::fromStdString(text::Cp1251ToUtf8(cp1251)); }
std::string B(const QString& s) { return text::Utf8ToCp1251(s.trimmed().toStdString()); }

QLabel* BuddyLabel(const char* name, QWidget* buddy, QWidget* parent) {
  auto* label = new QLabel(parent);
  label->setObjectName(name);
  label->setBuddy(buddy);
  return label;
}

}  // namespace

QWidget* SettingsDialog::BuildServer() {
  auto* page = new QWidget;
  page->setObjectName("TabServer");
  auto* form = new QFormLayout;
  serverHost_ = new QLineEdit(page);
  serverHost_->setObjectName("ServerHost");
  serverPort_ = new QSpinBox(page);
  serverPort_->setObjectName("ServerPort");
  serverPort_->setRange(1, 65535);
  chatDir_ = new QLineEdit(page);
  chatDir_->setObjectName("ChatDirEdit");
  form->addRow(BuddyLabel("ServerLab", serverHost_, page), serverHost_);
  form->addRow(BuddyLabel("PortLab", serverPort_, page), serverPort_);
  form->addRow(BuddyLabel("ChatDirLab", chatDir_, page), chatDir_);
  serverProblem_ = new QLabel(page);
  serverProblem_->setObjectName("ServerProblem");
  serverProblem_->setStyleSheet("color: #c00000");
  serverProblem_->setWordWrap(true);
  auto* v = new QVBoxLayout(page);
  v->addLayout(form);
  v->addWidget(serverProblem_);
  auto* hint = new QLabel(page);
  hint->setObjectName("ServerHint");
  hint->setWordWrap(true);
  v->addWidget(hint);
  v->addStretch();
  return page;
}

void SettingsDialog::WireServer() {
  connect(serverHost_, &QLineEdit::textChanged, this, [this](const QString& s) {
    editor_->server = B(s);
    SyncServer(false);
  });
  connect(serverPort_, &QSpinBox::valueChanged, this, [this](int port) {
    editor_->port1 = port;
    SyncServer(false);
  });
  connect(chatDir_, &QLineEdit::textChanged, this, [this](const QString& s) {
    editor_->chatDir = B(s);
    SyncServer(false);
  });
}

void SettingsDialog::SyncServer(bool fields) {
  const SettingsEditor& e = *editor_;
  if (fields) {
    const QSignalBlocker b1(serverHost_), b2(serverPort_), b3(chatDir_);
    serverHost_->setText(Q(e.server));
    serverPort_->setValue(e.port1);
    chatDir_->setText(Q(e.chatDir));
  }
  const bool ru = settings_.RussianInterface;
  const bool valid = e.ServerValid();
  serverProblem_->setText(valid ? QString()
                                : ru ? "Адрес сервера — имя или адрес без пробелов, папка скриптов начинается с http://"
                                     : "The server is a host name or address without blanks; the scripts folder begins with http://");
  ok_->setEnabled(valid);
}

}  // namespace media
