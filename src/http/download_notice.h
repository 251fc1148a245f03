#pragma once
// What a download tells its owner.  The numbers are the message values of
// the download/owner interface; every notice carries the id of the download
// so an owner can ignore notices of a download it has already destroyed.
#include <cstdint>
#include <functional>

namespace http {

enum class NoticeKind : int {
  Progress = 0x8007,      // w = body bytes so far, l = content length or -1
  Activity = 0x8008,      // (1, 0) starting, (0, 1) data arrived
  GzipProgress = 0x8009,  // w = percentage unpacked
  Done = 0x871F,          // the download finished successfully
  Failed = 0x871E,        // the download failed
};

struct DownloadNotice {
  uint64_t id = 0;
  NoticeKind kind = NoticeKind::Progress;
  int64_t w = 0;
  int64_t l = 0;
};

using NoticeHandler = std::function<void(const DownloadNotice&)>;

// A download without any socket event for this long fails.
inline constexpr int kInactivityTimeoutMs = 30000;

// Bodies, raw or unpacked, above this size fail the download.
inline constexpr int64_t kMaxBodyBytes = int64_t(64) * 1024 * 1024;

}  // namespace http
