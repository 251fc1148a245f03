#pragma once
// Memory figures of a process from /proc/<pid>/status: "VmRSS" (resident
// now) or "VmHWM" (the highest resident size so far), in KiB; 0 when unknown.
#include <sys/types.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

namespace chatd_test {

// AddressSanitizer keeps freed memory in quarantine and maps shadow memory
// beside every allocation, so resident-size bounds say nothing in such a build.
#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kResidentSizeMeasurable = false;
#else
inline constexpr bool kResidentSizeMeasurable = true;
#endif

inline long StatusKiB(const std::string& key, pid_t pid = getpid()) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(key + ":", 0) != 0) continue;
    std::istringstream in(line.substr(key.size() + 1));
    long kib = 0;
    in >> kib;
    return kib;
  }
  return 0;
}

}  // namespace chatd_test
