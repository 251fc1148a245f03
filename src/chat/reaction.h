#pragma once
// The reaction to an event of one reaction set (a public or personal
// message, a friend coming online, a game event): whether the window comes
// forward and which sound plays, as the [Sounds] settings say.
#include <string>

#include "settings/settings.h"

namespace window {

struct Reaction {
  bool bringForward = false;
  bool beep = false;
  std::string wave;  // a wave file to play, empty for none
};

// While the settings dialog is open nothing comes forward over it; muted
// (no sound) keeps the window's part.
Reaction ReactionFor(const settings::Settings& s, settings::ReactionSet set, bool settingsDialogOpen, bool muted);

}  // namespace window
