#pragma once
// The byte-level pieces of one HTTP exchange: splitting a URL, the request
// line, and reading the response header.  No sockets here.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace http {

struct UrlParts {
  std::string host;   // the host text as written, port included ("h:8081")
  std::string path;   // starts with "/"
  std::string connectHost;  // host without the port, brackets removed
  uint16_t port = 80;
};

// A leading "xxxx://" (the 5th to 7th characters are "://") is dropped; the
// host runs up to the first "/", the path is the rest.  No "/" after the
// host, an empty host, a host holding a blank or a control byte, or a port
// that is not 1..65535 gives nothing.
std::optional<UrlParts> SplitUrl(std::string_view url);

// The path as it goes into the request line: blanks, control bytes and
// bytes above 127 become "%xx" (a blank would end the path early, a line
// feed would end the request); "%xx" already there stays as it is.
std::string RequestPath(std::string_view path);

// The request exactly as sent (the path through RequestPath): LF line ends; HTTP/1.1 with
// "Accept-Encoding: gzip" when gzip is wanted, otherwise HTTP/1.0.
std::string BuildRequest(const UrlParts& url, bool gzip);

struct ResponseHeader {
  size_t headerBytes = 0;      // header length including the blank line
  int64_t contentLength = -1;  // -1 when absent or not a number
  bool gzip = false;           // "Content-Encoding: gzip"
};

// Looks for the end of the header ("\r\n\r\n") in what has arrived so far.
// Field names are matched exactly as servers of this service write them.
std::optional<ResponseHeader> ParseResponseHeader(std::string_view received);

}  // namespace http
