#pragma once
// Pieces for attacking the built chatd over loopback: raw connections from
// a chosen loopback address, and the server's resident memory.
#include <sys/types.h>

#include <string>

namespace chatd_test {

// A TCP connection to 127.0.0.1:`port` whose own end is bound to `source`
// (any 127.x.y.z works on loopback); -1 on failure.  Sends never block
// longer than a second.
int ConnectFrom(int port, const char* source = "127.0.0.1");
// Sends as much of `bytes` as the peer takes; false once it refuses more
// (closed, reset, or nothing taken for a second).
bool SendBytes(int fd, const std::string& bytes);
// True when the peer closes within `waitMs`; what arrives meanwhile is read
// and thrown away.
bool ClosedWithin(int fd, int waitMs);
// True when the peer has neither closed nor reset the connection by now.
bool StillOpen(int fd);
// Resident memory of a process in KiB (VmRSS), 0 when unknown.
long ResidentKiB(pid_t pid);

}  // namespace chatd_test
