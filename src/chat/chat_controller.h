#pragma once
// The chat logic of the main window without its widgets: it owns the
// dispatcher, the waiting acknowledgements, the online and contact lists,
// the addressees, the send operation and the private archive, talks to the
// panes through their documents, hands game traffic to the games and
// everything else to ChatEnvironment.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "session/acknowledgements.h"
#include "session/dispatcher.h"
#include "session/service_replies.h"
#include "chat/chat_services.h"
#include "chat/desktop_notices.h"
#include "chat/link_actions.h"
#include "chat/online_list.h"
#include "chat/sending.h"

namespace games {
class GameTraffic;
}
namespace markup {
class MarkupDocument;
}
namespace settings {
class Settings;
}

namespace window {

// Audio messages, pictures and direct links: what the server sends them,
// and the action links of the audio messages.
class MediaTraffic {
 public:
  virtual ~MediaTraffic() = default;
  // An "f|" line of the server.
  virtual void MediaLine(const std::string& line) = 0;
  // A "p|" answer; true when it named a direct link (and is used up).
  virtual bool AddressAnswer(const std::string& line) = 0;
  // A swallowed "DirectLink::TryToConnect" notice from `sender`.
  virtual void LinkNotice(const std::string& sender) = 0;
  // "::Play", "::Stop", "::Delt", "::Save", "::Arch" + id, "::PlAr" + base.
  virtual void AudioLink(const std::string& target) = 0;
};

struct ChatPanes {
  markup::MarkupDocument& comm;
  markup::MarkupDocument& priv;
  markup::MarkupDocument& users;
  markup::MarkupDocument& towhom;
  markup::MarkupDocument& prev;
};

// What the chat logic shows or plays: the window's side.
class ChatView {
 public:
  virtual ~ChatView() = default;
  virtual void Trace(const std::string& text) = 0;
  virtual void Beep() = 0;
  virtual void PlayWave(const std::string& file) = 0;
  virtual void BringToFront() = 0;
  virtual bool NoSound() = 0;
  // Reactions do not take the focus from the settings dialog.
  virtual bool SettingsDialogVisible() { return false; }
  virtual void OpenUrl(const std::string& /*url*/) {}
  // Information windows and the moderator menu, for the service replies.
  virtual void ShowInfoWindow(const std::string& /*key*/, const std::string& /*title*/, const std::string& /*text*/,
                              int /*width*/, int /*height*/, bool /*append*/) {}
  virtual void ModeratorChanged(bool /*moderator*/) {}
  // What the desktop is told while the window is not active.
  virtual void Notice(NoticeKind /*kind*/, const std::string& /*sender*/, const std::string& /*text*/) {}
};

// The connection's side: sending, its state, and what follows a refusal or
// a change of the addressee or online list.
class ChatLink {
 public:
  virtual ~ChatLink() = default;
  virtual void SendLine(const std::string& line) = 0;
  virtual bool SocketOpen() = 0;
  // The local address of the connection to the chat server; empty without one.
  virtual std::string SocketLocalAddress() { return {}; }
  virtual void Refused() = 0;
  // The addressee list or the online list changed: SendWav, UserInfo, games.
  virtual void ControlsChanged() {}
};

// Both sides in one object (tests and benchmarks).
class ChatEnvironment : public ChatLink, public ChatView {};

class ChatController : public ChatServices,
                       private session::DispatcherHost,
                       private session::AcknowledgementHost,
                       private session::ServiceRepliesHost {
 public:
  ChatController(settings::Settings& settings, ChatPanes panes, ChatLink& link, ChatView& view);
  ChatController(settings::Settings& settings, ChatPanes panes, ChatEnvironment& env)
      : ChatController(settings, panes, env, env) {}
  ~ChatController() override;

  // ChatServices (SendLine, Trace, ShowInfoWindow and React below serve it too)
  void SetGameTraffic(games::GameTraffic* games) override { games_ = games; }
  void SetMediaTraffic(MediaTraffic* media) override { media_ = media; }
  settings::Settings& Settings() override { return settings_; }
  bool Connected() const override { return link_.SocketOpen(); }
  std::string LocalAddressInUse() const override { return link_.SocketLocalAddress(); }
  const std::vector<std::string>& AddresseeNames() const override { return addressees_.Names(); }
  bool PeerHasGameClient(const std::string& name) const override { return online_.PeerHasGameClient(name); }
  std::string ClientInfo(const std::string& name) const override { return online_.ClientInfo(name); }
  bool BlackListed(const std::string& name) override { return contacts_.IsBlackListed(name); }
  markup::MarkupDocument& PrivatePane() override { return panes_.priv; }
  std::string ChatTextMarkup(const std::string& text) const override { return CodesToMarkup(text, false); }

  // Smiley and picture codes to markup (own: the user's own typed text,
  // transliterated first).
  std::string CodesToMarkup(const std::string& text, bool own) const;
  // What a typed text becomes before it is sent: transliteration, then the
  // own picture codes in the form receivers show.
  std::string PrepareOwnText(const std::string& text) const override;
  // Moderator rights and the debug trace both on.
  bool TraceEnabled() override;

  // Start-up and close.
  void LoadFiles();
  void SaveFiles();

  // Connection events.
  void Dispatch(const std::string& line) { dispatcher_.Dispatch(line); }
  void ConnectionStarting() { online_.TakeFriendsSnapshot(); }
  void ConnectionLost() { ShowOnlineList(""); }
  bool Moderator() const { return replies_.Moderator(); }

  // The user's actions.  Say returns false when nothing was sent.
  bool Say(const std::string& enterText);
  void SendChatMessage(const std::string& addressees, const std::string& text, bool show) override {
    sender_.SendChatMessage(addressees, text, show);
  }
  void UserInfoClick();
  // Clicks on links, per pane.  The edit in/out is the message line.
  void UsersLink(const std::string& target, LineEdit* edit);
  void TowhomLink(const std::string& name);
  LineEdit LinkAction(const std::string& target, const LineEdit& edit, bool shift);
  LineEdit PrivLink(const std::string& target, const LineEdit& edit, bool shift);
  // The preview of the typed text.
  void RefreshPreview(const std::string& enterText);

  void ShowOnlineList(const std::string& body);
  // The settings dialog's OK was applied: the online list (friends already
  // online do not count as newcomers), the panes' font size, the preview.
  void SettingsApplied(const std::string& enterText);
  void RefreshAddressees();
  void React(settings::ReactionSet set) override;
  void PersonalMessage(bool isPrivate, const std::string& sender, const std::string& text) override {
    view_.Notice(isPrivate ? NoticeKind::Private : NoticeKind::Personal, sender, text);
  }

  ContactLists& Contacts() { return contacts_; }
  AddresseeList& Addressees() { return addressees_; }
  OnlineList& Online() { return online_; }
  session::Acknowledgements& Acks() { return acks_; }
  session::Dispatcher& Dispatcher() { return dispatcher_; }
  session::ServiceReplies& Replies() { return replies_; }
  const ChatPanes& Panes() const { return panes_; }

 private:
  // session::DispatcherHost
  void SendLine(const std::string& line) override { link_.SendLine(line); }
  void Trace(const std::string& text) override { view_.Trace(text); }
  void Refused() override { link_.Refused(); }
  void Acknowledgement(const wire::Record& record, const std::string& line) override {
    acks_.HandleAcknowledgement(record, line);
  }
  void OnlineListRecord(const std::string& body) override { ShowOnlineList(body); }
  std::string CodesToMarkup(const std::string& text) override { return CodesToMarkup(text, false); }
  void ArchiveLine(const std::string& line) override;
  void GameMessage(games::GameKind kind, const std::string& text, const std::string& sender,
                   const std::string& lead, uint32_t fg, uint32_t bg) override;
  void DirectLinkNotice(const std::string& sender) override;
  void OwnInformation(const wire::Record& r) override { replies_.OwnInformation(r); }
  void Rights(const wire::Record& r) override { replies_.Rights(r); }
  void AddressReply(const wire::Record& r) override { replies_.AddressRecord(r); }
  void WhoisReply(const wire::Record& r, const std::string& body) override { replies_.WhoisRecord(r, body); }
  void ServiceLine(const std::string& line) override;
  void MediaPacket(const std::string& line) override {
    if (media_) media_->MediaLine(line);
  }
  // session::ServiceRepliesHost
  void ShowInfoWindow(const std::string& key, const std::string& title, const std::string& text, int width,
                      int height, bool append) override {
    view_.ShowInfoWindow(key, title, text, width, height, append);
  }
  void OpenUrl(const std::string& url) override { view_.OpenUrl(OpenableUrl(url)); }
  void ModeratorChanged(bool moderator) override { view_.ModeratorChanged(moderator); }
  // session::AcknowledgementHost
  void PatchArchive(const std::string& number, int oldPicture, int newPicture) override;
  void OwnGameEcho(games::GameKind kind, const std::string& text, const std::string& addressee, uint32_t fg,
                   uint32_t bg) override;

  settings::Settings& settings_;
  ChatPanes panes_;
  ChatLink& link_;
  ChatView& view_;
  games::GameTraffic* games_ = nullptr;
  MediaTraffic* media_ = nullptr;
  ContactLists contacts_;
  AddresseeList addressees_;
  window::OnlineList online_;
  session::Acknowledgements acks_;
  session::Dispatcher dispatcher_;
  session::ServiceReplies replies_;
  MessageSender sender_;

 public:
  // Folded sender name and time of the last direct-link notice.
  std::string lastDirectLinkSender;
  int64_t lastDirectLinkTime = 0;
};

}  // namespace window
