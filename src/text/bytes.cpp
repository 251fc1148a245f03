#include "text/bytes.h"

#include <algorithm>

#include "text/cp1251.h"

namespace text {

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

bool EndsWith(std::string_view s, std::string_view suffix) {
  return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

bool Contains(std::string_view s, std::string_view part) { return s.find(part) != std::string_view::npos; }

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t pos = 0;
  while (true) {
    size_t hit = s.find(from, pos);
    if (hit == std::string_view::npos) break;
    out.append(s.substr(pos, hit - pos));
    out.append(to);
    pos = hit + from.size();
  }
  out.append(s.substr(pos));
  return out;
}

char LowerByte(char ch) {
  unsigned char c = ch;
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c + 32);
  if (c >= 0xC0 && c <= 0xDF) return static_cast<char>(c + 32);
  switch (c) {
    case 0xA8: return static_cast<char>(0xB8);  // Ё
    case 0x80: return static_cast<char>(0x90);  // Ђ
    case 0x81: return static_cast<char>(0x83);  // Ѓ
    case 0x8A: return static_cast<char>(0x9A);  // Љ
    case 0x8C: return static_cast<char>(0x9C);  // Њ
    case 0x8D: return static_cast<char>(0x9D);  // Ќ
    case 0x8E: return static_cast<char>(0x9E);  // Ћ
    case 0x8F: return static_cast<char>(0x9F);  // Џ
    case 0xA1: return static_cast<char>(0xA2);  // Ў
    case 0xA3: return static_cast<char>(0xBC);  // Ј
    case 0xA5: return static_cast<char>(0xB4);  // Ґ
    case 0xAA: return static_cast<char>(0xBA);  // Є
    case 0xAF: return static_cast<char>(0xBF);  // Ї
    case 0xB2: return static_cast<char>(0xB3);  // І
    case 0xBD: return static_cast<char>(0xBE);  // Ѕ
    default: return ch;
  }
}

char UpperByte(char ch) {
  unsigned char c = ch;
  if (c >= 'a' && c <= 'z') return static_cast<char>(c - 32);
  if (c >= 0xE0) return static_cast<char>(c - 32);
  switch (c) {
    case 0xB8: return static_cast<char>(0xA8);
    case 0x90: return static_cast<char>(0x80);
    case 0x83: return static_cast<char>(0x81);
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9D: return static_cast<char>(0x8D);
    case 0x9E: return static_cast<char>(0x8E);
    case 0x9F: return static_cast<char>(0x8F);
    case 0xA2: return static_cast<char>(0xA1);
    case 0xBC: return static_cast<char>(0xA3);
    case 0xB4: return static_cast<char>(0xA5);
    case 0xBA: return static_cast<char>(0xAA);
    case 0xBF: return static_cast<char>(0xAF);
    case 0xB3: return static_cast<char>(0xB2);
    case 0xBE: return static_cast<char>(0xBD);
    default: return ch;
  }
}

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = LowerByte(c);
  return out;
}

std::string Upper(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = UpperByte(c);
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (LowerByte(a[i]) != LowerByte(b[i])) return false;
  return true;
}

std::string Trim(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && static_cast<unsigned char>(s[b]) <= 0x20) ++b;
  while (e > b && static_cast<unsigned char>(s[e - 1]) <= 0x20) --e;
  return std::string(s.substr(b, e - b));
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> parts;
  size_t pos = 0;
  while (true) {
    size_t hit = s.find(sep, pos);
    if (hit == std::string_view::npos) {
      parts.emplace_back(s.substr(pos));
      return parts;
    }
    parts.emplace_back(s.substr(pos, hit - pos));
    pos = hit + 1;
  }
}

std::optional<int32_t> ParseInt(std::string_view s) {
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  if (i == s.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return std::nullopt;
    value = value * 10 + (s[i] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX || value < INT32_MIN) return std::nullopt;
  return static_cast<int32_t>(value);
}

int32_t ParseIntOr(std::string_view s, int32_t fallback) { return ParseInt(s).value_or(fallback); }

int LenientHexDigit(char c) {
  int d = static_cast<unsigned char>(c) | 0x20;
  return d < 58 ? d - 48 : d - 87;
}

std::string HexByte(unsigned char b) {
  static constexpr char kDigits[] = "0123456789abcdef";
  return {kDigits[b >> 4], kDigits[b & 15]};
}

std::string SafeFileName(std::string_view name) {
  std::string out;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto c = static_cast<unsigned char>(name[i]);
    if (c == '%' || c == '/' || c == '\\' || c < 0x20 || c == 0x7F || (i == 0 && c == '.'))
      out += '%' + HexByte(c);
    else
      out += static_cast<char>(c);
  }
  if (out.size() <= kMaxSafeFileName) return out;
  // Too long for a file name: a head of the name, then "%~" (which no
  // escaped name contains, since "%" is always followed by two hexadecimal
  // digits) and a 64-bit hash of the whole name.
  uint64_t hash = 14695981039346656037ull;
  for (unsigned char c : name) hash = (hash ^ c) * 1099511628211ull;
  size_t cut = kMaxSafeFileName - 18;
  while (cut > 0 && ((static_cast<unsigned char>(out[cut]) & 0xC0) == 0x80 || out[cut - 1] == '%' ||
                     (cut >= 2 && out[cut - 2] == '%')))
    --cut;
  out.resize(cut);
  out += "%~";
  for (int shift = 56; shift >= 0; shift -= 8) out += HexByte(static_cast<unsigned char>(hash >> shift));
  return out;
}

std::string UserFileName(std::string_view name) { return SafeFileName(Cp1251ToUtf8(name)); }

}  // namespace text
