#pragma once
// The sound card through Qt Multimedia: QAudioSource and QAudioSink at
// 8000 Hz mono 16-bit, or the device's own format converted.  Without a
// device HasInput/HasOutput are false and nothing is opened.
#include <memory>

#include "audio/audio_devices.h"

namespace audio {

class QtAudioDevices : public AudioDevices {
 public:
  // A device counts when it takes 8000 Hz mono 16-bit PCM.
  bool HasInput() const override;
  bool HasOutput() const override;
  std::unique_ptr<WaveInput> OpenInput(InputDone done) override;
  std::unique_ptr<WaveOutput> OpenOutput(OutputDone done) override;
};

}  // namespace audio
