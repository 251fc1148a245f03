#pragma once
// Figures of a process from /proc: memory from /proc/<pid>/status ("VmRSS",
// resident now, or "VmHWM", the highest resident size so far, in KiB) and
// the CPU time it used; 0 when unknown.
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
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

// User plus system time of the process so far, in seconds.
inline double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // Fields after the parenthesised command name: state is field 3, utime 14, stime 15.
  const size_t close = stat.rfind(')');
  unsigned long long utime = 0, stime = 0;
  if (close == std::string::npos ||
      std::sscanf(stat.c_str() + close + 2, "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %llu %llu", &utime,
                  &stime) != 2)
    return 0;
  return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

}  // namespace chatd_test
