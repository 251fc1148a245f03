#pragma once
// Reading the sample files of tests/data/audio.
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/wav_file.h"
#include "test_data.h"

inline std::string AudioDataPath(const std::string& name) {
  return TestData("audio/" + name);
}

inline std::string ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The samples of a PCM sample file (empty when it cannot be read).
inline std::vector<int16_t> PcmFile(const std::string& name) {
  std::string image = ReadBytes(AudioDataPath(name));
  std::string error;
  auto info = audio::ParseWav(image, error);
  if (!info || info->format != audio::kFormatPcm) return {};
  return audio::PcmSamples(*info);
}
