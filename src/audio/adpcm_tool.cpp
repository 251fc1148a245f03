// adpcm decode|encode IN OUT
//
// Converts between Microsoft ADPCM (a WAV file of format 2, or a kept
// headerless .cwv audio message) and 16-bit PCM WAV, so kept messages can be
// played and shared with other programs.  "encode" writes a .cwv when OUT
// ends with ".cwv", else an ADPCM WAV.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>

#include "audio/adpcm.h"
#include "audio/wav_file.h"

namespace {

// Input bounds: 16 MiB of ADPCM is over an hour of speech and decodes to
// at most 128 MiB of PCM.
constexpr size_t kMaxAdpcmInput = 16u << 20;
constexpr size_t kMaxPcmInput = 64u << 20;

int Fail(const std::string& message) {
  std::fprintf(stderr, "adpcm: %s\n", message.c_str());
  return 1;
}

bool EndsWithCwv(std::string_view path) {
  if (path.size() < 4) return false;
  std::string ext(path.substr(path.size() - 4));
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return ext == ".cwv";
}

bool ReadFile(const std::string& path, size_t limit, std::string& out, std::string& error) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  std::streamoff size = in.tellg();
  if (size < 0) {
    error = "cannot read " + path;
    return false;
  }
  if (static_cast<uint64_t>(size) > limit) {
    error = path + " is larger than " + std::to_string(limit >> 20) + " MiB";
    return false;
  }
  out.resize(static_cast<size_t>(size));
  in.seekg(0);
  if (!in.read(out.data(), size)) {
    error = "cannot read " + path;
    return false;
  }
  return true;
}

bool WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  return out && out.write(bytes.data(), static_cast<std::streamsize>(bytes.size())) && out.flush();
}

int DecodeCommand(const std::string& inPath, const std::string& outPath) {
  std::string image, error;
  if (!ReadFile(inPath, kMaxAdpcmInput, image, error)) return Fail(error);
  std::vector<int16_t> samples;
  uint32_t rate = audio::kSampleRate;
  if (image.starts_with("RIFF")) {
    auto info = audio::ParseWav(image, error);
    if (!info) return Fail(inPath + ": " + error);
    if (info->format != audio::kFormatAdpcm)
      return Fail(inPath + ": not Microsoft ADPCM (format tag " + std::to_string(info->format) + ")");
    samples = audio::AdpcmSamples(*info);
    rate = info->sampleRate;
  } else if (EndsWithCwv(inPath)) {
    if (image.empty()) return Fail(inPath + ": empty audio message");
    samples = audio::Decode(image);
  } else {
    return Fail(inPath + ": neither a WAV file nor a .cwv audio message");
  }
  if (!WriteFile(outPath, audio::PcmWavImage(samples, rate))) return Fail("cannot write " + outPath);
  return 0;
}

int EncodeCommand(const std::string& inPath, const std::string& outPath) {
  std::string image, error;
  if (!ReadFile(inPath, kMaxPcmInput, image, error)) return Fail(error);
  auto info = audio::ParseWav(image, error);
  if (!info) return Fail(inPath + ": " + error);
  if (info->format != audio::kFormatPcm)
    return Fail(inPath + ": not 16-bit PCM (format tag " + std::to_string(info->format) + ")");
  if (info->sampleRate != audio::kSampleRate)
    return Fail(inPath + ": sample rate " + std::to_string(info->sampleRate) +
                " Hz, audio messages need 8000 Hz");
  std::vector<int16_t> samples = audio::PcmSamples(*info);
  std::string blocks = audio::Encode(samples);
  std::string out = EndsWithCwv(outPath)
                        ? blocks
                        : audio::AdpcmWavImage(blocks, static_cast<uint32_t>(samples.size()));
  if (!WriteFile(outPath, out)) return Fail("cannot write " + outPath);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: adpcm decode|encode IN OUT\n");
    return 2;
  }
  std::string command = argv[1];
  if (command == "decode") return DecodeCommand(argv[2], argv[3]);
  if (command == "encode") return EncodeCommand(argv[2], argv[3]);
  std::fprintf(stderr, "adpcm: unknown command '%s' (decode or encode)\n", argv[1]);
  return 2;
}
