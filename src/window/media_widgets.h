#pragma once
// MediaWidgets: the windows' side of audio messages, direct links and
// picture transfer for the main window.  It owns the sound devices and the
// MediaSession, holds SendWav down for recording, opens the recode window
// from SendBuf and a viewer for each received picture, shows the dirconn
// pane and asks where a sound is saved.
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "chat/media_session.h"

class QAction;
class QLabel;
class QPushButton;
class QWidget;

namespace audio {
class AudioDevices;
}
namespace markup {
class MarkupView;
}
namespace settings {
class Settings;
}

namespace window {

struct MediaControls {
  QWidget* window;             // parent of dialogs and boxes
  QPushButton* sendWav;        // held to record
  QLabel* audioSize;           // "Размер: …"
  markup::MarkupView* dirconn; // the direct links
  QAction* sendBuf;            // picture from the clipboard
  // Whether the client can play or record, told to the login.
  std::function<void(bool capable)> audioCapable;
};

class MediaWidgets : private MediaView {
 public:
  MediaWidgets(ChatServices& chat, MediaControls controls);
  ~MediaWidgets() override;

  // Devices other than the sound card (a tone file for a microphone); the
  // session starts afresh on them.  Only before any media traffic.
  void ReplaceAudioDevices(std::unique_ptr<audio::AudioDevices> devices);
  // The login line's capability: a device that takes 8000 Hz mono 16-bit.
  bool AudioCapable() const;

  // The window is shown: links are listened for.
  void Start() { media_->Start(); }
  // The chat connection is up: links are listened for on its address.
  void ServerOnline() { media_->ServerOnline(); }
  // The addressee or the online list changed; `sendWav` is one addressee
  // with an audio client.
  void ControlsChanged(bool sendWav);
  // SendBuf: the clipboard's picture into a new recode window.
  void SendBufClick();
  // The main window closes: recode windows and picture viewers go.
  void CloseAll();

  MediaSession& Session() { return *media_; }

 private:
  // MediaView
  void Trace(const std::string& text) override;
  void SetAudioSize(const std::string& text) override;
  void SendWavFreed() override;
  bool NoSound() override;
  std::optional<std::string> AskSoundSavePath() override;
  bool ShowPicture(const std::string& sender, const std::string& bytes, const QImage& image) override;
  void Warn(const std::string& text) override;
  void ShowLinks(const std::string& markup) override;

  ChatServices& chat_;
  MediaControls controls_;
  std::unique_ptr<audio::AudioDevices> devices_;
  std::unique_ptr<MediaSession> media_;
  bool sendWavAllowed_ = false;
};

}  // namespace window
