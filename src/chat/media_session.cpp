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
#include "chat/chat_services.h"

namespace window {

namespace {
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kWhite = 0xFFFFFF;
constexpr int kLastWavDelayMs = 5000;
}  // namespace

MediaSession::MediaSession(ChatServices& chat, MediaView& view, audio::AudioDevices& devices)
    : chat_(chat), view_(view) {
  direct::LinkOptions options;
  options.localAddress = chat.Settings().LocalAddress;
  links_ = std::make_unique<direct::LinkManager>(static_cast<direct::LinkHost&>(*this), options);
  audio_ = std::make_unique<audio::AudioChannel>(static_cast<audio::AudioHost&>(*this), devices);
  pictures_ = std::make_unique<transfer::PictureInbox>(static_cast<transfer::TransferHost&>(*this));
  RefreshAudioSettings();
  chat_.SetMediaTraffic(this);
  chat_.PrivatePane().OnStrDestroy = [this](markup::MarkupDocument&, const std::string& markup) {
    audio_->OnPrivLineRemoved(markup);
  };
}

MediaSession::~MediaSession() {
  chat_.SetMediaTraffic(nullptr);
  chat_.PrivatePane().OnStrDestroy = nullptr;
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

void MediaSession::ServerOnline() { links_->ListenOn(chat_.LocalAddressInUse()); }

std::string MediaSession::Recipient() const {
  const auto& names = chat_.AddresseeNames();
  return names.size() == 1 ? names.front() : std::string();
}

void MediaSession::RefreshAudioSettings() {
  const settings::Settings& s = chat_.Settings();
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
  audio_->StartRecording(chat_.AddresseeNames());
}

void MediaSession::ReleaseSendWav() { audio_->StopRecording(); }

bool MediaSession::AudioBusy() const { return audio_->Busy(); }

bool MediaSession::CanSendPicture() const {
  const std::string name = Recipient();
  return !name.empty() && name != chat_.Settings().UserName && chat_.PeerHasGameClient(name);
}

bool MediaSession::SendPicture(const std::string& data) {
  if (!CanSendPicture() || !chat_.Connected()) return false;
  const std::string name = Recipient();
  return transfer::SendPicture(*this, name, chat_.ClientInfo(name), data);
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

bool MediaSession::TraceEnabled() const { return chat_.TraceEnabled(); }

bool MediaSession::ServerOpen() const { return chat_.Connected(); }

// Audio lines go over a direct link to a client that takes one, else to the
// server; a link that turns out impossible hands what it held to the server
// in order, and everything after it goes there directly.
void MediaSession::SendLine(const std::string& line) {
  if (!text::StartsWith(line, "f\xA6") || line.size() < 5) {
    chat_.SendLine(line);
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
    chat_.SendLine(line);
    return;
  }
  if (chat_.ClientInfo(recipient) >= std::string(kDirectVersion) &&
      links_->SendDirect(recipient, direct::DirectPayload(UserName(), packet)))
    return;
  chat_.SendLine(line);
}

void MediaSession::AddPrivLine(const std::string& markup) {
  chat_.PrivatePane().NewString(markup, kBlack, kWhite);
}

bool MediaSession::DeletePrivLine(const std::string& part) {
  markup::MarkupDocument& priv = chat_.PrivatePane();
  for (const auto& line : priv.lines())
    if (line->source.find(part) != std::string::npos) {
      priv.DeleteStr(part);
      return true;
    }
  return false;
}

void MediaSession::CutPrivLine(const std::string& part) { chat_.PrivatePane().DeleteArc(part); }

void MediaSession::SetSendWavEnabled(bool) { view_.SendWavFreed(); }

std::string MediaSession::UserName() const { return chat_.Settings().UserName; }

bool MediaSession::IsBlackListed(const std::string& name) const {
  return chat_.BlackListed(name);
}

std::string MediaSession::ProgramDir() const { return chat_.Settings().ProgramDir; }

// The number moves with every kept sound; molvat.ini gets it a little later,
// once for a burst, and at close.  After a crash the kept files themselves
// tell which numbers are taken, so a stale number overwrites nothing.
void MediaSession::StoreLastWav(int value) {
  chat_.Settings().LastWav = value;
  if (lastWavPending_) return;
  lastWavPending_ = true;
  QTimer::singleShot(kLastWavDelayMs, &context_, [this] {
    lastWavPending_ = false;
    settings::Settings& s = chat_.Settings();
    s.Save(s.LastWav);
  });
}

void MediaSession::AppendArchive(const std::string& line) {
  const settings::Settings& s = chat_.Settings();
  media::AppendArchiveLine(s.ProgramDir, s.ArcLimit, line, [this](const std::string& m) { view_.Trace(m); });
}

void MediaSession::ReactToMessage(bool) { chat_.React(settings::ReactionSet::Personal); }

void MediaSession::HandlePicturePacket(const std::string& sender, const std::string& packet, bool escaped) {
  pictures_->HandlePacket(sender, packet, escaped);
}

// ---- direct::LinkHost --------------------------------------------------------------

std::string MediaSession::NextMessageNumber() { return std::to_string(chat_.Settings().TakeAckID()); }

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
