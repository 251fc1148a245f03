#include "audio/wav_file.h"

#include <algorithm>

namespace audio {
namespace {

uint16_t U16(std::string_view s, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | (static_cast<uint8_t>(s[at + 1]) << 8));
}
uint32_t U32(std::string_view s, size_t at) {
  return U16(s, at) | (static_cast<uint32_t>(U16(s, at + 2)) << 16);
}
void Put16(std::string& out, uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& out, uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

bool ParseFormat(std::string_view fmt, WavInfo& info, std::string& error) {
  if (fmt.size() < 16) {
    error = "format chunk too short";
    return false;
  }
  info.format = U16(fmt, 0);
  info.channels = U16(fmt, 2);
  info.sampleRate = U32(fmt, 4);
  info.blockAlign = U16(fmt, 12);
  info.bitsPerSample = U16(fmt, 14);
  if (info.channels != 1) {
    error = "only mono files are supported";
    return false;
  }
  if (info.sampleRate == 0) {
    error = "sample rate is zero";
    return false;
  }
  if (info.format == kFormatPcm) {
    if (info.bitsPerSample != 16) {
      error = "only 16-bit PCM is supported";
      return false;
    }
    return true;
  }
  if (info.format != kFormatAdpcm) {
    error = "unsupported format tag " + std::to_string(info.format) +
            " (expected 1, PCM, or 2, Microsoft ADPCM)";
    return false;
  }
  if (info.blockAlign < kBlockHeaderBytes) {
    error = "ADPCM block size " + std::to_string(info.blockAlign) + " is too small";
    return false;
  }
  if (fmt.size() < 22) {
    error = "ADPCM format chunk lacks its coefficients";
    return false;
  }
  size_t count = U16(fmt, 20);
  if (count == 0 || fmt.size() < 22 + 4 * count) {
    error = "ADPCM coefficient table is missing or truncated";
    return false;
  }
  for (size_t i = 0; i < count; ++i)
    info.coefficients.push_back({static_cast<int16_t>(U16(fmt, 22 + 4 * i)),
                                 static_cast<int16_t>(U16(fmt, 24 + 4 * i))});
  return true;
}

void PutHeader(std::string& out, uint32_t riffSize) {
  out += "RIFF";
  Put32(out, riffSize);
  out += "WAVE";
}

}  // namespace

std::optional<WavInfo> ParseWav(std::string_view image, std::string& error) {
  if (image.size() < 12 || image.substr(0, 4) != "RIFF" || image.substr(8, 4) != "WAVE") {
    error = "not a RIFF WAVE file";
    return std::nullopt;
  }
  WavInfo info;
  bool haveFormat = false, haveData = false;
  size_t at = 12;
  while (!haveData && image.size() - at >= 8) {
    std::string_view id = image.substr(at, 4);
    uint32_t size = U32(image, at + 4);
    at += 8;
    if (size > image.size() - at) {
      error = "file is truncated: chunk '" + std::string(id) + "' declares " + std::to_string(size) +
              " bytes, " + std::to_string(image.size() - at) + " present";
      return std::nullopt;
    }
    std::string_view body = image.substr(at, size);
    if (id == "fmt ") {
      if (!ParseFormat(body, info, error)) return std::nullopt;
      haveFormat = true;
    } else if (id == "fact" && size >= 4) {
      info.factSamples = U32(body, 0);
    } else if (id == "data") {
      if (!haveFormat) {
        error = "data chunk comes before the format chunk";
        return std::nullopt;
      }
      info.data = body;
      haveData = true;
    }
    at += size;
    if (size % 2 && at < image.size()) ++at;  // chunks are padded to even sizes
  }
  if (!haveFormat) {
    error = "no format chunk";
    return std::nullopt;
  }
  if (!haveData) {
    error = "no data chunk";
    return std::nullopt;
  }
  return info;
}

std::string PcmWavImage(std::span<const int16_t> samples, uint32_t sampleRate) {
  std::string out;
  uint32_t bytes = static_cast<uint32_t>(samples.size() * 2);
  out.reserve(44 + bytes);
  PutHeader(out, 36 + bytes);
  out += "fmt ";
  Put32(out, 16);
  Put16(out, kFormatPcm);
  Put16(out, 1);
  Put32(out, sampleRate);
  Put32(out, sampleRate * 2);
  Put16(out, 2);
  Put16(out, 16);
  out += "data";
  Put32(out, bytes);
  for (int16_t s : samples) Put16(out, static_cast<uint16_t>(s));
  return out;
}

std::string AdpcmWavImage(std::string_view blocks, uint32_t sampleCount) {
  const uint32_t fmtSize = 20 + 2 + 4 * kStandardCoefficients.size();
  const uint32_t dataSize = static_cast<uint32_t>(blocks.size());
  std::string out;
  out.reserve(64 + fmtSize + dataSize);
  PutHeader(out, 4 + (8 + fmtSize) + (8 + 4) + (8 + dataSize + dataSize % 2));
  out += "fmt ";
  Put32(out, fmtSize);
  Put16(out, kFormatAdpcm);
  Put16(out, 1);
  Put32(out, kSampleRate);
  Put32(out, kSampleRate * kBlockBytes / kBlockSamples);  // 4096 bytes per second
  Put16(out, kBlockBytes);
  Put16(out, 4);
  Put16(out, 4 + 4 * kStandardCoefficients.size());  // extra bytes
  Put16(out, kBlockSamples);
  Put16(out, kStandardCoefficients.size());
  for (auto c : kStandardCoefficients) {
    Put16(out, static_cast<uint16_t>(c.c1));
    Put16(out, static_cast<uint16_t>(c.c2));
  }
  out += "fact";
  Put32(out, 4);
  Put32(out, sampleCount);
  out += "data";
  Put32(out, dataSize);
  out += blocks;
  if (dataSize % 2) out += '\0';
  return out;
}

std::vector<int16_t> PcmSamples(const WavInfo& info) {
  std::vector<int16_t> out(info.data.size() / 2);
  for (size_t i = 0; i < out.size(); ++i) out[i] = static_cast<int16_t>(U16(info.data, 2 * i));
  return out;
}

std::vector<int16_t> AdpcmSamples(const WavInfo& info) {
  std::vector<int16_t> out = Decode(info.data, info.blockAlign, info.coefficients);
  if (info.factSamples && *info.factSamples < out.size()) out.resize(*info.factSamples);
  return out;
}

}  // namespace audio
