#include "audio/adpcm.h"

#include <gtest/gtest.h>

#include <cmath>

#include "audio_files.h"
#include "audio/wav_file.h"

namespace {

double SquaredError(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
  double sum = 0;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
    double d = double(a[i]) - double(b[i]);
    sum += d * d;
  }
  return sum;
}

double SignalToNoiseDb(const std::vector<int16_t>& original, const std::vector<int16_t>& decoded) {
  double signal = 0;
  for (int16_t s : original) signal += double(s) * s;
  return 10 * std::log10(signal / SquaredError(original, decoded));
}

std::string Block(uint8_t predictor, int16_t delta, int16_t s1, int16_t s2, uint8_t codes,
                  size_t bytes = audio::kBlockBytes) {
  std::string b;
  b += char(predictor);
  for (int16_t v : {delta, s1, s2}) {
    b += char(v & 0xFF);
    b += char((v >> 8) & 0xFF);
  }
  b.resize(bytes, char(codes));
  return b;
}

class SoxSamples : public ::testing::TestWithParam<const char*> {};

// sox encoded these files; its decoding of them is the reference, and the
// decoder must reproduce it exactly.
TEST_P(SoxSamples, DecodingMatchesTheReferenceSampleForSample) {
  std::string base = GetParam();
  std::string image = ReadBytes(AudioDataPath(base + "-msadpcm.wav"));
  std::string error;
  auto info = audio::ParseWav(image, error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->format, audio::kFormatAdpcm);
  EXPECT_EQ(info->blockAlign, audio::kBlockBytes);
  ASSERT_EQ(info->coefficients.size(), 7u);
  for (size_t i = 0; i < 7; ++i) {
    EXPECT_EQ(info->coefficients[i].c1, audio::kStandardCoefficients[i].c1);
    EXPECT_EQ(info->coefficients[i].c2, audio::kStandardCoefficients[i].c2);
  }
  std::vector<int16_t> reference = PcmFile(base + "-msadpcm-decoded-by-sox.wav");
  ASSERT_FALSE(reference.empty());
  std::vector<int16_t> decoded = audio::AdpcmSamples(*info);
  ASSERT_EQ(decoded.size(), reference.size());
  for (size_t i = 0; i < decoded.size(); ++i) ASSERT_EQ(decoded[i], reference[i]) << "sample " << i;
  // The message format decodes the bare block stream the same way.
  std::vector<int16_t> bare = audio::Decode(info->data);
  bare.resize(reference.size());
  EXPECT_EQ(bare, reference);
}

// The encoder's choice of predictor and step per block is measured against
// sox's encoder on the same input: it must not do noticeably worse.
TEST_P(SoxSamples, RoundTripErrorIsBoundedAndCompetitive) {
  std::string base = GetParam();
  std::vector<int16_t> original = PcmFile(base + ".wav");
  std::vector<int16_t> soxDecoded = PcmFile(base + "-msadpcm-decoded-by-sox.wav");
  ASSERT_FALSE(original.empty());
  std::string blocks = audio::Encode(original);
  EXPECT_EQ(blocks.size(), (original.size() + 499) / 500 * 256);
  std::vector<int16_t> decoded = audio::Decode(blocks);
  ASSERT_GE(decoded.size(), original.size());
  decoded.resize(original.size());
  double ours = SignalToNoiseDb(original, decoded);
  double sox = SignalToNoiseDb(original, soxDecoded);
  EXPECT_GT(ours, 20.0);
  EXPECT_GT(ours, sox - 1.0) << "ours " << ours << " dB, sox " << sox << " dB";
}

INSTANTIATE_TEST_SUITE_P(Files, SoxSamples, ::testing::Values("tone-440-8k", "sweep-8k"));

TEST(AdpcmEncode, FullScaleAndSilenceSurviveTheRoundTrip) {
  // A full-scale square wave drives the predictor against the sample limits.
  std::vector<int16_t> square(2000);
  for (size_t i = 0; i < square.size(); ++i) square[i] = (i / 20) % 2 ? 32767 : -32768;
  std::vector<int16_t> back = audio::Decode(audio::Encode(square));
  back.resize(square.size());
  EXPECT_GT(SignalToNoiseDb(square, back), 10.0);

  std::vector<int16_t> silence(1000, 0);
  back = audio::Decode(audio::Encode(silence));
  for (int16_t s : back) ASSERT_LE(std::abs(s), 16);
}

TEST(AdpcmEncode, ShortInputIsPaddedToOneBlock) {
  std::vector<int16_t> ramp(120);
  for (size_t i = 0; i < ramp.size(); ++i) ramp[i] = static_cast<int16_t>(i * 100);
  std::string blocks = audio::Encode(ramp);
  ASSERT_EQ(blocks.size(), audio::kBlockBytes);
  std::vector<int16_t> back = audio::Decode(blocks);
  ASSERT_EQ(back.size(), audio::kBlockSamples);
  EXPECT_EQ(back[0], 0);
  EXPECT_EQ(back[1], 100);
  for (size_t i = 0; i < ramp.size(); ++i) EXPECT_NEAR(back[i], ramp[i], 400) << i;
  EXPECT_TRUE(audio::Encode(std::vector<int16_t>{}).empty());
}

TEST(AdpcmDecode, HostileBlocksGiveSilenceOrNothing) {
  std::vector<int16_t> out;
  // A predictor index beyond the table: a block's worth of silence.
  audio::DecodeBlock(Block(7, 500, 1000, 2000, 0x77), audio::kStandardCoefficients, out);
  ASSERT_EQ(out.size(), audio::kBlockSamples);
  for (int16_t s : out) ASSERT_EQ(s, 0);
  out.clear();
  audio::DecodeBlock(Block(255, 500, 1000, 2000, 0x77), audio::kStandardCoefficients, out);
  EXPECT_EQ(out, std::vector<int16_t>(audio::kBlockSamples, 0));

  // Too short for a header: nothing; just a header: its two samples.
  out.clear();
  audio::DecodeBlock(std::string("\x01\x10\x00", 3), audio::kStandardCoefficients, out);
  EXPECT_TRUE(out.empty());
  audio::DecodeBlock(Block(0, 16, 300, -300, 0, 7), audio::kStandardCoefficients, out);
  EXPECT_EQ(out, (std::vector<int16_t>{-300, 300}));

  // A stream that ends inside a block decodes the codes it holds.
  std::vector<int16_t> tail = audio::Decode(Block(2, 16, 0, 0, 0x11, 256 + 10));
  EXPECT_EQ(tail.size(), 500u + audio::SamplesInBlock(10));

  // Maximal codes with the largest and a negative step: the step keeps
  // growing, samples stay clamped and nothing overflows.
  for (int16_t delta : {int16_t(32767), int16_t(-32768)}) {
    for (uint8_t code : {uint8_t(0x77), uint8_t(0x88)}) {
      std::vector<int16_t> wild = audio::Decode(Block(1, delta, 32767, -32768, code).append(
          Block(5, delta, -32768, 32767, code)));
      EXPECT_EQ(wild.size(), 1000u);
    }
  }
  // File-given coefficients at the 16-bit extremes.
  std::vector<audio::Coefficients> extreme{{-32768, -32768}};
  out.clear();
  audio::DecodeBlock(Block(0, 1000, -32768, -32768, 0x8F), extreme, out);
  EXPECT_EQ(out.size(), audio::kBlockSamples);
}

}  // namespace
