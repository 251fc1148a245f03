#pragma once
// TMainForm: the application window.  It owns every pane, the connection
// and the session state, and wires the logic pieces together; the logic
// itself lives in the core libraries.
#include <QMainWindow>
#include <map>
#include <memory>
#include <string>

#include "session/connection.h"
#include "window/chat_controller.h"
#include "window/document_pane.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QSplitter;
class QToolButton;
class TReg;
class TZevoHTML;

namespace media {
class Settings;
}

class TMainForm : public QMainWindow, private session::ConnectionHost, private window::ChatEnvironment {
  Q_OBJECT
 public:
  explicit TMainForm(media::Settings& settings, QWidget* parent = nullptr);
  ~TMainForm() override;

  // Operations other windows use.
  void SendLine(const std::string& line) override { connection_->SendLine(line); }
  window::ChatController& Chat() { return *chat_; }
  session::ServerConnection& Connection() { return *connection_; }
  media::Settings& Settings() { return settings_; }
  bool Russian() const;
  void SetLoginDialog(TReg* dialog) { reg_ = dialog; }

  // The language switch: every caption and hint, the archive shortcuts, the
  // markup views' popup language.
  void SwitchLanguage(bool russian);
  // Handles one line from the server.
  void DispatchLine(const std::string& line) override;

  // Reached from other threads' owners by queued invocation: a picture
  // failed to load (enables "refresh pictures"), and download traffic for
  // the lamps (the views' traffic counters are moved into the totals).
  Q_INVOKABLE void PictureLoadFailed();
  Q_INVOKABLE void TrafficReport(bool send, bool receive) { ApplyTrafficReport(send, receive); }

  QAction* Action(const std::string& name) const;
  QMenu* Menu(const std::string& name) const;

  // Panes.
  TZevoHTML* topleft;
  TZevoHTML* topright;
  TZevoHTML* users;
  TZevoHTML* dirconn;
  TZevoHTML* comm;
  TZevoHTML* priv;
  TZevoHTML* prev;
  TZevoHTML* transl;
  TZevoHTML* towhom;
  // Panels and controls.
  QWidget* TopPanel;
  QWidget* LeftPanel;
  QWidget* Panel2;
  QWidget* PrevPanelBig;
  QWidget* TransPanelBig;
  QWidget* BotPanel;
  QWidget* LedPanel;
  QWidget* LedBox;
  QLabel* PrevLab;
  QLabel* TransLab;
  QLabel* PrivLab;
  QLabel* MessLab;
  QLabel* AudioSize;
  QPushButton* UserInfo;
  QPushButton* ClearCommon;
  QPushButton* ClearPrivate;
  QPushButton* SendWav;
  QPushButton* Say;
  QPushButton* AddSmile;
  QLineEdit* Enter;
  QToolButton* Sm[10];

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // session::ConnectionHost
  session::ChatPane& CommPane() override { return *commPane_; }
  std::string ServerHost() override;
  uint16_t ServerPort() override;
  std::string UserName() override;
  bool IdentityComplete() override;
  bool AskForIdentity(bool registration) override;
  std::string LoginLine() override;
  void OnlineChanged(bool online) override;
  void MenuStateChanged(bool connectEnabled) override;
  void LampsChanged() override;
  bool ShuttingDown() override { return closing_; }
  void TakeFriendsSnapshot() override { chat_->ConnectionStarting(); }
  void ShowEmptyOnlineList() override { chat_->ConnectionLost(); }
  void TraceSent(const std::string& line) override;

  // window::ChatEnvironment
  bool SocketOpen() override { return connection_->Connected(); }
  void Trace(const std::string& text) override;
  void Beep() override;
  void PlayWave(const std::string& file) override;
  void BringToFront() override;
  bool NoSound() override;
  void Refused() override { RefuseLogin(); }
  void ControlsChanged() override;
  void OpenUrl(const std::string& url) override;
  void ServiceRecord(const wire::Record& record, const std::string& kind) override;
  void ArchiveLine(const std::string& line) override;
  void PatchArchive(const std::string& number, int oldPicture, int newPicture) override;

  void WireChat();
  window::LineEdit EnterState() const;
  void ApplyEnterState(const window::LineEdit& edit);
  void SayClick();
  void BuildPanes();
  void BuildMenus();
  void ApplySettings();
  void WriteFirstLines();
  void PaintLeds();
  void ClipboardChanged();
  void ChangeIdentity(session::ServerConnection::Initiator initiator);
  void RefuseLogin();
  void ShowAbout();
  void Warn(const QString& russian, const QString& english);
  void ApplyTrafficReport(bool send, bool receive);

  QAction* AddAction(QMenu* menu, const std::string& name, const QString& designCaption,
                     const QKeySequence& shortcut = {});

  media::Settings& settings_;
  std::unique_ptr<session::ServerConnection> connection_;
  std::unique_ptr<window::DocumentPane> commPane_;
  std::unique_ptr<window::ChatController> chat_;
  TReg* reg_ = nullptr;
  std::map<std::string, QAction*> actions_;
  std::map<std::string, QMenu*> menus_;
  bool audioCapable_ = false;
  bool closing_ = false;
  bool shownOnce_ = false;
};
