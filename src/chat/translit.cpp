#include "chat/translit.h"

#include <array>

#include "settings/settings.h"
#include "text/bytes.h"
#include "chat/smiley_codes.h"

namespace window {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Length of the code that starts at `i` (a ":"), or 0 when none does: a
// built-in smiley, or ":" + one of p d u + digits + ":".
size_t KeptCodeLength(std::string_view s, size_t i) {
  std::string_view rest = s.substr(i);
  for (std::string_view code : kBuiltinSmileyCodes)
    if (text::StartsWith(rest, code)) return code.size();
  if (rest.size() < 2) return 0;
  char letter = rest[1];
  if (letter != 'p' && letter != 'd' && letter != 'u') return 0;
  size_t q = 2;
  while (q < rest.size() && IsDigit(rest[q])) ++q;
  if (q < rest.size() && rest[q] == ':' && q != 2) return q + 1;
  return 0;
}

// True when `loweredEntry` (not empty) is a prefix of `s` compared without case.
bool MatchesAt(std::string_view s, const std::string& loweredEntry) {
  if (loweredEntry.empty() || loweredEntry.size() > s.size()) return false;
  for (size_t k = 0; k < loweredEntry.size(); ++k)
    if (text::LowerByte(s[k]) != loweredEntry[k]) return false;
  return true;
}

}  // namespace

void TransliterateWith(std::string& text, const settings::TranslitSequences& table,
                       std::string_view divider) {
  // Every change happens at the walk position, so the text ahead of it is
  // always the original rest: the result is built in one pass.
  settings::TranslitSequences lowered;
  for (int k = 0; k < settings::kTranslitLetterCount; ++k) lowered[k] = text::Lower(table[k]);
  const std::string& lower = settings::TranslitLowerLetters();
  const std::string& upper = settings::TranslitUpperLetters();
  const bool hasDivider = !divider.empty();
  const char dividerChar = hasDivider ? divider[0] : '\0';

  const std::string_view in = text;
  std::string out;
  out.reserve(in.size());
  bool protect = false;
  size_t i = 0;
  while (i < in.size()) {
    char c = in[i];
    if (c == '[' || c == ']') {
      protect = c == '[';
      ++i;
      continue;
    }
    if (c == ':') {
      size_t len = KeptCodeLength(in, i);
      if (len == 0) len = 1;
      out.append(in.substr(i, len));
      i += len;
      continue;
    }
    if (protect) {
      out.push_back(c);
      ++i;
      continue;
    }
    std::string_view rest = in.substr(i);
    int best = -1;
    for (int k = 0; k < settings::kTranslitLetterCount; ++k)
      if (MatchesAt(rest, lowered[k]) && (best < 0 || lowered[k].size() > lowered[best].size()))
        best = k;
    if (best >= 0) {
      out.push_back(c >= 'A' && c <= 'Z' ? upper[best] : lower[best]);
      i += lowered[best].size();
      continue;
    }
    if (hasDivider && c == dividerChar) {
      ++i;
      continue;
    }
    out.push_back(c);
    ++i;
  }
  text = std::move(out);
}

void Transliterate(std::string& text, bool own, const settings::Settings& settings) {
  if (!own || !settings.Translit) return;
  TransliterateWith(text, settings.TranslitTable, settings.Divider);
}


std::string TranslitPanelLine() {
  std::string line = "<b> ";
  for (char letter : settings::TranslitLowerLetters()) {
    line += "<link=\" ";
    line += letter;
    line += " \"";
    line += letter;
    line += '>';
  }
  return line;
}

std::string TranslitPanelInsertion(std::string_view target, bool shift) {
  if (target.empty()) return {};
  char letter = target[0];
  return std::string(1, shift ? text::UpperByte(letter) : letter);
}

}  // namespace window
