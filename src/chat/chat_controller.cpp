#include "chat/chat_controller.h"


#include <chrono>

#include "games/game_traffic.h"
#include "markup/markup_document.h"
#include "archive/private_archive.h"
#include "settings/settings.h"
#include "wire/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/fold.h"
#include "chat/reaction.h"
#include "chat/smiley_codes.h"
#include "chat/translit.h"
#include "text/shown_text.h"

namespace window {

ChatController::ChatController(settings::Settings& settings, ChatPanes panes, ChatLink& link, ChatView& view)
    : settings_(settings),
      panes_(panes),
      link_(link),
      view_(view),
      online_(settings, contacts_, panes.users),
      acks_(settings, static_cast<session::AcknowledgementHost&>(*this), panes.priv),
      dispatcher_(settings, static_cast<session::DispatcherHost&>(*this), panes.comm, panes.priv),
      replies_(settings, static_cast<session::ServiceRepliesHost&>(*this)),
      sender_(settings, acks_, panes.priv, [this](const std::string& line) { link_.SendLine(line); },
              [this](const std::string& text) { return CodesToMarkup(text, false); }) {
  online_.ownVersion = CHAT_LOGIN_VERSION;
  panes_.comm.OnStrDestroy = [this](markup::MarkupDocument&, const std::string& markup) {
    dispatcher_.CommLineDestroyed(markup);
  };
}

ChatController::~ChatController() { panes_.comm.OnStrDestroy = nullptr; }

void ChatController::LoadFiles() {
  acks_.LoadWaiting(settings_.ProgramDir + "waitacq.dat");
  contacts_.Load(settings_.ProgramDir);
}

void ChatController::SaveFiles() {
  contacts_.Save(settings_.ProgramDir);
  acks_.SaveWaiting(settings_.ProgramDir + "waitacq.dat");
}

bool ChatController::TraceEnabled() { return replies_.Moderator() && settings_.DebugMode; }

std::string ChatController::CodesToMarkup(const std::string& text, bool own) const {
  std::string out = text;
  window::CodesToMarkup(out, own, settings_, AppSmileyTable());
  return out;
}

std::string ChatController::PrepareOwnText(const std::string& text) const {
  std::string out = text;
  Transliterate(out, true, settings_);
  RewriteOwnPictureCodes(out, settings_.UserSmileNum);
  return out;
}

void ChatController::ArchiveLine(const std::string& line) {
  media::AppendArchiveLine(settings_.ProgramDir, settings_.ArcLimit, line,
                           [this](const std::string& message) { view_.Trace(message); });
}

void ChatController::PatchArchive(const std::string& number, int oldPicture, int newPicture) {
  media::PatchArchiveStatus(media::ArchiveFilePath(settings_.ProgramDir), number, oldPicture, newPicture);
}

void ChatController::GameMessage(games::GameKind kind, const std::string& text, const std::string& sender,
                                 const std::string& lead, uint32_t fg, uint32_t bg) {
  if (games_) games_->GameMessage(kind, text, sender, lead, fg, bg);
}

void ChatController::OwnGameEcho(games::GameKind kind, const std::string& text, const std::string& addressee,
                                 uint32_t fg, uint32_t bg) {
  if (games_) games_->OwnGameEcho(kind, text, addressee, fg, bg);
}

void ChatController::ServiceLine(const std::string& line) {
  if (!text::StartsWith(line, "p|"))
    replies_.FineList(line);
  else if (!media_ || !media_->AddressAnswer(line))
    replies_.AddressLine(line);
}

void ChatController::DirectLinkNotice(const std::string& sender) {
  lastDirectLinkSender = text::FoldLookAlikes(sender);
  lastDirectLinkTime = std::chrono::duration_cast<std::chrono::seconds>(
                           std::chrono::steady_clock::now().time_since_epoch())
                           .count();
  if (media_) media_->LinkNotice(sender);
}

void ChatController::React(settings::ReactionSet set) {
  const Reaction r = ReactionFor(settings_, set, view_.SettingsDialogVisible(), view_.NoSound());
  if (r.bringForward) view_.BringToFront();
  if (r.beep) view_.Beep();
  else if (!r.wave.empty()) view_.PlayWave(r.wave);
}

void ChatController::ShowOnlineList(const std::string& body) {
  if (online_.ShowOnlineList(body)) React(settings::ReactionSet::FriendOnline);
  if (online_.DroppedEntries() > 0)
    view_.Trace(text::Shown("Список пользователей слишком длинный, не показаны: ", "Online list too long, not shown: ") + std::to_string(online_.DroppedEntries()));
  link_.ControlsChanged();
}

void ChatController::SettingsApplied(const std::string& enterText) {
  online_.TakeFriendsSnapshot();
  ShowOnlineList(online_.LastListText());
  for (markup::MarkupDocument* pane : {&panes_.comm, &panes_.priv, &panes_.prev}) pane->SetFontSize(settings_.FontSize);
  RefreshPreview(enterText);
}

void ChatController::RefreshAddressees() {
  addressees_.Show(panes_.towhom);
  link_.ControlsChanged();
}

bool ChatController::Say(const std::string& enterText) {
  const std::string text = PrepareOwnText(TypedText(enterText));
  const std::string addressees = addressees_.Joined();
  if (settings_.AutoOffLine)
    for (const std::string& name : addressees_.Names())
      if (!contacts_.IsFriend(name) && !contacts_.IsBlackListed(name)) contacts_.friends.push_back(name);
  sender_.SendChatMessage(addressees, text, true);
  return true;
}

void ChatController::UserInfoClick() {
  if (!link_.SocketOpen() || addressees_.Names().empty()) return;
  replies_.PushInfoRequest();
  link_.SendLine(wire::RecordWriter().Raw("GetInfo", "1").Escaped("Cln", addressees_.Names().front()).Line());
}

void ChatController::UsersLink(const std::string& target, LineEdit* edit) {
  if (text::StartsWith(target, "http://")) {
    // Always a web address: it opens, and the message line stays as it is.
    const LineEdit unchanged = LinkAction(target, edit ? *edit : LineEdit{}, false);
    if (edit) *edit = unchanged;
    return;
  }
  if (text::StartsWith(target, "--INFO--")) {
    if (link_.SocketOpen()) {
      replies_.PushInfoRequest();
      link_.SendLine(wire::RecordWriter().Raw("GetInfo", "1").Escaped("Cln", text::ReplaceAll(target, "--INFO--", "")).Line());
    }
    return;
  }
  if (addressees_.Add(target)) RefreshAddressees();
}

void ChatController::TowhomLink(const std::string& name) {
  addressees_.RemoveAll(name);
  RefreshAddressees();
}

LineEdit ChatController::LinkAction(const std::string& target, const LineEdit& edit, bool shift) {
  if (IsWebAddress(target)) {
    view_.OpenUrl(OpenableUrl(target));
    return edit;
  }
  if (const size_t at = target.find("::PlAr"); at != std::string::npos) {
    if (media_) media_->AudioLink(target.substr(at));  // archived audio
    return edit;
  }
  // The photo links of one's own information window: the service edits
  // photos on its web pages, and such a target is no address to write.
  if (text::StartsWith(target, "--DelPict--") || text::StartsWith(target, "--AddPict--")) return edit;
  addressees_.Clear();
  RefreshAddressees();
  return InsertAddress(edit, target, shift, settings_.Translit);
}

LineEdit ChatController::PrivLink(const std::string& target, const LineEdit& edit, bool shift) {
  const std::string forWord = text::W("Для ");
  if (text::StartsWith(target, forWord)) {
    UsersLink(NameOfAddress(target), nullptr);
    return edit;
  }
  if (text::StartsWith(target, "::PlAr")) return LinkAction(target, edit, shift);
  for (const char* audio : {"::Play", "::Stop", "::Delt", "::Save", "::Arch"})
    if (text::StartsWith(target, audio)) {
      if (media_) media_->AudioLink(target);
      return edit;
    }
  // Addresses in a message open as they do in the common pane.
  if (IsWebAddress(target)) return LinkAction(target, edit, shift);
  UsersLink(target, nullptr);
  return edit;
}

void ChatController::RefreshPreview(const std::string& enterText) {
  if (!settings_.Preview) return;
  std::string text = wire::UnescapeField(wire::EscapeField(enterText));
  text = CodesToMarkup(text, true);
  panes_.prev.ReplaceLastStr(PreviewLine(settings_, text));
}

}  // namespace window
