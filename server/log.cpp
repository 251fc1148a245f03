#include "server/log.h"

#include <atomic>
#include <chrono>
#include <cstdio>

#include "server/refusal_log.h"

namespace chatd {
namespace {
std::atomic<bool> g_enabled{true};
FILE* g_file = nullptr;

RefusalLog& Refusals() {
  static RefusalLog log([](std::string_view line) { Log(line); },
                        [] {
                          return std::chrono::duration_cast<std::chrono::milliseconds>(
                                     std::chrono::steady_clock::now().time_since_epoch())
                              .count();
                        });
  return log;
}
}  // namespace

void SetLogEnabled(bool enabled) { g_enabled = enabled; }

bool SetLogFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "a");
  if (!f) return false;
  std::setvbuf(f, nullptr, _IOLBF, 0);
  g_file = f;
  return true;
}

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
  std::fprintf(g_file ? g_file : stderr, "chatd: %.*s\n", static_cast<int>(message.size()), message.data());
}

void Log(std::string_view message, std::string_view bytes) {
  if (!g_enabled) return;
  std::string line(message);
  line += ": ";
  line += Printable(bytes);
  Log(line);
}

void Refused(std::string_view who, std::string_view kind, std::string_view bytes) {
  if (g_enabled) Refusals().Note(who, kind, bytes);
}

void RefusalsDone(std::string_view who) {
  if (g_enabled) Refusals().Done(who);
}

void FlushRefusals() {
  if (g_enabled) Refusals().Flush();
}

}  // namespace chatd
