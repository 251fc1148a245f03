#pragma once
// Refused input is logged by count, not line by line: the first refusal of
// a connection is written at once, later ones are counted and written as
// one line ("…: 99999 × line before login dropped") when a second has
// passed since that connection's last line.  Only a short escaped prefix of
// the first refused bytes of each kind reaches the log, so a flood of bad
// lines costs the log a few lines per second, not a copy of the flood.
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>

namespace chatd {

class RefusalLog {
 public:
  static constexpr int64_t kPeriodMs = 1000;
  static constexpr size_t kPrefixBytes = 32;
  static constexpr size_t kMaxSubjects = 4096;

  // `write` takes one finished line; `nowMs` is a steady clock.
  RefusalLog(std::function<void(std::string_view)> write, std::function<int64_t()> nowMs);

  // One refusal of `kind` for the connection `who`; `bytes` are what was
  // refused (only a prefix is kept).
  void Note(std::string_view who, std::string_view kind, std::string_view bytes = {});
  // `who` is gone: what is still counted is written with the next Flush
  // that its period allows, then it is forgotten.
  void Done(std::string_view who);
  // Writes the counts whose period is over; call it about once a second.
  void Flush();

  size_t Subjects() const { return subjects_.size(); }

 private:
  struct Kind {
    uint64_t count = 0;
    std::string first;  // printable prefix of the first refused bytes
  };
  struct Subject {
    int64_t lastWritten = INT64_MIN / 2;
    bool done = false;
    std::map<std::string, Kind, std::less<>> pending;
  };

  void Write(const std::string& who, Subject& s);

  std::function<void(std::string_view)> write_;
  std::function<int64_t()> now_;
  std::map<std::string, Subject, std::less<>> subjects_;
};

}  // namespace chatd
