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
  // Every line naming the picture now, loaded or not.
  std::unordered_set<markup::MarkupLine*> namers;
  // The frames were given back to the budget while nobody saw them; they
  // are decoded again from the local file when they are drawn.  The size,
  // delays and frame count stay.
  bool framesReleased = false;
  int releasedFrames = 0;
  // The registry's paint count when it was last drawn (least recently
  // shown pictures give their frames back first).
  int64_t lastShown = 0;
  // The budget refused it once and frames of others were released for it.
  bool retriedForBudget = false;

  bool Done() const { return stage == Stage::Done; }
  bool Animated() const { return loaded && FrameCount() > 1; }
  int FrameCount() const { return framesReleased ? releasedFrames : int(image.frames.size()); }
  // Delays below 100 ms are raised to 100, so no occurrence redraws more
  // than ten times a second.
  int FrameDelay(int frame) const {
    const int d = frame >= 0 && size_t(frame) < image.delays.size() ? image.delays[size_t(frame)] : 0;
    return d < 100 ? 100 : d;
  }
};

}  // namespace picture
