#pragma once
// MainWindow: the application window.  It builds the panes, menus and
// controls, shows what the chat session asks it to show and forwards the
// user's actions to the session; the chat logic lives in ChatSession and
// ChatController.
#include <QMainWindow>
#include <array>
#include <map>
#include <memory>
#include <string>

#include "chat/chat_session.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QToolButton;

namespace markup {
class FindBar;
class MarkupView;
}
namespace settings {
class Settings;
}

namespace window {

class DesktopReactions;
class DesktopIntegration;
class GameWindows;
class LoginDialog;
class MediaWidgets;
class MediaWindows;
class SettingsMenu;
class MessageLine;
struct LineEdit;

// The tool tip of picture `number` of a pane, a link to `link` when not empty.
inline constexpr int kArchiveShortcutPicture = -11;
std::string PictureTip(int number, const std::string& link, bool russian);

class MainWindow : public QMainWindow, private SessionView {
  Q_OBJECT
 public:
  explicit MainWindow(settings::Settings& settings, QWidget* parent = nullptr);
  ~MainWindow() override;
  // Shows the window where it was at the last close (maximized unless it
  // was closed in a normal state), inside the screens there are.
  void ShowAtKeptPlace();

  ChatSession& Session() { return *session_; }
  MediaWindows& Media() { return *media_; }
  SettingsMenu& Setup() { return *setup_; }
  DesktopIntegration& Desktop() { return *desktop_; }
  MediaWidgets& MediaUi() { return *mediaUi_; }
  GameWindows& Games() { return *games_; }
  ChatController& Chat() { return *chat_; }
  session::ServerConnection& Connection() { return session_->Connection(); }
  settings::Settings& Settings() { return settings_; }
  bool Russian() const;
  void SetLoginDialog(LoginDialog* dialog) { loginDialog_ = dialog; }

  // The language switch: every caption and hint, the archive shortcuts, the
  // markup views' popup language.
  void SwitchLanguage(bool russian);

  QAction* Action(const std::string& name) const;
  QMenu* Menu(const std::string& name) const;
  // The lamps' tool tip: server, connection state, traffic.
  QString LampsToolTip() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // SessionView
  bool AskForIdentity(bool registration) override;
  void OnlineChanged(bool online) override;
  void MenuStateChanged(bool connectEnabled) override;
  void LampsChanged() override;
  void ControlsChanged(bool userInfo, bool sendWav) override;
  void ModeratorChanged(bool moderator) override;
  void Warn(const std::string& russianUtf8, const std::string& englishUtf8) override;
  void Trace(const std::string& text) override;
  bool AskYesNo(const std::string& russian, const std::string& english) override;
  bool AskWarning(const std::string& russian, const std::string& english) override;
  void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width, int height,
                bool append) override;
  void Beep() override;
  void PlayWave(const std::string& file) override;
  void BringToFront() override;
  bool NoSound() override;
  bool SettingsDialogVisible() override;
  void OpenUrl(const std::string& url) override;
  void Notice(NoticeKind kind, const std::string& sender, const std::string& text) override;

  void BuildPanes();
  void BuildMenus();
  void WireLinks();
  void WireMessageLine();
  void WirePictures();
  void ApplySettings();
  // accessible_names.cpp
  void NameControls(bool russian);
  void PaintLeds();
  void ClipboardChanged();
  void ShowAbout();
  void SayClick();
  LineEdit EnterState() const;
  void ApplyEnterState(const LineEdit& edit);
  QAction* AddAction(QMenu* menu, const std::string& name, const QString& designCaption,
                     const QKeySequence& shortcut = {});

  settings::Settings& settings_;
  std::unique_ptr<ChatSession> session_;
  ChatController* chat_ = nullptr;  // the session's chat logic
  std::unique_ptr<MediaWindows> media_;  // archive viewers, additional smileys
  std::unique_ptr<DesktopReactions> reactions_;
  std::unique_ptr<SettingsMenu> setup_;  // "Settings ..." and its dialog
  DesktopIntegration* desktop_ = nullptr;  // notifications and the tray icon; a child
  std::unique_ptr<MediaWidgets> mediaUi_;  // audio, direct links, pictures
  std::unique_ptr<GameWindows> games_;   // game channel and windows, Games menu
  LoginDialog* loginDialog_ = nullptr;
  // Every menu item by object name, for the captions; the items the window
  // works with are also held by what they do.
  std::map<std::string, QAction*> actions_;
  std::map<std::string, QMenu*> menus_;
  struct MenuItems {
    QAction* connect = nullptr;
    QAction* disconnect = nullptr;
    QAction* setup = nullptr;
    QAction* noSound = nullptr;
    QAction* preview = nullptr;
    QAction* refresh = nullptr;
    QAction* animation = nullptr;
    QAction* russian = nullptr;
    QAction* english = nullptr;
    QAction* sendBuf = nullptr;
    QAction* debugMode = nullptr;
    QAction* checkIp = nullptr;
    std::array<QAction*, 4> fineType{};
    QMenu* games = nullptr;
    std::array<QAction*, 3> newGame{};   // by game kind: checkers, chess, reversi
    std::array<QAction*, 3> loadGame{};
    QMenu* admin = nullptr;
  } items_;
  bool shownOnce_ = false;

  // Panes.
  markup::MarkupView* topleft_ = nullptr;
  markup::MarkupView* topright_ = nullptr;
  markup::MarkupView* users_ = nullptr;
  markup::MarkupView* dirconn_ = nullptr;
  markup::MarkupView* comm_ = nullptr;
  markup::MarkupView* priv_ = nullptr;
  markup::MarkupView* prev_ = nullptr;
  markup::MarkupView* transl_ = nullptr;
  markup::MarkupView* towhom_ = nullptr;
  // Controls.
  QWidget* prevPanel_ = nullptr;
  QWidget* transPanel_ = nullptr;
  QWidget* ledPanel_ = nullptr;
  QWidget* ledBox_ = nullptr;
  QPushButton* userInfo_ = nullptr;
  QPushButton* sendWav_ = nullptr;
  QPushButton* say_ = nullptr;
  QLineEdit* enter_ = nullptr;
  MessageLine* messageLine_ = nullptr;
  markup::FindBar* findBar_ = nullptr;
};

}  // namespace window
