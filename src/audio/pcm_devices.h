#pragma once
// Wave devices over plain 16-bit PCM: the recording side encodes what a
// sample source delivers into queued ADPCM buffers, the playback side decodes
// each written buffer for a sample sink.  A sound card (Qt Multimedia), a
// tone file or a test's memory sits behind the source and the sink.
// Single-threaded: the source and the sink call back on the thread that
// owns the device.
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "audio/audio_devices.h"

namespace audio {

class PcmSource {
 public:
  virtual ~PcmSource() = default;
  // Begins delivering 8000 Hz mono samples to `onSamples`.
  virtual bool Start(std::function<void(std::span<const int16_t>)> onSamples) = 0;
  virtual void Stop() = 0;
};

class PcmSink {
 public:
  virtual ~PcmSink() = default;
  virtual bool Start() = 0;
  // Queues samples; `played` runs once they have been played out.
  virtual void Write(std::vector<int16_t> samples, std::function<void()> played) = 0;
  // Drops everything queued; the dropped chunks' `played` never runs.
  virtual void Reset() = 0;
  virtual void Close() = 0;
};

class EncodingWaveInput : public WaveInput {
 public:
  EncodingWaveInput(std::unique_ptr<PcmSource> source, InputDone done);
  ~EncodingWaveInput() override;

  bool AddBuffer(WaveBuffer& buffer) override;
  bool Start() override;
  std::optional<int64_t> Position() const override;
  bool Stop() override;
  bool Reset() override;
  bool Close() override;

 private:
  void OnSamples(std::span<const int16_t> samples);
  void EmitBlock();

  std::unique_ptr<PcmSource> source_;
  InputDone done_;
  std::deque<WaveBuffer*> queue_;
  std::vector<int16_t> pending_;  // samples of the block being gathered
  int64_t bytes_ = 0;             // ADPCM bytes placed into buffers
  bool running_ = false;
  bool closed_ = false;
};

class DecodingWaveOutput : public WaveOutput {
 public:
  DecodingWaveOutput(std::unique_ptr<PcmSink> sink, OutputDone done);
  ~DecodingWaveOutput() override;

  bool Write(WaveBuffer& buffer) override;
  bool Reset() override;
  bool Close() override;

 private:
  void Played(WaveBuffer* buffer);

  std::unique_ptr<PcmSink> sink_;
  OutputDone done_;
  std::deque<WaveBuffer*> queue_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
  bool started_ = false;
  bool closed_ = false;
};

}  // namespace audio
