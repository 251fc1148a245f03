#pragma once
// Pieces for attacking the built chatd over loopback, beside the raw
// connections of line_client.h and the memory figures of process_memory.h.
#include <sys/types.h>

#include <string>

#include "line_client.h"
#include "process_memory.h"

namespace chatd_test {

// True when the peer closes within `waitMs`; what arrives meanwhile is read
// and thrown away.
bool ClosedWithin(int fd, int waitMs);
// True when the peer has neither closed nor reset the connection by now.
bool StillOpen(int fd);

}  // namespace chatd_test
