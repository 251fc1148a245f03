#pragma once
// The frames on a direct link: one type letter "a".."y", the payload length
// as a little-endian signed 32-bit number, four reserved zero bytes, then
// the payload.  "a" carries the sender's folded name, "c" one packet.
#include <cstddef>
#include <string>
#include <string_view>

namespace direct {

constexpr size_t kFrameHeader = 9;
// A frame above this is taken as hostile and ends the link.
constexpr size_t kMaxFramePayload = 16u << 20;

std::string EncodeFrame(char type, std::string_view payload);

enum class FrameResult {
  Incomplete,  // wait for more bytes
  Frame,       // `type` and `payload` are set, the frame is off the buffer
  Garbage,     // a type outside "a".."y", a negative length or one above the bound
};

// Takes the first frame off the front of `buffer`.  `maxPayload` bounds what
// a peer may make us hold.
FrameResult TakeFrame(std::string& buffer, char& type, std::string& payload,
                      size_t maxPayload = kMaxFramePayload);

// The packet as a "c" payload: "f|" + folded own name + "|" + packet.
std::string DirectPayload(std::string_view userName, std::string_view packet);

// The same packet as the line that carries it through the chat server:
// data "0" and pictures "2P" escaped, "1" as it is.
std::string ServerLineFor(std::string_view recipient, std::string_view packet);

}  // namespace direct
