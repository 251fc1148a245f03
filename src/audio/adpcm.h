#pragma once
// Microsoft ADPCM (wave format 2) for mono audio: the format audio messages
// travel in.  Each 256-byte block holds 500 samples: a 7-byte header
// (predictor index, initial delta, the two newest samples) and 249 bytes of
// 4-bit codes, high nibble first.  Plain C++, no Qt.
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace audio {

constexpr int kSampleRate = 8000;
constexpr size_t kBlockBytes = 256;
constexpr size_t kBlockSamples = 500;
constexpr size_t kBlockHeaderBytes = 7;

struct Coefficients {
  int16_t c1;  // weight of the newest sample, in 1/256
  int16_t c2;  // weight of the one before it
};

// The seven standard predictor pairs.
inline constexpr std::array<Coefficients, 7> kStandardCoefficients{{
    {256, 0}, {512, -256}, {0, 0}, {192, 64}, {240, 0}, {460, -208}, {392, -232}}};

// Samples a block of `bytes` bytes holds: two in the header, two per byte
// after it.  A block too short for its header holds none.
size_t SamplesInBlock(size_t bytes);

// Decodes one block (any length up to a full block of the file's block
// size) and appends its samples to `out`.  A block whose predictor index is
// outside `coefficients` is appended as silence of the same length.
void DecodeBlock(std::string_view block, std::span<const Coefficients> coefficients,
                 std::vector<int16_t>& out);

// Decodes a stream of blocks of `blockBytes` bytes; the last may be shorter.
std::vector<int16_t> Decode(std::string_view data, size_t blockBytes = kBlockBytes,
                            std::span<const Coefficients> coefficients = kStandardCoefficients);

// Encodes up to 500 samples into one 256-byte block appended to `out`; a
// shorter input is padded by holding its last sample.  The predictor and initial delta
// are those that give the smallest squared error for this block.
void EncodeBlock(std::span<const int16_t> samples, std::string& out);

// Encodes all samples in 256-byte blocks, the last one padded.
std::string Encode(std::span<const int16_t> samples);

}  // namespace audio
