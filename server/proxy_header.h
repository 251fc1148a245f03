#pragma once
// The PROXY protocol header a TCP balancer puts in front of a connection
// (version 1, text, or version 2, binary), so chatd learns the client's
// real address.  Pure parsing: the listener feeds it the first bytes.
#include <cstddef>
#include <string>
#include <string_view>

namespace chatd {

struct ProxyHeader {
  enum class State { kNeedMore, kBad, kDone };
  State state = State::kNeedMore;
  size_t length = 0;    // bytes of the header, when done
  std::string address;  // the client's address; empty for LOCAL or UNKNOWN
};

// The longest header chatd accepts: a v1 line is at most 107 bytes, a v2
// header with an address block and a few TLVs fits in this.
constexpr size_t kMaxProxyHeader = 536;

// Reads the header at the start of `bytes`.  kNeedMore only while `bytes`
// could still become a valid header shorter than kMaxProxyHeader.
ProxyHeader ParseProxyHeader(std::string_view bytes);

}  // namespace chatd
