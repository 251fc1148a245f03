#pragma once
// Unpacking a gzip-encoded HTTP body with zlib's gzip file support.  The
// packed body goes to a "ZLB" temporary file in the system temporary
// directory; the unpacked data goes to the target file, or to a second
// "ZLB" temporary file when there is none, and is read back from there.
#include <cstdint>
#include <functional>
#include <string>

namespace http {

struct GunzipJob {
  std::string targetFile;         // empty: unpack through a temporary file
  int64_t limit = 0;              // unpacked bytes allowed; above it fails
  std::function<void(int)> progress;  // percentage, in steps of 5
  std::function<bool()> cancelled;    // polled between blocks; may be empty
};

// Replaces `body` by its unpacked form and returns true.  On failure the
// destination file is deleted (the target file too) and `body` is left as
// it was.  No temporary file outlives the call.
bool GunzipThroughFiles(std::string& body, const GunzipJob& job);

}  // namespace http
