#include "media/audio/audio_devices.h"

#include "media/audio/wave_buffer.h"

namespace audio {

// A buffer is prepared once before it is queued and released after it came
// back; preparing it twice is the caller's fault.
bool WaveInput::Prepare(WaveBuffer& buffer) {
  if (buffer.prepared) return false;
  buffer.prepared = true;
  return true;
}

bool WaveInput::Unprepare(WaveBuffer& buffer) {
  if (!buffer.prepared || buffer.queued) return false;
  buffer.prepared = false;
  return true;
}

bool WaveOutput::Prepare(WaveBuffer& buffer) {
  if (buffer.prepared) return false;
  buffer.prepared = true;
  return true;
}

bool WaveOutput::Unprepare(WaveBuffer& buffer) {
  if (!buffer.prepared || buffer.queued) return false;
  buffer.prepared = false;
  return true;
}

}  // namespace audio
