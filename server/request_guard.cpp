#include "server/request_guard.h"

#include "text/bytes.h"

namespace chatd {
namespace {

bool SameWord(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
    if (x != y) return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

}  // namespace

RequestGuard::Verdict RequestGuard::Feed(std::string_view bytes) {
  while (!bytes.empty()) {
    if (state_ == State::Body) {
      const size_t take = bodyLeft_ < bytes.size() ? static_cast<size_t>(bodyLeft_) : bytes.size();
      bodyLeft_ -= take;
      bytes.remove_prefix(take);
      if (bodyLeft_ == 0) {
        state_ = State::Idle;
        ++completed_;
      }
      continue;
    }
    if (state_ == State::Idle) {
      // Blank lines between requests are allowed and start nothing.
      if (bytes.front() == '\r' || bytes.front() == '\n') {
        bytes.remove_prefix(1);
        continue;
      }
      state_ = State::Head;
    }
    // The head ends at the first empty line (CR LF or a bare LF).
    const size_t lf = bytes.find('\n');
    const size_t take = lf == std::string_view::npos ? bytes.size() : lf + 1;
    if (head_.size() + take > kMaxHead) return Verdict::HeadTooLong;
    head_.append(bytes.data(), take);
    bytes.remove_prefix(take);
    if (lf == std::string_view::npos) continue;
    const std::string_view h = head_;
    if (text::EndsWith(h, "\n\n") || text::EndsWith(h, "\n\r\n")) {
      const Verdict v = HeadDone();
      if (v != Verdict::Fine) return v;
    }
  }
  return Verdict::Fine;
}

RequestGuard::Verdict RequestGuard::HeadDone() {
  std::string_view rest = head_;
  uint64_t length = 0;
  bool first = true;
  while (!rest.empty()) {
    const size_t lf = rest.find('\n');
    std::string_view line = rest.substr(0, lf);
    rest.remove_prefix(lf == std::string_view::npos ? rest.size() : lf + 1);
    if (first) {
      first = false;  // the request line
      continue;
    }
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view name = Trim(line.substr(0, colon));
    const std::string_view value = Trim(line.substr(colon + 1));
    if (SameWord(name, "Transfer-Encoding")) return Verdict::BadFraming;
    if (SameWord(name, "Content-Length")) {
      if (value.empty() || value.size() > 18) return Verdict::BadFraming;
      uint64_t n = 0;
      for (char c : value) {
        if (c < '0' || c > '9') return Verdict::BadFraming;
        n = n * 10 + static_cast<uint64_t>(c - '0');
      }
      length = n;
    }
  }
  std::string().swap(head_);
  if (length > kMaxBody) return Verdict::BodyTooLong;
  if (length == 0) {
    state_ = State::Idle;
    ++completed_;
  } else {
    state_ = State::Body;
    bodyLeft_ = length;
  }
  return Verdict::Fine;
}

}  // namespace chatd
