#pragma once
// The recording and playback devices as the audio channel sees them: wave
// devices that take and return WaveBuffers of ADPCM data.  Implementations
// may hand buffers back on any thread; the channel only posts from there.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace audio {

struct WaveBuffer;

class WaveInput {
 public:
  virtual ~WaveInput() = default;
  virtual bool Prepare(WaveBuffer& buffer);
  virtual bool Unprepare(WaveBuffer& buffer);
  // Queues an empty buffer; the device fills it and hands it back full (or
  // with what it holds at Reset), setting `recorded`.
  virtual bool AddBuffer(WaveBuffer& buffer) = 0;
  virtual bool Start() = 0;
  // ADPCM bytes recorded since Start.
  virtual std::optional<int64_t> Position() const = 0;
  virtual bool Stop() = 0;
  // Hands back every queued buffer, in order.
  virtual bool Reset() = 0;
  virtual bool Close() = 0;
};

class WaveOutput {
 public:
  virtual ~WaveOutput() = default;
  virtual bool Prepare(WaveBuffer& buffer);
  virtual bool Unprepare(WaveBuffer& buffer);
  // Queues a buffer for playing; it is handed back once played.
  virtual bool Write(WaveBuffer& buffer) = 0;
  // Stops at once and hands back every queued buffer, in order.
  virtual bool Reset() = 0;
  virtual bool Close() = 0;
};

using InputDone = std::function<void(WaveBuffer*)>;
using OutputDone = std::function<void(WaveBuffer*)>;

// Finds and opens devices for 8000 Hz mono audio.
class AudioDevices {
 public:
  virtual ~AudioDevices() = default;
  virtual bool HasInput() const = 0;
  virtual bool HasOutput() const = 0;
  // Null when the device cannot be opened.  `done` receives each buffer
  // the device hands back.
  virtual std::unique_ptr<WaveInput> OpenInput(InputDone done) = 0;
  virtual std::unique_ptr<WaveOutput> OpenOutput(OutputDone done) = 0;
};

}  // namespace audio
