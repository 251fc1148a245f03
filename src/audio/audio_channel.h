#pragma once
// Audio messages: recording while the microphone button is held and
// streaming each quarter-second buffer to the one recipient as it fills,
// collecting what peers send, announcing it in the private pane with its
// action links, playing, keeping to Sounds/ and replaying from the archive.
// Runs on the main thread; devices report through AudioHost::Post.
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <string>
#include <vector>

#include "audio/audio_host.h"
#include "text/kept_folder.h"
#include "audio/sound.h"

namespace audio {

class AudioDevices;
class WaveInput;

// What one peer may make this client hold.
struct ReceiveLimits {
  size_t buffersPerSound = 4096;  // about 17 minutes of speech
  size_t buffersInTotal = 16384;  // over every received sound held; finished ones give way first
  size_t sendersAtOnce = 32;      // sounds being received at the same time
};

class AudioChannel {
 public:
  AudioChannel(AudioHost& host, AudioDevices& devices, ReceiveLimits limits = {});
  ~AudioChannel();
  AudioChannel(const AudioChannel&) = delete;
  AudioChannel& operator=(const AudioChannel&) = delete;

  void SetSettings(const AudioSettings& settings) { settings_ = settings; }
  const AudioSettings& Settings() const { return settings_; }
  // The bounds of Sounds/ (before the first sound is kept).
  void SetKeepLimits(const text::KeepLimits& limits) { keepLimits_ = limits; }
  // Sounds/, counted on first use.
  text::KeptFolder& KeptSounds();

  // The microphone button pressed and released.  `recipients` are the
  // selected private recipients.
  void StartRecording(const std::vector<std::string>& recipients);
  void StopRecording();
  bool Recording() const { return recording_; }
  // From the press until the end line has been sent.
  bool Busy() const { return input_ != nullptr || own_ != nullptr; }

  // A received packet: two unexamined bytes, the escaped sender, "|", and a
  // data, end or picture packet.  `escaped` when it came through the server.
  void HandlePacket(std::string_view payload, bool escaped);

  // Action links: "::Play", "::Stop", "::Delt", "::Save", "::Arch" + id
  // and "::PlAr" + kept base name.  False for any other target.
  bool HandleLink(const std::string& target);

  // The private pane removed a line (its markup).
  void OnPrivLineRemoved(const std::string& markup);

  // Inspection.
  const Sound* FindSound(int id) const;
  const Sound* FindSoundByName(const std::string& name) const;
  size_t SoundCount() const { return sounds_.size(); }
  size_t ReceivingCount() const { return receiving_.size(); }
  size_t HeldBuffers() const { return receivedBuffers_; }

 private:
  Sound* Find(int id);
  Sound& NewSound(std::string name, bool autoDelete);
  void FreeSound(Sound* sound);

  // Recording.
  void OnInputBuffer(uint64_t serial, WaveBuffer* buffer);
  bool QueueRecordBuffer();
  void OnBufferRecorded(WaveBuffer* buffer);
  void FinishRecording();
  void CloseInput();

  // Receiving.
  void AddReceivedData(const std::string& sender, std::string data);
  void FinishReceived(const std::string& sender);
  void FreeOldestFinished();

  // Playback.
  void Play(Sound& sound);
  void Stop(Sound& sound);
  void OnPlayed(const std::weak_ptr<int>& token, WaveBuffer* buffer);
  void EndPlayback(Sound& sound);

  void Keep(Sound& sound, std::string name);
  void RemoveLines(int id);
  void PlayKept(const std::string& base);

  // Runs `call` later unless this channel is gone by then.
  void PostSelf(std::function<void()> call);

  AudioHost& host_;
  AudioDevices& devices_;
  ReceiveLimits limits_;
  AudioSettings settings_;
  text::KeepLimits keepLimits_;
  std::unique_ptr<text::KeptFolder> keptSounds_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);

  std::vector<std::unique_ptr<Sound>> sounds_;  // every live sound
  std::map<std::string, Sound*> receiving_;     // by sender, until the end packet
  int nextId_ = 1;
  size_t receivedBuffers_ = 0;  // held by sounds from peers

  // Recording state.
  bool recording_ = false;
  uint64_t recordingSerial_ = 0;  // tells this recording's notices from an earlier one's
  std::unique_ptr<WaveInput> input_;
  Sound* own_ = nullptr;
  std::string recipients_;
  int64_t buffersDone_ = 0;
  std::optional<int64_t> stopPosition_;
};

}  // namespace audio
