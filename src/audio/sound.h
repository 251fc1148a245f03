#pragma once
// One audio message: a received one, the own recording, or a kept file
// being replayed.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/audio_devices.h"
#include "audio/wave_buffer.h"

namespace audio {

struct Sound {
  int id = 0;            // carried by the action links
  std::string name;      // sender, replayed base name, or empty for the own recording
  int64_t total = 0;     // sum of the buffer lengths
  bool playing = false;
  bool autoDelete = false;  // freed when its playback ends
  bool fromPeer = false;    // its buffers came from a peer and count against the limits
  bool overLimit = false;   // a packet was dropped for the limits (reported once)
  std::unique_ptr<WaveOutput> output;       // while playing
  std::shared_ptr<int> outputToken;         // tells this playback's notices from stale ones
  size_t outstanding = 0;                   // buffers written and not yet handed back
  std::vector<std::unique_ptr<WaveBuffer>> buffers;  // in order of arrival

  void RecomputeTotal() {
    total = 0;
    for (const auto& b : buffers) total += b->length;
  }
};

}  // namespace audio
