#include "audio/pcm_convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

constexpr double kPi = 3.14159265358979323846;

int16_t Sine(double t) { return static_cast<int16_t>(std::lround(20000 * std::sin(2 * kPi * 440 * t))); }

TEST(PcmConvert, TheMessageFormatPassesThroughUnchanged) {
  audio::FromDevice from({audio::SampleKind::Int16, 1, 8000});
  std::vector<int16_t> in{1, -2, 300, -32768, 32767, 7}, out;
  std::string bytes(reinterpret_cast<const char*>(in.data()), in.size() * 2);
  from.Feed(bytes, out);
  // The last sample waits for its successor.
  EXPECT_EQ(out, std::vector<int16_t>(in.begin(), in.end() - 1));
}

TEST(PcmConvert, AStereoFloatCardAt48kGivesTheToneAt8k) {
  const audio::PcmFormat card{audio::SampleKind::Float, 2, 48000};
  std::string bytes;
  for (int i = 0; i < 48000; ++i) {
    float v = Sine(i / 48000.0) / 32768.0f;
    float both[2] = {v, 0.0f};  // the channels are averaged
    bytes.append(reinterpret_cast<const char*>(both), sizeof both);
  }
  audio::FromDevice whole(card), pieces(card);
  std::vector<int16_t> a, b;
  whole.Feed(bytes, a);
  // Pieces that end inside frames and samples give the same stream.
  for (size_t at = 0; at < bytes.size(); at += 37) pieces.Feed(std::string_view(bytes).substr(at, 37), b);
  EXPECT_EQ(a, b);
  ASSERT_NEAR(double(a.size()), 8000.0, 2.0);
  for (size_t i = 0; i < a.size(); ++i) ASSERT_NEAR(a[i], Sine(i / 8000.0) / 2.0, 400) << i;
}

TEST(PcmConvert, TheMessageStreamBecomesTheCardsFormat) {
  std::vector<int16_t> tone(8000);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = Sine(i / 8000.0);
  audio::ToDevice to({audio::SampleKind::Int16, 2, 44100});
  std::string out;
  to.Feed(std::span(tone).subspan(0, 3000), out);
  to.Feed(std::span(tone).subspan(3000), out);
  ASSERT_EQ(out.size() % 4, 0u);
  size_t frames = out.size() / 4;
  EXPECT_NEAR(double(frames), 44100.0, 10.0);
  for (size_t i = 0; i < frames; i += 7) {
    int16_t lr[2];
    std::memcpy(lr, out.data() + 4 * i, 4);
    ASSERT_EQ(lr[0], lr[1]);
    ASSERT_NEAR(lr[0], Sine(i / 44100.0), 900) << i;
  }

  // Sample kinds at their extremes.
  std::vector<int16_t> extremes{-32768, 0, 32767, 0};
  std::string u8, i32, f32;
  audio::ToDevice({audio::SampleKind::UInt8, 1, 8000}).Feed(extremes, u8);
  EXPECT_EQ(u8, std::string("\x00\x80\xFF", 3));
  audio::ToDevice({audio::SampleKind::Int32, 1, 8000}).Feed(extremes, i32);
  int32_t first;
  std::memcpy(&first, i32.data(), 4);
  EXPECT_EQ(first, INT32_MIN);
  audio::ToDevice({audio::SampleKind::Float, 1, 8000}).Feed(extremes, f32);
  float last;
  std::memcpy(&last, f32.data() + 8, 4);
  EXPECT_NEAR(last, 1.0f, 1e-4);
}

TEST(PcmConvert, HostileFloatsAndUnsignedBytesStayInRange) {
  float wild[4] = {NAN, INFINITY, -INFINITY, 1e30f};
  std::vector<int16_t> out;
  audio::FromDevice from({audio::SampleKind::Float, 1, 8000});
  from.Feed(std::string_view(reinterpret_cast<const char*>(wild), sizeof wild), out);
  from.Feed(std::string_view("\0\0\0\0", 4), out);
  EXPECT_EQ(out, (std::vector<int16_t>{0, 32767, -32768, 32767}));
  out.clear();
  audio::FromDevice u8({audio::SampleKind::UInt8, 1, 8000});
  u8.Feed(std::string("\x00\x80\xFF\x80", 4), out);
  EXPECT_EQ(out, (std::vector<int16_t>{-32768, 0, 32512}));
}

}  // namespace
