#include "chat/smiley_codes.h"

#include "settings/settings.h"
#include "text/bytes.h"
#include "text/line_file.h"
#include "chat/translit.h"

namespace window {
namespace {

// Cyrillic letters accepted in codes: "п" and "р" for "p" (what a
// transliterated or a look-alike key gives), "у" for "u".
constexpr char kCyrillicPe = '\xEF';
constexpr char kCyrillicEr = '\xF0';
constexpr char kCyrillicU = '\xF3';
constexpr char kBrokenBar = '\xA6';

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsOwnPictureLetter(char c) { return c == 'p' || c == kCyrillicPe || c == kCyrillicEr; }
bool IsAdditionalLetter(char c) { return c == 'u' || c == kCyrillicU || c == 'd'; }

size_t SkipDigits(std::string_view s, size_t from) {
  while (from < s.size() && IsDigit(s[from])) ++from;
  return from;
}

// Index of the built-in code at `i`, or -1.
int BuiltinCodeAt(std::string_view s, size_t i) {
  for (size_t k = 0; k < kBuiltinSmileyCodes.size(); ++k)
    if (text::StartsWith(s.substr(i), kBuiltinSmileyCodes[k])) return static_cast<int>(k);
  return -1;
}

// A code ":" letter digits ":" at `i` with at least one digit: the position
// of its closing ":", or 0 when there is none.
size_t LetterCodeEnd(std::string_view s, size_t i) {
  size_t end = SkipDigits(s, i + 2);
  return end < s.size() && s[end] == ':' && end != i + 2 ? end : 0;
}

// A code ":" digits "p" digits ":" at `i`: the position of its "p" and of
// its closing ":", or false.
bool SecondSetCodeAt(std::string_view s, size_t i, size_t* p, size_t* end) {
  size_t j = SkipDigits(s, i + 1);
  if (j == i + 1 || j + 1 >= s.size() || s[j] != 'p' || !IsDigit(s[j + 1])) return false;
  size_t k = SkipDigits(s, j + 1);
  if (k >= s.size() || s[k] != ':') return false;
  *p = j;
  *end = k;
  return true;
}

}  // namespace

SmileyTable& AppSmileyTable() {
  static SmileyTable table;
  return table;
}

void CodesToMarkup(std::string& text, bool own, const settings::Settings& settings,
                   const SmileyTable& table) {
  Transliterate(text, own, settings);
  // Every replacement happens at the walk position and the walk goes on
  // after it, so the result is built in one pass over the original.
  const std::string_view in = text;
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i + 1 < in.size()) {  // the last byte never starts a code
    if (in[i] != ':') {
      out.push_back(in[i++]);
      continue;
    }
    if (int k = BuiltinCodeAt(in, i); k >= 0) {
      out += "<pict=" + std::to_string(-1 - k) + ">";
      i += kBuiltinSmileyCodes[k].size();
      continue;
    }
    const char next = in[i + 1];
    if (!own && IsDigit(next)) {
      size_t p, end;
      if (SecondSetCodeAt(in, i, &p, &end)) {
        out += "<img src=" + settings.QelDir;
        out.append(in.substr(i + 1, p - i - 1));
        out += '_';
        out.append(in.substr(p + 1, end - p - 1));
        out += ".gif>";
        i = end + 1;
        continue;
      }
    } else if (own && IsOwnPictureLetter(next)) {
      if (size_t end = LetterCodeEnd(in, i)) {
        out += "<img src=" + settings.QelDir + settings.UserSmileNum + "_";
        out.append(in.substr(i + 2, end - i - 2));
        out += ".gif>";
        i = end + 1;
        continue;
      }
    } else if (IsAdditionalLetter(next)) {
      if (size_t end = LetterCodeEnd(in, i)) {
        if (auto number = text::ParseInt(in.substr(i + 2, end - i - 2))) {
          auto entry = table.find(*number);
          out += "<img src=";
          if (entry != table.end()) out += entry->second;
          out += '>';
          i = end + 1;
          continue;
        }
      }
    }
    out.push_back(in[i++]);
  }
  out.append(in.substr(i));
  text = std::move(out);
}

void RewriteOwnPictureCodes(std::string& text, std::string_view userSmileNum) {
  if (userSmileNum.empty()) return;
  // The walk of CodesToMarkup for the user's own text: built-in and
  // additional codes are stepped over whole, as the preview converts them.
  const std::string_view in = text;
  std::string out;
  out.reserve(in.size());
  size_t i = 0;
  while (i + 1 < in.size()) {
    if (in[i] != ':') {
      out.push_back(in[i++]);
      continue;
    }
    size_t keep = 1;
    if (int k = BuiltinCodeAt(in, i); k >= 0) {
      keep = kBuiltinSmileyCodes[k].size();
    } else if (IsOwnPictureLetter(in[i + 1])) {
      if (size_t end = LetterCodeEnd(in, i)) {
        out += ':';
        out += userSmileNum;
        out += 'p';
        out.append(in.substr(i + 2, end - i - 1));  // the digits and ":"
        i = end + 1;
        continue;
      }
    } else if (IsAdditionalLetter(in[i + 1])) {
      size_t end = LetterCodeEnd(in, i);
      if (end && text::ParseInt(in.substr(i + 2, end - i - 2))) keep = end + 1 - i;
    }
    out.append(in.substr(i, keep));
    i += keep;
  }
  out.append(in.substr(i));
  text = std::move(out);
}

std::string SmileyButtonCode(int tag) {
  if (tag < 0 || tag >= static_cast<int>(kBuiltinSmileyCodes.size())) return {};
  return std::string(kBuiltinSmileyCodes[tag]);
}

bool RewriteImgMarkers(std::string& text, size_t* caret) {
  static constexpr std::string_view kOpen = "[img]", kClose = "[/img]";
  size_t s = text.find(kOpen);
  size_t e = text.find(kClose);
  if (s == std::string::npos || e == std::string::npos || s >= e) return false;
  std::string tag = "<img src=" + text.substr(s + kOpen.size(), e - s - kOpen.size()) + ">";
  text = text.substr(0, s) + tag + text.substr(e + kClose.size());
  if (caret) *caret = s + tag.size();
  return true;
}

std::string SmileyFilePath(const std::string& programDir) { return programDir + "csmile.dat"; }

void LoadSmileyTable(const std::string& path, SmileyTable& table) {
  table.clear();
  for (const std::string& line : text::ReadLineFile(path)) {
    size_t bar = line.find(kBrokenBar);
    if (bar == std::string::npos) return;
    auto number = text::ParseInt(std::string_view(line).substr(0, bar));
    if (!number) return;
    table[*number] = line.substr(bar + 1);
  }
}

bool SaveSmileyFile(const std::string& path, std::string_view body) {
  return text::ReplaceFileAtomically(path, body);
}

}  // namespace window
