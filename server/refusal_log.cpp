#include "server/refusal_log.h"

#include <vector>

#include "server/log.h"

namespace chatd {

RefusalLog::RefusalLog(std::function<void(std::string_view)> write, std::function<int64_t()> nowMs)
    : write_(std::move(write)), now_(std::move(nowMs)) {}

void RefusalLog::Note(std::string_view who, std::string_view kind, std::string_view bytes) {
  auto it = subjects_.find(who);
  if (it == subjects_.end()) {
    // Past the bound every newcomer shares one line, so no flood of
    // distinct names can grow this map.
    if (subjects_.size() >= kMaxSubjects) who = "others";
    it = subjects_.try_emplace(std::string(who)).first;
  }
  Subject& s = it->second;
  auto k = s.pending.find(kind);
  if (k == s.pending.end()) {
    k = s.pending.try_emplace(std::string(kind)).first;
    k->second.first = Printable(bytes, kPrefixBytes);
  }
  ++k->second.count;
  if (now_() - s.lastWritten >= kPeriodMs) Write(it->first, s);
}

void RefusalLog::Done(std::string_view who) {
  auto it = subjects_.find(who);
  if (it == subjects_.end()) return;
  it->second.done = true;
  if (it->second.pending.empty()) subjects_.erase(it);
}

void RefusalLog::Flush() {
  const int64_t now = now_();
  std::vector<std::string> gone;
  for (auto& [who, s] : subjects_) {
    if (now - s.lastWritten < kPeriodMs) continue;
    if (!s.pending.empty()) Write(who, s);
    // Quiet for a whole period: nothing to remember any more.
    else gone.push_back(who);
  }
  for (auto& [who, s] : subjects_)
    if (s.done && s.pending.empty()) gone.push_back(who);
  for (const auto& who : gone) subjects_.erase(who);
}

void RefusalLog::Write(const std::string& who, Subject& s) {
  std::string line = who + ":";
  bool first = true;
  for (const auto& [kind, k] : s.pending) {
    line += first ? " " : "; ";
    first = false;
    if (k.count > 1) line += std::to_string(k.count) + " x ";
    line += kind;
    if (!k.first.empty()) line += " (\"" + k.first + "\")";
  }
  s.pending.clear();
  s.lastWritten = now_();
  write_(line);
}

}  // namespace chatd
