#pragma once
// LoginDialog: asks for the chat name and password, and in registration mode for
// the e-mail address too.
#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace settings {
class Settings;
}

namespace window {

class LoginDialog : public QDialog {
  Q_OBJECT
 public:
  explicit LoginDialog(settings::Settings& settings, QWidget* parent = nullptr);

  void SetRegistration(bool registration) { registration_ = registration; }
  bool Registration() const { return registration_; }
  // Fills the dialog for showing: captions by mode and language, the stored
  // name, focus.  Called by exec().
  void Prepare();
  int exec() override;

  QLineEdit* Name;
  QLineEdit* Password;
  QLineEdit* Mail;
  QLineEdit* ServerField;  // "host:port" of the chat server
  QLabel* NamLab;
  QLabel* PassLab;
  QLabel* MailLab;
  QLabel* ServerLab;
  QLabel* Problem;  // why OK refused the input
  QPushButton* ButOk;
  QPushButton* ButCancel;
  QPushButton* SendPass;

 private:
  void FieldsChanged();
  void OkClick();

  settings::Settings& settings_;
  bool registration_ = false;
};

}  // namespace window
