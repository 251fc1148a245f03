#include "chat/reaction.h"

namespace window {

Reaction ReactionFor(const settings::Settings& s, settings::ReactionSet set, bool settingsDialogOpen, bool muted) {
  const size_t n = static_cast<size_t>(set);
  Reaction r;
  r.bringForward = !settingsDialogOpen && s.StealFocus[n];
  if (muted) return r;
  if (s.AnswerType[n] == 1) r.beep = true;
  else if (s.AnswerType[n] == 2) r.wave = s.Wave[n];
  return r;
}

}  // namespace window
