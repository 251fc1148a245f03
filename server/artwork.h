#pragma once
// The pictures chatd serves, drawn by chatd itself: additional smileys
// (animated GIFs with transparency and every disposal method, and
// single-frame ones), the second picture set, and the bot's photos (JPEG).
#include <string>
#include <vector>

namespace chatd {

struct ArtFile {
  std::string path;  // relative to the data folder, e.g. "smiles/105.gif"
  std::string bytes;
};

// Numbers of the additional smileys: groups 0..2 of twelve pictures each
// (0..11, 100..111, 200..211); the first of a group is its index picture.
std::vector<int> SmileyNumbers();

// Every picture, drawn the same way each time.
std::vector<ArtFile> DrawArtwork(const std::string& botName);

// Writes the pictures missing under `dataDir` (an existing file is kept, so
// a picture replaced by hand survives); returns how many were written, or -1
// when a file could not be written.
int EnsureArtwork(const std::string& dataDir, const std::string& botName);

// "photos/" + text::SafeFileName(name) + "_" + n + ".jpg".
std::string PhotoPath(const std::string& name, int n);

}  // namespace chatd
