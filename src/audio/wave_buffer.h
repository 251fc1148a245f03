#pragma once
// One block of audio data: 1024 bytes of ADPCM (four blocks, a quarter of a
// second) and the bookkeeping a wave device keeps for it.
#include <array>
#include <cstdint>
#include <string_view>

namespace audio {

struct WaveBuffer {
  static constexpr uint32_t kCapacity = 1024;

  std::array<char, kCapacity> data{};
  uint32_t length = 0;    // valid data bytes (at most kCapacity)
  uint32_t recorded = 0;  // bytes a recording device filled
  bool prepared = false;  // handed to a device's Prepare and not yet released
  bool queued = false;    // on a device, not yet returned

  std::string_view Bytes() const { return {data.data(), length}; }
};

}  // namespace audio
