// ADPCM encode and decode rates, in samples per second.  Real time is 8000
// samples per second; both directions must run far above it.
#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <iterator>

#include "audio/adpcm.h"
#include "audio/wav_file.h"

namespace {

// Ten seconds of the sweep sample (or a synthetic sweep when the file is
// missing), so the encoder sees speech-like changing content.
const std::vector<int16_t>& Speech() {
  static const std::vector<int16_t> samples = [] {
    std::ifstream in(CHAT_SOURCE_DIR "/tests/data/audio/sweep-8k.wav", std::ios::binary);
    std::string image((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string error;
    std::vector<int16_t> one;
    if (auto info = audio::ParseWav(image, error)) one = audio::PcmSamples(*info);
    if (one.empty()) {
      one.resize(12000);
      for (size_t i = 0; i < one.size(); ++i)
        one[i] = static_cast<int16_t>(12000 * std::sin(i * (0.05 + i * 2e-5)));
    }
    std::vector<int16_t> all;
    while (all.size() < 80000) all.insert(all.end(), one.begin(), one.end());
    all.resize(80000);
    return all;
  }();
  return samples;
}

void BM_AdpcmEncode(benchmark::State& state) {
  const auto& pcm = Speech();
  for (auto _ : state) benchmark::DoNotOptimize(audio::Encode(pcm));
  state.counters["samples/s"] =
      benchmark::Counter(double(pcm.size()) * state.iterations(), benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(
      double(pcm.size()) * state.iterations() / audio::kSampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AdpcmEncode)->Unit(benchmark::kMillisecond);

void BM_AdpcmDecode(benchmark::State& state) {
  const std::string blocks = audio::Encode(Speech());
  size_t samples = 0;
  for (auto _ : state) {
    auto out = audio::Decode(blocks);
    samples += out.size();
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["samples/s"] = benchmark::Counter(double(samples), benchmark::Counter::kIsRate);
  state.counters["x realtime"] =
      benchmark::Counter(double(samples) / audio::kSampleRate, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_AdpcmDecode)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
