#pragma once
// A chat client over a plain loopback socket, speaking the line protocol
// byte for byte, for tests and the benchmark.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "wire/wire.h"

namespace chatd_test {

inline constexpr int kWaitMs = 10000;  // upper bound for any awaited line

// A TCP connection to 127.0.0.1:`port` whose own end is bound to `source`
// (any 127.x.y.z works on loopback), without Nagle's delay; with
// `sendTimeoutMs` above 0 no send blocks longer.  -1 on failure.
int ConnectFrom(int port, const char* source = "127.0.0.1", int sendTimeoutMs = 1000);
// Sends all of `bytes`; false once the peer takes no more (closed, reset,
// or the send timeout passed).
bool SendBytes(int fd, const std::string& bytes);

class LineClient {
 public:
  // Connects from `source` (any 127.x.y.z), so tests can play many addresses.
  explicit LineClient(int port, const char* source = "127.0.0.1");
  ~LineClient();
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;

  bool connected() const { return fd_ >= 0; }
  bool Send(const std::string& bytes);
  // The next line without its line feed; nullopt on close or after waitMs.
  std::optional<std::string> ReadLine(int waitMs = kWaitMs);
  // Reads until a line satisfies `match`; the lines before it go to `skipped`.
  std::optional<std::string> ReadUntil(const std::function<bool(const std::string&)>& match,
                                       std::vector<std::string>* skipped = nullptr, int waitMs = kWaitMs);
  // Lines up to the answer of an address request for `marker`: everything
  // the server had queued for this client before it handled the request.
  std::vector<std::string> Sync(const std::string& marker = "sync");
  // True once the server has closed the connection (after reading what is left).
  bool WaitClosed(int waitMs = kWaitMs);

  // The login line as the client builds it (Windows-1251 values).
  static std::string LoginLine(const std::string& name, const std::string& password, const std::string& number,
                               const std::string& extra = "Sex=m;Sound=1;");
  // Logs in; the NewUserNum given, or "" when refused or nothing came.
  std::string Login(const std::string& name, const std::string& password, const std::string& number = "",
                    const std::string& extra = "Sex=m;Sound=1;");

 private:
  int fd_ = -1;
  std::string pending_;
};

// The record of a record line ("x¦…¦"), or nullopt for any other line.
std::optional<wire::Record> AsRecord(const std::string& line);
bool IsRecordWith(const std::string& line, const std::string& key);

// One HTTP GET as the client sends it (lines ending in a bare LF).
struct HttpReply {
  int status = 0;
  std::string headers;
  std::string body;
};
std::optional<HttpReply> HttpGet(int port, const std::string& pathAndQuery, bool gzip);

}  // namespace chatd_test
