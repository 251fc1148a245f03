#include "http/http_message.h"

#include "text/bytes.h"

namespace http {

std::optional<UrlParts> SplitUrl(std::string_view url) {
  if (url.size() >= 7 && url.substr(4, 3) == "://") url.remove_prefix(7);
  size_t slash = url.find('/');
  if (slash == std::string_view::npos || slash == 0) return std::nullopt;
  // The host goes into the "Host:" header as written: a control byte or a
  // blank there would end the header early or smuggle another one in.
  for (char c : url.substr(0, slash)) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7F) return std::nullopt;
  }
  UrlParts parts;
  parts.host = std::string(url.substr(0, slash));
  parts.path = std::string(url.substr(slash));

  std::string_view host = parts.host;
  std::string_view portText;
  if (host.front() == '[') {  // [v6 address] with an optional port
    size_t close = host.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    std::string_view rest = host.substr(close + 1);
    if (!rest.empty()) {
      if (rest.front() != ':') return std::nullopt;
      portText = rest.substr(1);
      if (portText.empty()) return std::nullopt;
    }
    host = host.substr(1, close - 1);
  } else if (size_t colon = host.rfind(':'); colon != std::string_view::npos) {
    portText = host.substr(colon + 1);
    host = host.substr(0, colon);
    if (portText.empty()) return std::nullopt;
  }
  if (host.empty()) return std::nullopt;
  if (!portText.empty()) {
    for (char c : portText)
      if (c < '0' || c > '9') return std::nullopt;
    auto port = text::ParseInt(portText);
    if (!port || *port < 1 || *port > 65535) return std::nullopt;
    parts.port = uint16_t(*port);
  }
  parts.connectHost = std::string(host);
  return parts;
}

std::string RequestPath(std::string_view path) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(path.size());
  for (char c : path) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b >= 0x7F) {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 15];
    } else {
      out += c;
    }
  }
  return out;
}

std::string BuildRequest(const UrlParts& url, bool gzip) {
  std::string request = "GET " + RequestPath(url.path);
  request += gzip ? " HTTP/1.1\nAccept-Encoding: gzip" : " HTTP/1.0";
  request += "\nHost: " + url.host + "\n\n";
  return request;
}

std::optional<ResponseHeader> ParseResponseHeader(std::string_view received) {
  size_t end = received.find("\r\n\r\n");
  if (end == std::string_view::npos) return std::nullopt;
  ResponseHeader header;
  header.headerBytes = end + 4;
  std::string_view head = received.substr(0, header.headerBytes);

  constexpr std::string_view kLength = "\r\nContent-Length: ";
  if (size_t at = head.find(kLength); at != std::string_view::npos) {
    size_t from = at + kLength.size();
    size_t to = head.find('\r', from);
    auto value = text::ParseInt(head.substr(from, to - from));
    if (value && *value >= 0) header.contentLength = *value;
  }
  header.gzip = text::Contains(head, "\r\nContent-Encoding: gzip");
  return header;
}

}  // namespace http
