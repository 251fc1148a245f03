#pragma once
// RIFF WAVE images: reading the format and data chunks of a 16-bit PCM or a
// Microsoft ADPCM file, and writing both kinds.  Every size in a file is
// checked against the bytes that are really there.  Plain C++, no Qt.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "audio/adpcm.h"

namespace audio {

constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatAdpcm = 2;

struct WavInfo {
  uint16_t format = 0;
  uint16_t channels = 0;
  uint32_t sampleRate = 0;
  uint16_t blockAlign = 0;
  uint16_t bitsPerSample = 0;
  std::vector<Coefficients> coefficients;  // ADPCM only
  std::optional<uint32_t> factSamples;     // ADPCM: the true sample count
  std::string_view data;                   // into the parsed image
};

// Parses `image`; on failure returns nothing and sets `error` to a short
// English reason.  Accepts mono 16-bit PCM and mono ADPCM; the ADPCM block
// size and coefficients come from the file.
std::optional<WavInfo> ParseWav(std::string_view image, std::string& error);

// A 16-bit mono PCM WAV image.
std::string PcmWavImage(std::span<const int16_t> samples, uint32_t sampleRate = kSampleRate);

// A Microsoft ADPCM WAV image in the message format (8000 Hz, 256-byte
// blocks, standard coefficients) around `blocks`, whose true length is
// `sampleCount` samples.
std::string AdpcmWavImage(std::string_view blocks, uint32_t sampleCount);

// PCM samples of a parsed PCM file (an odd last byte is dropped).
std::vector<int16_t> PcmSamples(const WavInfo& info);

// Decoded samples of a parsed ADPCM file, cut to its fact count.
std::vector<int16_t> AdpcmSamples(const WavInfo& info);

}  // namespace audio
