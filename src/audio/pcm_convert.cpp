#include "audio/pcm_convert.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "audio/adpcm.h"

namespace audio {

int PcmFormat::BytesPerSample() const {
  switch (kind) {
    case SampleKind::UInt8: return 1;
    case SampleKind::Int16: return 2;
    case SampleKind::Int32:
    case SampleKind::Float: return 4;
  }
  return 2;
}

Resampler::Resampler(int fromRate, int toRate)
    : step_(static_cast<double>(fromRate) / std::max(1, toRate)) {}

void Resampler::Feed(std::span<const int16_t> in, std::vector<int16_t>& out) {
  history_.insert(history_.end(), in.begin(), in.end());
  while (t_ + 1 < static_cast<double>(history_.size())) {
    size_t i = static_cast<size_t>(t_);
    double f = t_ - static_cast<double>(i);
    out.push_back(static_cast<int16_t>(std::lround(history_[i] * (1 - f) + history_[i + 1] * f)));
    t_ += step_;
  }
  size_t used = std::min(static_cast<size_t>(t_), history_.size());
  history_.erase(history_.begin(), history_.begin() + static_cast<std::ptrdiff_t>(used));
  t_ -= static_cast<double>(used);
}

namespace {

int16_t ReadSample(const char* p, SampleKind kind) {
  switch (kind) {
    case SampleKind::UInt8:
      return static_cast<int16_t>((static_cast<uint8_t>(*p) - 128) << 8);
    case SampleKind::Int16: {
      int16_t v;
      std::memcpy(&v, p, 2);
      return v;
    }
    case SampleKind::Int32: {
      int32_t v;
      std::memcpy(&v, p, 4);
      return static_cast<int16_t>(v >> 16);
    }
    case SampleKind::Float: {
      float v;
      std::memcpy(&v, p, 4);
      if (!(v == v)) return 0;  // NaN
      return static_cast<int16_t>(std::lround(std::clamp(static_cast<double>(v) * 32768.0, -32768.0, 32767.0)));
    }
  }
  return 0;
}

void WriteSample(int16_t v, SampleKind kind, std::string& out) {
  char b[4];
  switch (kind) {
    case SampleKind::UInt8:
      out += static_cast<char>((v >> 8) + 128);
      return;
    case SampleKind::Int16:
      std::memcpy(b, &v, 2);
      out.append(b, 2);
      return;
    case SampleKind::Int32: {
      int32_t w = static_cast<int32_t>(v) * 65536;
      std::memcpy(b, &w, 4);
      out.append(b, 4);
      return;
    }
    case SampleKind::Float: {
      float f = static_cast<float>(v) / 32768.0f;
      std::memcpy(b, &f, 4);
      out.append(b, 4);
      return;
    }
  }
}

}  // namespace

FromDevice::FromDevice(PcmFormat format) : format_(format), resampler_(format.rate, kSampleRate) {}

void FromDevice::Feed(std::string_view bytes, std::vector<int16_t>& out) {
  const size_t frame = static_cast<size_t>(format_.BytesPerFrame());
  const size_t sample = static_cast<size_t>(format_.BytesPerSample());
  mono_.clear();
  auto take = [&](const char* p) {
    int sum = 0;
    for (int c = 0; c < format_.channels; ++c) sum += ReadSample(p + c * sample, format_.kind);
    mono_.push_back(static_cast<int16_t>(sum / format_.channels));
  };
  if (!partial_.empty()) {
    size_t need = frame - partial_.size();
    size_t n = std::min(need, bytes.size());
    partial_.append(bytes.substr(0, n));
    bytes.remove_prefix(n);
    if (partial_.size() < frame) return;
    take(partial_.data());
    partial_.clear();
  }
  size_t whole = bytes.size() / frame * frame;
  for (size_t at = 0; at < whole; at += frame) take(bytes.data() + at);
  partial_.assign(bytes.substr(whole));
  resampler_.Feed(mono_, out);
}

ToDevice::ToDevice(PcmFormat format) : format_(format), resampler_(kSampleRate, format.rate) {}

void ToDevice::Feed(std::span<const int16_t> samples, std::string& out) {
  resampled_.clear();
  resampler_.Feed(samples, resampled_);
  out.reserve(out.size() + resampled_.size() * static_cast<size_t>(format_.BytesPerFrame()));
  for (int16_t v : resampled_)
    for (int c = 0; c < format_.channels; ++c) WriteSample(v, format_.kind, out);
}

}  // namespace audio
