#pragma once
// Wave devices without a sound card: recording plays a 16-bit PCM WAV file
// (8000 Hz mono) into the microphone at its own pace, and playback takes
// what it is given at the pace of real time and keeps the samples.  For
// machines without a microphone, and for tests through the whole program.
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_devices.h"

namespace audio {

class FileAudioDevices : public AudioDevices {
 public:
  // `inputWav` is the file recorded from; empty means no input device.
  explicit FileAudioDevices(std::string inputWav);

  bool HasInput() const override { return !input_.empty(); }
  bool HasOutput() const override { return true; }
  std::unique_ptr<WaveInput> OpenInput(InputDone done) override;
  std::unique_ptr<WaveOutput> OpenOutput(OutputDone done) override;

  // Every sample played so far, over every playback.
  const std::vector<int16_t>& Played() const { return *played_; }

 private:
  std::string input_;
  std::shared_ptr<std::vector<int16_t>> played_ = std::make_shared<std::vector<int16_t>>();
};

}  // namespace audio
