#pragma once
// MediaSession: audio messages, direct links and picture transfer for the
// chat session, without widgets.  It owns the audio channel and the link
// manager, serves them (and the picture transfer) as their host over the
// session's connection, panes and settings, takes what the dispatcher hands
// on (MediaTraffic), and asks MediaView for what only windows can do.
#include <QObject>

#include <memory>
#include <optional>
#include <string>

#include "audio/audio_host.h"
#include "link/link_host.h"
#include "transfer/transfer_host.h"
#include "chat/chat_controller.h"

namespace audio {
class AudioChannel;
class AudioDevices;
}  // namespace audio
namespace direct {
class LinkManager;
}
namespace transfer {
class PictureInbox;
}

namespace window {

class ChatServices;

class MediaView {
 public:
  virtual ~MediaView() = default;
  virtual void Trace(const std::string& text) = 0;
  virtual void SetAudioSize(const std::string& text) = 0;
  // SendWav is free again (or busy) for the next recording.
  virtual void SendWavFreed() = 0;
  virtual bool NoSound() = 0;
  virtual std::optional<std::string> AskSoundSavePath() = 0;
  // False when the picture is not shown.
  virtual bool ShowPicture(const std::string& sender, const std::string& bytes, const QImage& image) = 0;
  virtual void Warn(const std::string& text) = 0;
  // The dirconn pane's one line of markup.
  virtual void ShowLinks(const std::string& markup) = 0;
};

class MediaSession : private MediaTraffic,
                     private audio::AudioHost,
                     private direct::LinkHost,
                     private transfer::TransferHost {
 public:
  // Version from which a client takes direct links.
  static constexpr const char* kDirectVersion = "2.2";

  MediaSession(ChatServices& chat, MediaView& view, audio::AudioDevices& devices);
  ~MediaSession() override;

  // Starts listening for direct links (a trace line when the port is taken).
  void Start();
  // The chat connection is up (again).
  void ServerOnline();

  // SendWav pressed and released.
  void PressSendWav();
  void ReleaseSendWav();
  // From the press until the end of the message has been sent.
  bool AudioBusy() const;

  // The recode window's Send: to the one selected recipient.  False when
  // nothing was sent.
  bool SendPicture(const std::string& data);
  // One recipient other than the user, with a client of this kind.
  bool CanSendPicture() const;

  audio::AudioChannel& Audio() { return *audio_; }
  direct::LinkManager& Links() { return *links_; }
  transfer::PictureInbox& Pictures() { return *pictures_; }

 private:
  std::string Recipient() const;
  void RefreshAudioSettings();

  // MediaTraffic
  void MediaLine(const std::string& line) override;
  bool AddressAnswer(const std::string& line) override;
  void LinkNotice(const std::string& sender) override;
  void AudioLink(const std::string& target) override;

  // audio::AudioHost (SendLine, Trace, UserName shared with the others)
  void Post(std::function<void()> call) override;
  bool ServerOpen() const override;
  void SendLine(const std::string& line) override;
  void Trace(const std::string& text) override { view_.Trace(text); }
  bool TraceEnabled() const override;
  void AddPrivLine(const std::string& markup) override;
  bool DeletePrivLine(const std::string& part) override;
  void CutPrivLine(const std::string& part) override;
  void SetAudioSize(const std::string& text) override { view_.SetAudioSize(text); }
  void SetSendWavEnabled(bool enabled) override;
  std::string UserName() const override;
  bool IsBlackListed(const std::string& name) const override;
  std::string ProgramDir() const override;
  void StoreLastWav(int value) override;
  void AppendArchive(const std::string& line) override;
  void ReactToMessage(bool muted) override;
  std::optional<std::string> AskSavePath() override { return view_.AskSoundSavePath(); }
  void HandlePicturePacket(const std::string& sender, const std::string& packet, bool escaped) override;

  // direct::LinkHost
  std::string NextMessageNumber() override;
  void HandlePacket(const std::string& payload) override;
  void PaneChanged() override;
  int64_t NowMs() const override;

  // transfer::TransferHost
  bool SendDirect(const std::string& name, const std::string& payload) override;
  bool ShowPicture(const std::string& sender, const std::string& bytes, const QImage& image) override {
    return view_.ShowPicture(sender, bytes, image);
  }
  void Warn(const std::string& text) override { view_.Warn(text); }

  ChatServices& chat_;
  MediaView& view_;
  QObject context_;  // runs the posted calls
  std::unique_ptr<direct::LinkManager> links_;
  std::unique_ptr<audio::AudioChannel> audio_;
  std::unique_ptr<transfer::PictureInbox> pictures_;
  bool lastWavPending_ = false;  // LastWav changed and is written a little later
};

}  // namespace window
