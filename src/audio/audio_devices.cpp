#include "audio/audio_devices.h"

#include "audio/wave_buffer.h"

namespace audio {
namespace {

// A buffer is prepared once before it is queued and released after it came
// back; preparing it twice is the caller's fault.
bool MarkPrepared(WaveBuffer& buffer) {
  if (buffer.prepared) return false;
  buffer.prepared = true;
  return true;
}

bool MarkReleased(WaveBuffer& buffer) {
  if (!buffer.prepared || buffer.queued) return false;
  buffer.prepared = false;
  return true;
}

}  // namespace

bool WaveInput::Prepare(WaveBuffer& buffer) { return MarkPrepared(buffer); }
bool WaveInput::Unprepare(WaveBuffer& buffer) { return MarkReleased(buffer); }
bool WaveOutput::Prepare(WaveBuffer& buffer) { return MarkPrepared(buffer); }
bool WaveOutput::Unprepare(WaveBuffer& buffer) { return MarkReleased(buffer); }

}  // namespace audio
