#pragma once
// The message line's conveniences that desktop chat programs share: Up and
// Down walk through the messages sent before, Tab completes the name of a
// user online at the caret.  Texts are Windows-1251.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "chat/link_actions.h"

namespace window {

class MessageHistory {
 public:
  static constexpr size_t kKept = 50;

  // A message was sent: it becomes the newest entry (a repeat of the
  // newest is kept once), and the walk starts again from the line.
  void Sent(const std::string& text);
  // Up: the next older message; `current` is what the line holds now and
  // comes back at the end of the walk.  Nothing when there is no older one.
  std::optional<std::string> Older(const std::string& current);
  // Down: the next newer message, or the text the walk started from.
  std::optional<std::string> Newer();
  size_t Size() const { return sent_.size(); }

 private:
  std::deque<std::string> sent_;  // newest first
  int at_ = -1;                   // -1: not walking
  std::string draft_;
};

// Tab at the caret: the word before it, completed to the next name of
// `names` that begins with it (case and look-alike letters ignored).
// `previous` is the completion Tab made just before, so pressing Tab again
// offers the next name.  A name completed at the start of the line gets
// ", " after it, elsewhere " ".  Nothing when no name fits.
struct Completion {
  LineEdit edit;
  std::string prefix;  // what the user had typed
  std::string name;
  size_t start = 0;  // where the completed word begins
};
std::optional<Completion> CompleteName(const LineEdit& line, const std::vector<std::string>& names,
                                       const std::optional<Completion>& previous);

}  // namespace window
