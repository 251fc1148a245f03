#include "server/room_text.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <ctime>
#include <set>

#include "server/name_rules.h"
#include "wire/wire.h"
#include "text/bytes.h"

namespace chatd {
namespace {

bool IsDigits(const std::string& s) {
  return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

// Message numbers go back to clients raw, so only plain numbers pass.
std::string CleanMid(const std::string& mid) { return IsDigits(mid) && mid.size() <= 10 ? mid : std::string(); }

std::string TimeOfDay(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buf;
}

std::string DateTime(int64_t seconds) {
  std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", tm.tm_mday, tm.tm_mon + 1, tm.tm_year + 1900,
                tm.tm_hour, tm.tm_min);
  return buf;
}

// Addressee names of a Cln text, decoded, without blanks around them and
// without repeats.
std::vector<std::string> Addressees(const std::string& cln) {
  std::vector<std::string> names;
  std::set<std::string> seen;
  for (const auto& part : text::Split(wire::UnescapeField(cln), ',')) {
    std::string name = text::Trim(part);
    if (name.empty() || !seen.insert(AccountKey(name)).second) continue;
    names.push_back(name);
  }
  return names;
}

std::string PositionalBody(const std::string& line) {
  std::string body = line.substr(2);
  if (!body.empty() && body.back() == wire::kBrokenBar) body.pop_back();
  return body;
}

std::string CleanEscapedText(const std::string& textIn, size_t limit) {
  std::string_view text = textIn;
  if (text.size() > limit) {
    size_t cut = limit;
    for (size_t back = 1; back <= 2 && back <= cut; ++back) {
      if (text[cut - back] == '%') {
        cut -= back;
        break;
      }
    }
    text = text.substr(0, cut);
  }
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    if (c == wire::kBrokenBar) out += "%a6";
    else if (c == '|') out += "%7c";
    else if (c == ';') out += "%3b";
    else if (c == '\r' || c == '\n') out += ' ';
    else out += c;
  }
  return out;
}

std::string CleanWireColor(const std::string& color, const std::string& fallback) {
  if (color.size() != 7 || color[0] != '#') return fallback;
  for (size_t i = 1; i < 7; ++i) {
    if (!std::isxdigit(static_cast<unsigned char>(color[i]))) return fallback;
  }
  return text::Lower(color);
}

std::string CleanVersion(const std::string& version) {
  std::string out;
  for (char c : version) {
    unsigned char u = static_cast<unsigned char>(c);
    if (u > 0x20 && u < 0x7f && c != ',' && c != ';' && c != '=' && c != '|' && c != '%' && c != '<' &&
        c != '>' && c != '"')
      out += c;
    if (out.size() >= 24) break;
  }
  return out;
}

}  // namespace chatd
