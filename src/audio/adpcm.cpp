#include "audio/adpcm.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

namespace audio {
namespace {

// How the step size changes after each code (indexed by the unsigned code).
constexpr int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614,
                                 768, 614, 512, 409, 307, 230, 230, 230};
constexpr int kMinDelta = 16;
// A hostile stream of maximal codes would grow the step by three each
// sample until it overflows; no sane stream comes near this.
constexpr int kMaxDelta = 1 << 22;

int16_t Clamp16(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, std::numeric_limits<int16_t>::min(),
                                                  std::numeric_limits<int16_t>::max()));
}

int16_t ReadLe16(std::string_view s, size_t at) {
  return static_cast<int16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}

void PutLe16(std::string& out, int v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}

int NextDelta(int delta, int code) {
  int64_t next = (static_cast<int64_t>(kAdaptation[code]) * delta) >> 8;
  return static_cast<int>(std::clamp<int64_t>(next, kMinDelta, kMaxDelta));
}

// One channel's decoder state between codes.
struct Decoder {
  int64_t c1, c2;
  int delta;
  int s1, s2;  // newest and previous sample

  int16_t Step(int code) {
    int64_t predicted = (s1 * c1 + s2 * c2) >> 8;
    int signedCode = code - ((code & 0x08) << 1);
    int16_t sample = Clamp16(predicted + static_cast<int64_t>(signedCode) * delta);
    delta = NextDelta(delta, code);
    s2 = s1;
    s1 = sample;
    return sample;
  }
};

// The code nearest to diff / delta, in -8..7, without a division: this
// runs fourteen times per sample.
inline int CodeFor(int diff, int delta) {
  int a = (diff >= 0 ? diff : -diff) + (delta >> 1);
  int q;
  if (a >= delta << 3) {
    q = 8;
  } else {
    q = 0;
    if (a >= delta << 2) q = 4, a -= delta << 2;
    if (a >= delta << 1) q += 2, a -= delta << 1;
    if (a >= delta) q += 1;
  }
  return diff >= 0 ? std::min(q, 7) : -q;
}

// Encodes samples[2..] with a given predictor and initial delta; returns the
// squared error, giving up (and returning `limit`) once it reaches `limit`.
// With `codes` set, the 4-bit codes are stored there, one per byte.
// Only the first `counted` samples count towards the error.
uint64_t EncodeTrial(const int16_t* samples, size_t n, size_t counted, Coefficients coef,
                     int delta, uint64_t limit, uint8_t* codes) {
  int s1 = samples[1], s2 = samples[0];
  uint64_t error = 0;
  for (size_t i = 2; i < n; ++i) {
    int predicted = (s1 * coef.c1 + s2 * coef.c2) >> 8;
    int diff = samples[i] - predicted;
    int q = CodeFor(diff, delta);
    int sample = std::clamp(predicted + q * delta, -32768, 32767);
    int code = q & 0x0F;
    if (codes) codes[i - 2] = static_cast<uint8_t>(code);
    if (i < counted) {
      int64_t e = samples[i] - sample;
      error += static_cast<uint64_t>(e * e);
      if (error >= limit) return limit;
    }
    delta = NextDelta(delta, code);
    s2 = s1;
    s1 = sample;
  }
  return error;
}

}  // namespace

size_t SamplesInBlock(size_t bytes) {
  return bytes < kBlockHeaderBytes ? 0 : 2 + 2 * (bytes - kBlockHeaderBytes);
}

void DecodeBlock(std::string_view block, std::span<const Coefficients> coefficients,
                 std::vector<int16_t>& out) {
  size_t count = SamplesInBlock(block.size());
  if (count == 0) return;
  unsigned predictor = static_cast<uint8_t>(block[0]);
  if (predictor >= coefficients.size()) {
    out.insert(out.end(), count, 0);
    return;
  }
  Decoder d{coefficients[predictor].c1, coefficients[predictor].c2,
            ReadLe16(block, 1), ReadLe16(block, 3),
            ReadLe16(block, 5)};
  out.push_back(static_cast<int16_t>(d.s2));
  out.push_back(static_cast<int16_t>(d.s1));
  for (size_t i = kBlockHeaderBytes; i < block.size(); ++i) {
    auto byte = static_cast<uint8_t>(block[i]);
    out.push_back(d.Step(byte >> 4));
    out.push_back(d.Step(byte & 0x0F));
  }
}

