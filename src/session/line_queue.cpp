#include "session/line_queue.h"

namespace session {

bool LineQueue::Append(std::string_view data) {
  // Taken lines are dropped from the front once they are half the buffer,
  // so the cost per byte stays constant.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    tailStart_ -= start_;
    start_ = 0;
  }
  const size_t at = buffer_.size();
  buffer_.append(data);
  if (const size_t lf = data.rfind('\n'); lf != std::string_view::npos) tailStart_ = at + lf + 1;
  if (buffer_.size() - tailStart_ > limit_) {
    Clear();
    return false;
  }
  return true;
}

bool LineQueue::TakeLine(std::string& line) {
  if (!HasLine()) return false;
  const size_t lf = buffer_.find('\n', start_);
  line.assign(buffer_, start_, lf - start_);
  start_ = lf + 1;
  return true;
}

void LineQueue::Clear() {
  buffer_.clear();
  start_ = 0;
  tailStart_ = 0;
}

}  // namespace session
