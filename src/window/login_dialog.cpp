#include "window/login_dialog.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "settings/settings.h"
#include "session/login.h"
#include "session/server_address.h"
#include "window/qt_text.h"

namespace window {

LoginDialog::LoginDialog(settings::Settings& settings, QWidget* parent) : QDialog(parent), settings_(settings) {
  setModal(true);
  Name = new QLineEdit(this);
  Password = new QLineEdit(this);
  Password->setEchoMode(QLineEdit::Password);
  Mail = new QLineEdit(this);
  ServerField = new QLineEdit(this);
  ServerField->setObjectName("ServerField");
  NamLab = new QLabel(this);
  PassLab = new QLabel(this);
  MailLab = new QLabel(this);
  ServerLab = new QLabel(this);
  NamLab->setBuddy(Name);
  PassLab->setBuddy(Password);
  MailLab->setBuddy(Mail);
  ServerLab->setBuddy(ServerField);
  Problem = new QLabel(this);
  Problem->setStyleSheet("color: #c00000");
  Problem->setWordWrap(true);
  Problem->hide();
  ButOk = new QPushButton(this);
  ButOk->setDefault(true);
  ButOk->setEnabled(false);
  ButCancel = new QPushButton(this);
  SendPass = new QPushButton(this);
  SendPass->hide();

  auto* grid = new QGridLayout(this);
  grid->addWidget(NamLab, 0, 0);
  grid->addWidget(Name, 0, 1);
  grid->addWidget(PassLab, 1, 0);
  grid->addWidget(Password, 1, 1);
  grid->addWidget(MailLab, 2, 0);
  grid->addWidget(Mail, 2, 1);
  grid->addWidget(ServerLab, 3, 0);
  grid->addWidget(ServerField, 3, 1);
  grid->addWidget(Problem, 4, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(SendPass);
  buttons->addWidget(ButOk);
  buttons->addWidget(ButCancel);
  grid->addLayout(buttons, 5, 0, 1, 2);

  for (QLineEdit* edit : {Name, Password, Mail, ServerField}) connect(edit, &QLineEdit::textChanged, this, &LoginDialog::FieldsChanged);
  connect(ButOk, &QPushButton::clicked, this, &LoginDialog::OkClick);
  connect(SendPass, &QPushButton::clicked, this, &LoginDialog::OkClick);
  connect(ButCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void LoginDialog::Prepare() {
  const bool ru = settings_.RussianInterface;
  Name->setEnabled(true);
  Password->setEnabled(true);
  Mail->setEnabled(registration_);
  if (!registration_) Mail->clear();
  Mail->setStyleSheet(registration_ ? "background: white" : "background: palette(button)");
  if (registration_)
    setWindowTitle(ru ? "Регистрация" : "Registration");
  else
    setWindowTitle(ru ? "Вход в Чат" : "Logging in");
  NamLab->setText(ru ? "&Имя:" : "&Name:");
  PassLab->setText(ru ? "&Пароль:" : "&Password:");
  MailLab->setText(ru ? "&Е-мейл:" : "&E-mail:");
  ServerLab->setText(ru ? "&Сервер:" : "&Server:");
  ServerField->setToolTip(ru ? "Адрес сервера чата: имя или адрес и порт через двоеточие"
                             : "The chat server: host name or address and port after a colon");
  ServerField->setText(ToQ(session::FormatServerAddress(settings_.Server, settings_.Port1)));
  ButOk->setText(ru ? "Ок" : "Ok");
  ButCancel->setText(ru ? "Отмена" : "Cancel");
  SendPass->setText(ru ? "Выслать пароль" : "Send password");
  SendPass->setToolTip(ru ? "Пароль будет выслан на адрес, указанный при регистрации"
                          : "Password will be send to address, mentioned at registration");
  Name->setText(ToQ(settings_.UserName));
  Problem->hide();
  FieldsChanged();
  (Name->text().isEmpty() ? Name : Password)->setFocus();
}

int LoginDialog::exec() {
  Prepare();
  return QDialog::exec();
}

void LoginDialog::FieldsChanged() {
  ButOk->setEnabled(session::LoginOkEnabled(FromQ(Name->text()), FromQ(Password->text()), FromQ(Mail->text()),
                                            registration_) &&
                    session::ParseServerAddress(FromQ(ServerField->text()), settings_.Port1).has_value());
  SendPass->setEnabled(!Name->text().isEmpty());
}

void LoginDialog::OkClick() {
  const bool ru = settings_.RussianInterface;
  // These fields go into the login line unescaped, so bytes that frame the
  // line would break it.
  const std::pair<QLineEdit*, QLabel*> fields[] = {{Name, NamLab}, {Password, PassLab}, {Mail, MailLab}};
  for (const auto& [edit, label] : fields) {
    const std::string bad = session::ForbiddenLoginChar(FromQ(edit->text()));
    if (bad.empty()) continue;
    Problem->setText((ru ? QString("Поле «%1» не может содержать символ «%2».")
                         : QString("The field \"%1\" may not contain the character \"%2\"."))
                         .arg(label->text().remove(':').remove('&'), ToQ(bad)));
    Problem->show();
    edit->setFocus();
    return;
  }
  const std::optional<session::ServerAddress> server =
      session::ParseServerAddress(FromQ(ServerField->text()), settings_.Port1);
  if (!server) {
    Problem->setText(ru ? "Адрес сервера: имя или адрес, двоеточие и порт от 1 до 65535."
                        : "Server address: host name or address, a colon and a port from 1 to 65535.");
    Problem->show();
    ServerField->setFocus();
    return;
  }
  if (server->host != settings_.Server || server->port != settings_.Port1)
    settings_.SetServerAddress(settings_.ChatDir, server->port, server->host);
  settings_.UserNum.clear();
  settings_.UserName = FromQ(Name->text());
  settings_.Password = FromQ(Password->text());
  settings_.UserMail = FromQ(Mail->text());
  settings_.UserSmileNum.clear();
  settings_.SaveIdentity();
  accept();
}

}  // namespace window
