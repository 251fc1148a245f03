#include "audio/wav_file.h"

#include <gtest/gtest.h>

#include "audio_files.h"

namespace {

void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + i] = char((v >> (8 * i)) & 0xFF);
}

TEST(WavImage, WrittenFilesParseBack) {
  std::vector<int16_t> samples{0, 1, -1, 32767, -32768, 1234};
  std::string error;
  std::string pcm = audio::PcmWavImage(samples);
  auto info = audio::ParseWav(pcm, error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->format, audio::kFormatPcm);
  EXPECT_EQ(info->sampleRate, 8000u);
  EXPECT_EQ(audio::PcmSamples(*info), samples);

  // An ADPCM file keeps the true length in its fact chunk.
  std::vector<int16_t> tone = PcmFile("tone-440-8k.wav");
  tone.resize(1234);
  std::string blocks = audio::Encode(tone);
  std::string adpcm = audio::AdpcmWavImage(blocks, 1234);
  info = audio::ParseWav(adpcm, error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->format, audio::kFormatAdpcm);
  EXPECT_EQ(info->blockAlign, 256);
  EXPECT_EQ(info->coefficients.size(), 7u);
  EXPECT_EQ(info->data, blocks);
  EXPECT_EQ(audio::AdpcmSamples(*info).size(), 1234u);
  // Its header matches sox's for the same format, up to the fact and data sizes.
  std::string sox = ReadBytes(AudioDataPath("tone-440-8k-msadpcm.wav"));
  EXPECT_EQ(adpcm.substr(12, 0x4A - 12), sox.substr(12, 0x4A - 12));
}

TEST(WavImage, HostileHeadersAreRefusedWithAReason) {
  const std::string good = ReadBytes(AudioDataPath("tone-440-8k-msadpcm.wav"));
  ASSERT_GT(good.size(), 0x56u);
  std::string error;
  ASSERT_TRUE(audio::ParseWav(good, error));

  auto refused = [&](std::string image, const std::string& reason) {
    error.clear();
    EXPECT_FALSE(audio::ParseWav(image, error)) << reason;
    EXPECT_NE(error.find(reason), std::string::npos) << "got: " << error;
  };
  refused("", "not a RIFF WAVE");
  refused("RIFF\0\0\0\0WAVX", "not a RIFF WAVE");
  refused(good.substr(0, 12), "no format chunk");
  refused(good.substr(0, 0x52), "no data chunk");
  refused(good.substr(0, good.size() - 1), "truncated");

  std::string huge = good;
  Put32(huge, 0x10, 0xFFFFFFF0);  // fmt chunk size
  refused(huge, "truncated");
  huge = good;
  Put32(huge, 0x56, 0xFFFFFFFF);  // data chunk size
  refused(huge, "truncated");

  std::string zeroAlign = good;
  zeroAlign[0x20] = zeroAlign[0x21] = 0;
  refused(zeroAlign, "block size 0");
  std::string format = good;
  format[0x14] = 0x55;
  refused(format, "unsupported format tag 85");
  std::string stereo = good;
  stereo[0x16] = 2;
  refused(stereo, "mono");
  std::string noCoefficients = good;
  noCoefficients[0x28] = 0;
  noCoefficients[0x29] = 0;
  refused(noCoefficients, "coefficient");
  std::string tooMany = good;
  tooMany[0x29] = 0x40;  // 16 384 pairs in a 50-byte chunk
  refused(tooMany, "coefficient");
}

TEST(WavImage, OddChunksArePaddedAndUnknownOnesSkipped) {
  std::string pcm = audio::PcmWavImage(std::vector<int16_t>{5, 6, 7});
  // Insert an odd-sized "LIST" chunk (with its pad byte) before the data.
  std::string list = std::string("LIST\x03\0\0\0abc\0", 12);
  pcm.insert(36, list);
  std::string error;
  auto info = audio::ParseWav(pcm, error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(audio::PcmSamples(*info), (std::vector<int16_t>{5, 6, 7}));
}

}  // namespace
