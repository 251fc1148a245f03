#pragma once
// Conversion between the message format (8000 Hz, mono, 16-bit) and what a
// sound card takes or gives when it does not take that format itself: any
// rate, any channel count, 8-bit unsigned, 16/32-bit signed or float
// samples.  Streaming: pieces may end anywhere, even inside a frame.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace audio {

enum class SampleKind { UInt8, Int16, Int32, Float };

struct PcmFormat {
  SampleKind kind = SampleKind::Int16;
  int channels = 1;
  int rate = 8000;
  int BytesPerSample() const;
  int BytesPerFrame() const { return BytesPerSample() * channels; }
  bool Valid() const { return channels >= 1 && channels <= 64 && rate >= 1000 && rate <= 768000; }
};

// Linear interpolation from one rate to another over a stream of samples.
class Resampler {
 public:
  Resampler(int fromRate, int toRate);
  void Feed(std::span<const int16_t> in, std::vector<int16_t>& out);

 private:
  double step_;
  double t_ = 0;                 // next output position, in input samples from history_[0]
  std::vector<int16_t> history_;  // input not yet passed
};

// Device bytes -> message samples.
class FromDevice {
 public:
  explicit FromDevice(PcmFormat format);
  void Feed(std::string_view bytes, std::vector<int16_t>& out);

 private:
  PcmFormat format_;
  std::string partial_;  // bytes of an unfinished frame
  Resampler resampler_;
  std::vector<int16_t> mono_;
};

// Message samples -> device bytes.
class ToDevice {
 public:
  explicit ToDevice(PcmFormat format);
  void Feed(std::span<const int16_t> samples, std::string& out);

 private:
  PcmFormat format_;
  Resampler resampler_;
  std::vector<int16_t> resampled_;
};

}  // namespace audio
