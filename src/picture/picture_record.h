#pragma once
// Picture: one URL picture of the registry, from its first naming to the end
// of the program.
#include "picture/decoded_image.h"

#include <string>
#include <unordered_set>

namespace markup {
class MarkupLine;
}

namespace picture {

struct Picture {
  enum class Stage {
    Downloading,  // in the download queue
    Decoding,     // handed to the decoding thread
    Done,         // decoded, loaded or not
    Cancelled,    // its last line went away while it was downloading
  };

  int number = 0;
  std::string url;
  std::string localFile;  // the file it is loaded from or downloaded to
  bool fromCache = false;
  Stage stage = Stage::Downloading;
  bool loaded = false;
  DecodedImage image;  // frames at full size and their delays
  // Lines waiting for the real size; emptied once the picture has loaded.
  std::unordered_set<markup::MarkupLine*> users;

  bool Done() const { return stage == Stage::Done; }
  bool Animated() const { return loaded && image.Animated(); }
  int FrameCount() const { return int(image.frames.size()); }
  // Delays below 100 ms are raised to 100, so no occurrence redraws more
  // than ten times a second.
  int FrameDelay(int frame) const {
    const int d = frame >= 0 && size_t(frame) < image.delays.size() ? image.delays[size_t(frame)] : 0;
    return d < 100 ? 100 : d;
  }
};

}  // namespace picture
