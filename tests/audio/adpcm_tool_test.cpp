// The adpcm converter run as a process, as a user runs it.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

#include "audio_files.h"
#include "audio/adpcm.h"

namespace {

struct ToolRun {
  int exitCode;
  std::string output;  // standard error and output together
};

ToolRun Adpcm(const std::string& args) {
  std::string command = std::string(CHAT_BINARY_DIR "/bin/adpcm ") + args + " 2>&1";
  FILE* p = ::popen(command.c_str(), "r");
  if (!p) return {-1, ""};
  std::string out;
  char buf[512];
  size_t n;
  while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
  int status = ::pclose(p);
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, out};
}

class AdpcmTool : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("chat-adpcm-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir_);
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::string P(const std::string& name) const { return (dir_ / name).string(); }
  void Put(const std::string& name, const std::string& bytes) const {
    std::ofstream(P(name), std::ios::binary) << bytes;
  }
  std::vector<int16_t> Pcm(const std::string& name) const {
    std::string image = ReadBytes(P(name)), error;
    auto info = audio::ParseWav(image, error);
    if (!info || info->format != audio::kFormatPcm) return {};
    return audio::PcmSamples(*info);
  }
  std::filesystem::path dir_;
};

TEST_F(AdpcmTool, DecodesSoxFilesExactlyAndMessagesWithoutHeader) {
  ToolRun r = Adpcm("decode " + AudioDataPath("sweep-8k-msadpcm.wav") + " " + P("out.wav"));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Pcm("out.wav"), PcmFile("sweep-8k-msadpcm-decoded-by-sox.wav"));

  // A kept message is the bare block stream.
  std::string image = ReadBytes(AudioDataPath("tone-440-8k-msadpcm.wav")), error;
  auto info = audio::ParseWav(image, error);
  ASSERT_TRUE(info);
  Put("msg.cwv", std::string(info->data));
  r = Adpcm("decode " + P("msg.cwv") + " " + P("msg.wav"));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  EXPECT_EQ(Pcm("msg.wav"), PcmFile("tone-440-8k-msadpcm-decoded-by-sox.wav"));
}

TEST_F(AdpcmTool, EncodesToWavAndToMessageAndBack) {
  std::vector<int16_t> tone = PcmFile("tone-440-8k.wav");
  ToolRun r = Adpcm("encode " + AudioDataPath("tone-440-8k.wav") + " " + P("t.wav"));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  r = Adpcm("encode " + AudioDataPath("tone-440-8k.wav") + " " + P("t.CWV"));
  ASSERT_EQ(r.exitCode, 0) << r.output;
  std::string cwv = ReadBytes(P("t.CWV"));
  EXPECT_EQ(cwv.size(), 16u * 256);
  EXPECT_NE(cwv.substr(0, 4), "RIFF");

  std::string image = ReadBytes(P("t.wav")), error;
  auto info = audio::ParseWav(image, error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(info->format, audio::kFormatAdpcm);
  EXPECT_EQ(info->data, cwv);

  ASSERT_EQ(Adpcm("decode " + P("t.wav") + " " + P("back.wav")).exitCode, 0);
  std::vector<int16_t> back = Pcm("back.wav");
  ASSERT_EQ(back.size(), tone.size());
  for (size_t i = 0; i < tone.size(); ++i) ASSERT_NEAR(back[i], tone[i], 2500) << i;
}

TEST_F(AdpcmTool, BadInputGetsAMessageAndAFailingExit) {
  const std::string adpcm = ReadBytes(AudioDataPath("tone-440-8k-msadpcm.wav"));
  Put("truncated.wav", adpcm.substr(0, 1000));
  Put("hello.txt", "hello");
  Put("empty.cwv", "");
  std::string huge = adpcm;
  huge[0x56] = huge[0x57] = huge[0x58] = huge[0x59] = '\xFF';
  Put("huge.wav", huge);
  std::string zeroAlign = adpcm;
  zeroAlign[0x20] = zeroAlign[0x21] = 0;
  Put("zero-align.wav", zeroAlign);

  struct Case {
    std::string args, message;
  } cases[] = {
      {"decode " + P("truncated.wav") + " " + P("o.wav"), "truncated"},
      {"decode " + P("huge.wav") + " " + P("o.wav"), "truncated"},
      {"decode " + P("zero-align.wav") + " " + P("o.wav"), "block size 0"},
      {"decode " + AudioDataPath("tone-440-8k.wav") + " " + P("o.wav"), "not Microsoft ADPCM"},
      {"decode " + P("hello.txt") + " " + P("o.wav"), "neither a WAV file"},
      {"decode " + P("empty.cwv") + " " + P("o.wav"), "empty"},
      {"decode " + P("missing.wav") + " " + P("o.wav"), "cannot open"},
      {"encode " + AudioDataPath("tone-440-8k-msadpcm.wav") + " " + P("o.wav"), "not 16-bit PCM"},
      {"encode " + P("truncated.wav") + " " + P("o.wav"), "truncated"},
      {"decode " + AudioDataPath("tone-440-8k-msadpcm.wav") + " " + P("no/such/dir.wav"),
       "cannot write"},
      {"mangle a b", "unknown command"},
      {"decode onlyone", "usage"},
  };
  for (const Case& c : cases) {
    ToolRun r = Adpcm(c.args);
    EXPECT_NE(r.exitCode, 0) << c.args;
    EXPECT_NE(r.output.find(c.message), std::string::npos) << c.args << ": " << r.output;
  }
  EXPECT_FALSE(std::filesystem::exists(P("o.wav")));
}

}  // namespace
