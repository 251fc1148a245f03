#pragma once
// The chat session behind the main window, without widgets: it owns the
// connection to the server and the chat logic, answers what the connection
// asks (server, identity, login line) and decides what the window shows.
// The window implements SessionView and forwards the user's actions here.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "session/connection.h"
#include "chat/chat_controller.h"
#include "chat/document_pane.h"
#include "chat/moderator_commands.h"
#include "chat/server_remedies.h"

namespace markup {
class MarkupDocument;
}
namespace settings {
class Settings;
}

namespace window {

// What the session needs the window to show or ask, beyond what the chat
// logic shows (ChatView).
class SessionView : public ChatView {
 public:
  // The login dialog, modal; true when it ended with OK.
  virtual bool AskForIdentity(bool registration) = 0;
  // Logged in or not: the Say button follows.
  virtual void OnlineChanged(bool online) = 0;
  virtual void MenuStateChanged(bool connectEnabled) = 0;
  virtual void LampsChanged() = 0;
  // The buttons that need one addressee (and, for SendWav, one with audio).
  virtual void ControlsChanged(bool userInfo, bool sendWav) = 0;
  virtual void Warn(const std::string& russianUtf8, const std::string& englishUtf8) = 0;
  // Yes/No question, No the default (Windows-1251 texts).
  virtual bool AskYesNo(const std::string& russian, const std::string& english) = 0;
  // Yes/No question with the exclamation icon, Yes the default.
  virtual bool AskWarning(const std::string& russian, const std::string& english) { return AskYesNo(russian, english); }
};

class ChatSession : private session::ConnectionHost, private ChatLink, private ModeratorHost {
 public:
  ChatSession(settings::Settings& settings, ChatPanes panes, SessionView& view, QObject* parent = nullptr);
  ~ChatSession() override;

  ChatController& Chat() { return *chat_; }
  ModeratorCommands& Moderator() { return *moderator_; }
  session::ServerConnection& Connection() { return *connection_; }
  settings::Settings& Settings() { return settings_; }

  // Start-up: the waiting acknowledgements, contacts and smiley table.
  void LoadFiles();
  // The lines written before the first connection: the welcome line of
  // `comm`, the logo and the letter row of the transliteration pane.
  void WriteFirstLines(markup::MarkupDocument& topleft, markup::MarkupDocument& transl);
  // The archive shortcuts in the top bar, in the interface language.
  void ShowTopRight(markup::MarkupDocument& topright);
  // The first attempt to connect, 100 ms after the window first shows.
  void Start() { connection_->ScheduleReconnect(); }
  // The window closes: stop the connection, write what must last.
  void Close();
  void SetAudioCapable(bool capable) { audioCapable_ = capable; }

  // Menu actions.
  void Connect() { connection_->Connect(session::ServerConnection::Initiator::User); }
  void Disconnect() { connection_->Disconnect(); }
  void ChangeIdentity(bool registration);

  // The message line changed.  When it holds an "[img]…[/img]" pair every
  // such pair is rewritten at once and the new line is returned for the
  // window to show; otherwise the preview follows the line.
  std::optional<LineEdit> EnterChanged(const std::string& enterText);
  // The preview row was switched on or off; on shows the current line.
  void SetPreview(bool on, const std::string& enterText);
  bool CanSay(const std::string& enterText) const { return connection_->Connected() && !enterText.empty(); }
  // Sends the message line; false when nothing was sent.
  bool Say(const std::string& enterText);

  // Bytes counted by picture downloads, added to the totals and the lamps.
  void AddPictureTraffic(uint32_t in, uint32_t out, bool send, bool receive) {
    connection_->AddTraffic(in, out, send, receive);
  }

 private:
  // session::ConnectionHost
  session::ChatPane& CommPane() override { return commPane_; }
  std::string ServerHost() override;
  uint16_t ServerPort() override;
  std::string LocalAddress() override;
  std::string UserName() override;
  bool IdentityComplete() override;
  bool AskForIdentity(bool registration) override;
  std::string LoginLine() override;
  void DispatchLine(const std::string& line) override { chat_->Dispatch(line); }
  void OnlineChanged(bool online) override;
  void MenuStateChanged(bool connectEnabled) override { view_.MenuStateChanged(connectEnabled); }
  void LampsChanged() override { view_.LampsChanged(); }
  bool ShuttingDown() override { return closing_; }
  void TakeFriendsSnapshot() override { chat_->ConnectionStarting(); }
  void ShowEmptyOnlineList() override { chat_->ConnectionLost(); }
  void TraceSent(const std::string& line) override;
  bool RestartPending() override { return remedies_->Restart().Pending(); }
  void StartRestartRequest() override;
  void CancelRestartRequest() override { remedies_->Restart().Stop(); }
  bool DiscoveryRunning() override { return remedies_->Discovery().Busy(); }
  void StartDiscovery() override { remedies_->Discovery().Start(); }
  bool RussianTexts() override;

  // ChatLink
  void SendLine(const std::string& line) override { connection_->SendLine(line); }
  bool SocketOpen() override { return connection_->Connected(); }
  std::string SocketLocalAddress() override { return connection_->LocalAddressInUse(); }
  void Refused() override;
  void ControlsChanged() override;
  void ClearAddressRequests() override { chat_->Replies().ClearAddressRequests(); }
  // ModeratorHost
  std::string Target() override;
  bool AskYesNo(const std::string& russian, const std::string& english) override {
    return view_.AskYesNo(russian, english);
  }
  void OpenUrl(const std::string& url) override { view_.OpenUrl(url); }

  settings::Settings& settings_;
  SessionView& view_;
  DocumentPane commPane_;
  std::unique_ptr<session::ServerConnection> connection_;
  std::unique_ptr<ChatController> chat_;
  std::unique_ptr<ModeratorCommands> moderator_;
  std::unique_ptr<ServerRemedies> remedies_;
  bool audioCapable_ = false;
  bool closing_ = false;
};

}  // namespace window
