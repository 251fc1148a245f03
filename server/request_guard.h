#pragma once
// Watches the bytes of one web connection before Qt HttpServer parses them
// and says when a request breaks the bounds: a request line with headers
// longer than kMaxHead, a body longer than kMaxBody (the pages take their
// arguments in the query and accept no body), a chunked body, or an
// unreadable Content-Length.  It also tells whether a request is under way,
// so the socket side can give a started request a deadline.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace chatd {

class RequestGuard {
 public:
  static constexpr size_t kMaxHead = 64 * 1024;
  static constexpr size_t kMaxBody = 1024;

  enum class Verdict { Fine, HeadTooLong, BodyTooLong, BadFraming };

  Verdict Feed(std::string_view bytes);
  // A request has begun and is not complete yet.
  bool InRequest() const { return state_ != State::Idle; }
  // Requests whose head and body have been seen whole.
  uint64_t Completed() const { return completed_; }

 private:
  enum class State { Idle, Head, Body };
  Verdict HeadDone();

  State state_ = State::Idle;
  std::string head_;
  uint64_t bodyLeft_ = 0;
  uint64_t completed_ = 0;
};

}  // namespace chatd
