#include "chat/message_recall.h"

#include <algorithm>

#include "markup/pane_text.h"

namespace window {

void MessageHistory::Sent(const std::string& text) {
  at_ = -1;
  draft_.clear();
  if (text.empty()) return;
  if (sent_.empty() || sent_.front() != text) sent_.push_front(text);
  while (sent_.size() > kKept) sent_.pop_back();
}

std::optional<std::string> MessageHistory::Older(const std::string& current) {
  if (at_ + 1 >= static_cast<int>(sent_.size())) return std::nullopt;
  if (at_ < 0) draft_ = current;
  ++at_;
  return sent_[at_];
}

std::optional<std::string> MessageHistory::Newer() {
  if (at_ < 0) return std::nullopt;
  --at_;
  return at_ < 0 ? draft_ : sent_[at_];
}

namespace {

// Case and look-alike letters ignored, as the pane search folds them.
std::string Key(std::string_view s) { return markup::SearchFold(s); }

}  // namespace

std::optional<Completion> CompleteName(const LineEdit& line, const std::vector<std::string>& names,
                                       const std::optional<Completion>& previous) {
  const size_t caret = std::min<size_t>(std::max(line.caret, 0), line.text.size());
  std::string prefix;
  size_t wordStart;
  size_t wordEnd = caret;
  // Tab right after a completion replaces it with the next name.
  const bool again = previous && previous->edit.text == line.text && previous->edit.caret == line.caret;
  if (again) {
    prefix = previous->prefix;
    wordStart = previous->start;
  } else {
    wordStart = caret;
    while (wordStart > 0 && line.text[wordStart - 1] != ' ') --wordStart;
    prefix = line.text.substr(wordStart, caret - wordStart);
    if (prefix.empty()) return std::nullopt;
  }
  std::vector<std::string> fits;
  const std::string key = Key(prefix);
  for (const std::string& name : names)
    if (name.size() >= prefix.size() && Key(name.substr(0, prefix.size())) == key) fits.push_back(name);
  if (fits.empty()) return std::nullopt;
  std::sort(fits.begin(), fits.end(), [](const std::string& a, const std::string& b) { return Key(a) < Key(b); });
  fits.erase(std::unique(fits.begin(), fits.end()), fits.end());
  std::string chosen = fits.front();
  if (again) {
    auto it = std::find(fits.begin(), fits.end(), previous->name);
    chosen = (it == fits.end() || it + 1 == fits.end()) ? fits.front() : *(it + 1);
  }
  const std::string after = wordStart == 0 ? ", " : " ";
  Completion result;
  result.prefix = prefix;
  result.name = chosen;
  result.start = wordStart;
  result.edit.text = line.text.substr(0, wordStart) + chosen + after + line.text.substr(wordEnd);
  result.edit.caret = result.edit.selStart = static_cast<int>(wordStart + chosen.size() + after.size());
  return result;
}

}  // namespace window
