#pragma once
// Kept audio messages: the headerless .cwv files under Sounds/ and the safe
// file names made from user names.
#include <optional>
#include <string>
#include <string_view>

#include "audio/sound.h"

namespace audio {

// The safe form of `base` + ".cwv".
std::string KeptSoundFileName(std::string_view base);
// Sounds/ + KeptSoundFileName(`base`) in `programDir`.
std::string KeptSoundPath(const std::string& programDir, std::string_view base);

// The data of the sound's buffers, in order.
std::string SoundData(const Sound& sound);

// Writes the sound to `path`: PCM WAV when the name ends with ".wav" (any
// case), else the bare ADPCM data, whole or not at all.  False when the file
// cannot be written.
bool WriteSoundFile(const std::string& path, const Sound& sound);

// Kept files above this size are not read.
constexpr size_t kMaxKeptFile = 16u << 20;

// The file's bytes, nothing when it cannot be opened or is too large.
std::optional<std::string> ReadKeptFile(const std::string& path);

}  // namespace audio
