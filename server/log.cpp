#include "server/log.h"

#include <atomic>
#include <cstdio>

namespace chatd {
namespace {
std::atomic<bool> g_enabled{true};
}

void SetLogEnabled(bool enabled) { g_enabled = enabled; }

std::string Printable(std::string_view bytes, size_t limit) {
  static const char* hex = "0123456789abcdef";
  std::string out;
  for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
    unsigned char c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7f && c != '\\') {
      out += static_cast<char>(c);
    } else {
      out += "\\x";
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  if (bytes.size() > limit) out += "...(" + std::to_string(bytes.size()) + " bytes)";
  return out;
}

void Log(std::string_view message) {
  if (!g_enabled) return;
  std::fprintf(stderr, "chatd: %.*s\n", static_cast<int>(message.size()), message.data());
}

void Log(std::string_view message, std::string_view bytes) {
  if (!g_enabled) return;
  std::string line(message);
  line += ": ";
  line += Printable(bytes);
  Log(line);
}

}  // namespace chatd
