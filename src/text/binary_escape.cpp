#include "text/binary_escape.h"

namespace text {

std::string EscapeBinary(std::string_view data, char marker) {
  std::string out;
  out.reserve(data.size() + data.size() / 8 + 1);
  out += marker;
  for (char c : data) {
    switch (static_cast<unsigned char>(c)) {
      case 0x0A: out += "\x0F\x01"; break;
      case 0x00: out += std::string_view("\x0F\x02", 2); break;
      case 0x7C: out += "\x0F\x03"; break;
      case 0xA6: out += "\x0F\x04"; break;
      case 0x0F: out += "\x0F\x05"; break;
      default: out += c;
    }
  }
  return out;
}

std::optional<std::string> UnescapeBinary(std::string_view text, size_t capacity) {
  std::string out;
  for (size_t i = 1; i < text.size(); ++i) {
    char c = text[i];
    if (c == 0x0F) {
      if (i + 1 >= text.size()) return std::nullopt;
      switch (text[++i]) {
        case 0x01: c = 0x0A; break;
        case 0x02: c = 0x00; break;
        case 0x03: c = 0x7C; break;
        case 0x04: c = static_cast<char>(0xA6); break;
        default: c = 0x0F;
      }
    }
    if (out.size() >= capacity) return std::nullopt;
    out += c;
  }
  return out;
}

}  // namespace text
