#include "chat/media_session.h"

#include <QMetaObject>
#include <QTimer>

#include <chrono>

#include "markup/markup_document.h"
#include "audio/audio_channel.h"
#include "link/link_frame.h"
#include "link/link_manager.h"
#include "archive/private_archive.h"
#include "transfer/picture_transfer.h"
#include "wire/wire.h"
#include "settings/settings.h"
#include "text/binary_escape.h"
#include "text/bytes.h"
#include "chat/chat_session.h"

namespace window {

namespace {
constexpr int32_t kBlack = 0x000000;
constexpr int32_t kWhite = 0xFFFFFF;
constexpr int kLastWavDelayMs = 5000;
}  // namespace

MediaSession::MediaSession(ChatSession& session, MediaView& view, audio::AudioDevices& devices)
    : session_(session), view_(view) {
  direct::LinkOptions options;
  options.localAddress = session.Settings().LocalAddress;
  links_ = std::make_unique<direct::LinkManager>(static_cast<direct::LinkHost&>(*this), options);
  audio_ = std::make_unique<audio::AudioChannel>(static_cast<audio::AudioHost&>(*this), devices);
  pictures_ = std::make_unique<transfer::PictureInbox>(static_cast<transfer::TransferHost&>(*this));
  RefreshAudioSettings();
  session_.Chat().SetMediaTraffic(this);
  session_.Chat().Panes().priv.OnStrDestroy = [this](markup::MarkupDocument&, const std::string& markup) {
    audio_->OnPrivLineRemoved(markup);
  };
}

MediaSession::~MediaSession() {
  session_.Chat().SetMediaTraffic(nullptr);
  session_.Chat().Panes().priv.OnStrDestroy = nullptr;
  pictures_.reset();
  audio_.reset();
  links_.reset();
}

// Without a configured address the links are listened for where the chat
// connection goes out from, once it is up: the address the server tells
// peers, and no other.
void MediaSession::Start() {
  if (!links_->Listen()) ServerOnline();
}

void MediaSession::ServerOnline() { links_->ListenOn(session_.Connection().LocalAddressInUse()); }

std::string MediaSession::Recipient() const {
  const auto& names = session_.Chat().Addressees().Names();
  return names.size() == 1 ? names.front() : std::string();
}

void MediaSession::RefreshAudioSettings() {
  const settings::Settings& s = session_.Settings();
  audio::AudioSettings a;
  a.playNow = s.PlayNow;
  a.muted = view_.NoSound();
  a.createArchive = s.CreateArchive;
  a.sndArchiving = s.SndArchiving;
  a.backColor = s.BackColor;
  a.textColor = s.TextColor;
  a.lastWav = s.LastWav;
  audio_->SetSettings(a);
}

void MediaSession::PressSendWav() {
  if (audio_->Busy()) return;
  RefreshAudioSettings();
  audio_->StartRecording(session_.Chat().Addressees().Names());
}

void MediaSession::ReleaseSendWav() { audio_->StopRecording(); }

bool MediaSession::AudioBusy() const { return audio_->Busy(); }

bool MediaSession::CanSendPicture() const {
  const std::string name = Recipient();
  return !name.empty() && name != session_.Settings().UserName && session_.Chat().Online().PeerHasGameClient(name);
}

bool MediaSession::SendPicture(const std::string& data) {
  if (!CanSendPicture() || !session_.Connection().Connected()) return false;
  const std::string name = Recipient();
  return transfer::SendPicture(*this, name, session_.Chat().Online().ClientInfo(name), data);
}

// ---- MediaTraffic --------------------------------------------------------------

void MediaSession::MediaLine(const std::string& line) {
  RefreshAudioSettings();
  audio_->HandlePacket(line, true);
}

bool MediaSession::AddressAnswer(const std::string& line) { return links_->OnAddressReply(line); }

void MediaSession::LinkNotice(const std::string& sender) { links_->OnConnectNotice(sender); }

void MediaSession::AudioLink(const std::string& target) {
  RefreshAudioSettings();
  audio_->HandleLink(target);
}

// ---- audio::AudioHost ------------------------------------------------------------

void MediaSession::Post(std::function<void()> call) {
  QMetaObject::invokeMethod(&context_, std::move(call), Qt::QueuedConnection);
}

bool MediaSession::ServerOpen() const { return session_.Connection().Connected(); }

// Audio lines go over a direct link to a client that takes one, else to the
// server; a link that turns out impossible hands what it held to the server
// in order, and everything after it goes there directly.
void MediaSession::SendLine(const std::string& line) {
  session::ServerConnection& connection = session_.Connection();
  if (!text::StartsWith(line, "f\xA6") || line.size() < 5) {
    connection.SendLine(line);
    return;
  }
  std::string body = line.substr(2, line.size() - 4);  // without "f¦" and "¦\n"
  const std::string recipient = wire::UnescapeField(wire::TakeField(body));
  // Only audio: pictures choose their route themselves.
  std::string packet = body;
  if (text::StartsWith(body, "0")) {
    const std::optional<std::string> data = text::UnescapeBinary(body, 1024);
    packet = data ? "0" + *data : std::string();
  } else if (body != "1") {
    packet.clear();
  }
  if (packet.empty()) {
    connection.SendLine(line);
    return;
  }
  if (session_.Chat().Online().ClientInfo(recipient) >= std::string(kDirectVersion) &&
      links_->SendDirect(recipient, direct::DirectPayload(UserName(), packet)))
    return;
  connection.SendLine(line);
}

void MediaSession::AddPrivLine(const std::string& markup) {
  session_.Chat().Panes().priv.NewString(markup, kBlack, kWhite);
}

bool MediaSession::DeletePrivLine(const std::string& part) {
  markup::MarkupDocument& priv = session_.Chat().Panes().priv;
  for (const auto& line : priv.lines())
    if (line->source.find(part) != std::string::npos) {
      priv.DeleteStr(part);
      return true;
    }
  return false;
}

void MediaSession::CutPrivLine(const std::string& part) { session_.Chat().Panes().priv.DeleteArc(part); }

void MediaSession::SetSendWavEnabled(bool) { view_.SendWavFreed(); }

std::string MediaSession::UserName() const { return session_.Settings().UserName; }

bool MediaSession::IsBlackListed(const std::string& name) const {
  return const_cast<ChatSession&>(session_).Chat().Contacts().IsBlackListed(name);
}

std::string MediaSession::ProgramDir() const { return session_.Settings().ProgramDir; }

// The number moves with every kept sound; molvat.ini gets it a little later,
// once for a burst, and at close.  After a crash the kept files themselves
// tell which numbers are taken, so a stale number overwrites nothing.
void MediaSession::StoreLastWav(int value) {
  session_.Settings().LastWav = value;
  if (lastWavPending_) return;
  lastWavPending_ = true;
  QTimer::singleShot(kLastWavDelayMs, &context_, [this] {
    lastWavPending_ = false;
    settings::Settings& s = session_.Settings();
    s.Save(s.LastWav);
  });
}

void MediaSession::AppendArchive(const std::string& line) {
  const settings::Settings& s = session_.Settings();
  media::AppendArchiveLine(s.ProgramDir, s.ArcLimit, line, [this](const std::string& m) { view_.Trace(m); });
}

void MediaSession::ReactToMessage(bool) { session_.Chat().React(settings::ReactionSet::Personal); }

void MediaSession::HandlePicturePacket(const std::string& sender, const std::string& packet, bool escaped) {
  pictures_->HandlePacket(sender, packet, escaped);
}

// ---- direct::LinkHost --------------------------------------------------------------

std::string MediaSession::NextMessageNumber() { return std::to_string(session_.Settings().TakeAckID()); }

void MediaSession::HandlePacket(const std::string& payload) {
  RefreshAudioSettings();
  audio_->HandlePacket(payload, false);
}

void MediaSession::PaneChanged() { view_.ShowLinks(links_->PaneMarkup()); }

int64_t MediaSession::NowMs() const {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// ---- transfer::TransferHost ----------------------------------------------------------

bool MediaSession::SendDirect(const std::string& name, const std::string& payload) {
  return links_->SendDirect(name, payload);
}

}  // namespace window
