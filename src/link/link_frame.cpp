#include "link/link_frame.h"

#include <cstdint>

#include "wire/wire.h"
#include "text/binary_escape.h"
#include "text/bytes.h"
#include "text/fold.h"

namespace direct {

std::string EncodeFrame(char type, std::string_view payload) {
  std::string out;
  out.reserve(kFrameHeader + payload.size());
  out += type;
  const uint32_t n = static_cast<uint32_t>(payload.size());
  for (int i = 0; i < 4; ++i) out += static_cast<char>((n >> (8 * i)) & 0xFF);
  out.append(4, '\0');
  out.append(payload);
  return out;
}

FrameResult TakeFrame(std::string& buffer, char& type, std::string& payload, size_t maxPayload) {
  if (buffer.size() < kFrameHeader) return FrameResult::Incomplete;
  const char t = buffer[0];
  uint32_t raw = 0;
  for (int i = 0; i < 4; ++i) raw |= uint32_t(static_cast<unsigned char>(buffer[1 + i])) << (8 * i);
  const int32_t length = static_cast<int32_t>(raw);
  if (t < 'a' || t > 'y' || length < 0 || size_t(length) > maxPayload) {
    buffer.clear();
    return FrameResult::Garbage;
  }
  if (buffer.size() < kFrameHeader + size_t(length)) return FrameResult::Incomplete;
  type = t;
  payload.assign(buffer, kFrameHeader, size_t(length));
  buffer.erase(0, kFrameHeader + size_t(length));
  return FrameResult::Frame;
}

std::string DirectPayload(std::string_view userName, std::string_view packet) {
  return "f|" + text::FoldLookAlikes(userName) + "|" + std::string(packet);
}

std::string ServerLineFor(std::string_view recipient, std::string_view packet) {
  std::string body;
  if (text::StartsWith(packet, "2P"))
    body = "2P" + text::EscapeBinary(packet.substr(2), '2');
  else if (!packet.empty() && packet[0] == '0')
    body = text::EscapeBinary(packet.substr(1), '0');
  else
    body = std::string(packet);
  return wire::BuildPositionalLine('f', {wire::EscapeField(recipient), body});
}

}  // namespace direct
