#include "audio/sound_files.h"

#include <cctype>
#include <filesystem>
#include <fstream>

#include "audio/adpcm.h"
#include "audio/wav_file.h"
#include "text/bytes.h"
#include "text/line_file.h"

namespace audio {

std::string KeptSoundFileName(std::string_view base) { return text::UserFileName(base) + ".cwv"; }

std::string KeptSoundPath(const std::string& programDir, std::string_view base) {
  return text::UserFilePath(programDir + "Sounds/", base, ".cwv");
}

std::string SoundData(const Sound& sound) {
  std::string out;
  for (const auto& b : sound.buffers) out += b->Bytes();
  return out;
}

bool WriteSoundFile(const std::string& path, const Sound& sound) {
  std::string bytes;
  std::string ext = path.size() >= 4 ? path.substr(path.size() - 4) : "";
  for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  bool wav = ext == ".wav";
  if (wav) {
    // Each buffer decodes on its own, as it is played.
    std::vector<int16_t> samples;
    for (const auto& b : sound.buffers) {
      std::vector<int16_t> part = Decode(b->Bytes());
      samples.insert(samples.end(), part.begin(), part.end());
    }
    bytes = PcmWavImage(samples);
  } else {
    bytes = SoundData(sound);
  }
  return text::ReplaceFileAtomically(path, bytes);
}

std::optional<std::string> ReadKeptFile(const std::string& path) {
  std::error_code ec;
  auto size = std::filesystem::file_size(path, ec);
  if (ec || size > kMaxKeptFile) return std::nullopt;
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes(static_cast<size_t>(size), '\0');
  if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()))) return std::nullopt;
  return bytes;
}

}  // namespace audio