std::vector<int16_t> Decode(std::string_view data, size_t blockBytes,
                            std::span<const Coefficients> coefficients) {
  std::vector<int16_t> out;
  if (blockBytes < kBlockHeaderBytes) return out;
  out.reserve((data.size() / blockBytes + 1) * SamplesInBlock(blockBytes));
  for (size_t at = 0; at < data.size(); at += blockBytes)
    DecodeBlock(data.substr(at, blockBytes), coefficients, out);
  return out;
}

void EncodeBlock(std::span<const int16_t> input, std::string& out) {
  // A short block is padded by holding its last sample, which costs the
  // codes nothing; the decoder's caller cuts the padding off.
  const size_t n = std::min(input.size(), kBlockSamples);
  int16_t samples[kBlockSamples];
  std::copy_n(input.begin(), n, samples);
  std::fill(samples + n, samples + kBlockSamples, n ? samples[n - 1] : int16_t(0));

  // Each predictor is tried with a step fitted to its first prediction
  // errors and with half of it; the best of the fourteen wins.
  uint64_t best = std::numeric_limits<uint64_t>::max();
  size_t bestPredictor = 0;
  int bestDelta = kMinDelta;
  // The predictors are tried in the order of their error over the block's
  // first samples, so the likely winner comes first and the others give up
  // early.
  struct Candidate {
    size_t predictor;
    int sum;
  };
  std::array<Candidate, kStandardCoefficients.size()> order;
  for (size_t p = 0; p < kStandardCoefficients.size(); ++p) {
    const Coefficients c = kStandardCoefficients[p];
    int sum = 0;
    int s1 = samples[1], s2 = samples[0];
    for (size_t i = 2; i < 6; ++i) {
      int predicted = (s1 * c.c1 + s2 * c.c2) >> 8;
      sum += std::abs(samples[i] - predicted);
      s2 = s1;
      s1 = samples[i];
    }
    order[p] = {p, sum};
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const Candidate& a, const Candidate& b) { return a.sum < b.sum; });
  for (const Candidate& candidate : order) {
    const size_t p = candidate.predictor;
    const Coefficients c = kStandardCoefficients[p];
    int fitted = candidate.sum / 4 / 2;  // a typical error then takes code 2
    for (int delta : {fitted, fitted / 2}) {
      delta = std::clamp(delta, kMinDelta, 0x7FFF);
      uint64_t e = EncodeTrial(samples, kBlockSamples, n, c, delta, best, nullptr);
      if (e < best) {
        best = e;
        bestPredictor = p;
        bestDelta = delta;
      }
    }
  }

  uint8_t codes[kBlockSamples - 2];
  EncodeTrial(samples, kBlockSamples, n, kStandardCoefficients[bestPredictor], bestDelta,
              std::numeric_limits<uint64_t>::max(), codes);
  out += static_cast<char>(bestPredictor);
  PutLe16(out, bestDelta);
  PutLe16(out, samples[1]);
  PutLe16(out, samples[0]);
  for (size_t i = 0; i < kBlockSamples - 2; i += 2)
    out += static_cast<char>((codes[i] << 4) | codes[i + 1]);
}

std::string Encode(std::span<const int16_t> samples) {
  std::string out;
  out.reserve((samples.size() + kBlockSamples - 1) / kBlockSamples * kBlockBytes);
  for (size_t at = 0; at < samples.size(); at += kBlockSamples)
    EncodeBlock(samples.subspan(at, std::min(kBlockSamples, samples.size() - at)), out);
  return out;
}

}  // namespace audio
