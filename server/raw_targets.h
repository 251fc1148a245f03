#pragma once
// Qt HttpServer reads the request target as UTF-8, so a Windows-1251 byte
// sent unescaped in a path (a Cyrillic user name in a photo address) reaches
// the handler as U+FFFD and is lost.  RawTargets watches the bytes of one
// connection before Qt takes them and keeps the targets holding such bytes,
// so the handler can get the original back.
#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>

namespace chatd {

class RawTargets {
 public:
  static constexpr size_t kMaxLine = 16 * 1024;
  static constexpr size_t kMaxKept = 64;

  // Bytes as they arrive on the connection, in order.
  void Feed(std::string_view bytes);

  // The raw target of the request that Qt reports as `qtTarget` (path and
  // query, percent-encoded UTF-8), when one was seen; targets seen before it
  // that do not match are dropped.
  std::optional<std::string> Take(std::string_view qtTarget);

  // True when `qtTarget` carries bytes above 127 once decoded: only then can
  // Qt's view differ from the raw bytes.
  static bool NeedsRaw(std::string_view qtTarget);

 private:
  void Line(std::string_view line);

  std::string partial_;
  bool skipping_ = false;  // inside a line longer than kMaxLine
  std::deque<std::string> targets_;
};

}  // namespace chatd
