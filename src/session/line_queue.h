#pragma once
// The bytes read from the chat server, handed out one whole line at a time
// (without its line feed) whenever the dispatcher is ready for the next.
// Whole lines waiting are not limited here (the reader stops reading while
// enough wait); what follows the last line feed is, as the receive buffer
// of the protocol bounds it.
#include <cstddef>
#include <string>
#include <string_view>

namespace session {

class LineQueue {
 public:
  static constexpr size_t kDefaultLimit = 16u << 20;

  explicit LineQueue(size_t limit = kDefaultLimit) : limit_(limit) {}

  // Appends `data`.  False when the unfinished rest passes the bound; the
  // queue is then emptied.
  bool Append(std::string_view data);
  // Moves the next whole line into `line`; false when none is waiting.
  bool TakeLine(std::string& line);
  bool HasLine() const { return start_ < tailStart_; }
  // Bytes held: whole lines not yet taken and the unfinished rest.
  size_t Size() const { return buffer_.size() - start_; }
  std::string_view Unfinished() const { return std::string_view(buffer_).substr(tailStart_); }
  void Clear();

 private:
  std::string buffer_;
  size_t start_ = 0;      // bytes before this offset are taken
  size_t tailStart_ = 0;  // just after the last line feed
  size_t limit_;
};

}  // namespace session
