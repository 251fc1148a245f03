#pragma once
// Cuts a connection's bytes into lines without copying the ones that arrive
// whole: a line inside one read is handed out as a view into that read, only
// an unfinished tail is kept.  The tail is bounded; the bound can change
// while the connection lives (a client that has not logged in gets less).
#include <cstddef>
#include <string>
#include <string_view>

namespace chatd {

class LineSplitter {
 public:
  explicit LineSplitter(size_t limit) : limit_(limit) {}

  void SetLimit(size_t limit) { limit_ = limit; }
  size_t Pending() const { return tail_.size(); }

  // Hands every complete line of `data` (without its line feed) to
  // `onLine`, which returns false to stop: the rest is then thrown away.
  // Returns false when the unfinished tail grows past the bound; the tail
  // is then dropped.
  template <class OnLine>
  bool Feed(std::string_view data, OnLine&& onLine);

  // Forgets the tail and gives its memory back.
  void Reset() { std::string().swap(tail_); }

 private:
  std::string tail_;
  size_t limit_;
};

template <class OnLine>
bool LineSplitter::Feed(std::string_view data, OnLine&& onLine) {
  while (!data.empty()) {
    const size_t lf = data.find('\n');
    if (lf == std::string_view::npos) break;
    bool go;
    if (tail_.empty()) {
      go = onLine(data.substr(0, lf));
    } else {
      if (tail_.size() + lf > limit_) {
        Reset();
        return false;
      }
      tail_.append(data.data(), lf);
      go = onLine(std::string_view(tail_));
      tail_.clear();
    }
    data.remove_prefix(lf + 1);
    if (!go) {
      Reset();
      return true;
    }
  }
  if (tail_.size() + data.size() > limit_) {
    Reset();
    return false;
  }
  tail_.append(data);
  // A tail that once held a huge line keeps its memory otherwise.
  if (tail_.empty() && tail_.capacity() > 64 * 1024) Reset();
  return true;
}

}  // namespace chatd
