#include "server/name_rules.h"

#include "text/bytes.h"
#include "text/fold.h"

namespace chatd {

bool IsValidName(std::string_view name) {
  if (name.empty() || name.size() > kMaxNameBytes) return false;
  if (name.front() == ' ' || name.back() == ' ') return false;
  for (char ch : name) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f) return false;
    switch (ch) {
      case '\xA6': case '|': case ';': case '%': case ',': case '=': case '<': case '>': case '"':
        return false;
      default:
        break;
    }
  }
  const std::string lower = text::Lower(name);
  for (const char* prefix : {"http:", "ftp:", "www.", "--", "::"}) {
    if (text::StartsWith(lower, prefix)) return false;
  }
  return true;
}

// Upper-casing first lets every Cyrillic look-alike fold (the fold table
// has all upper-case ones but not every lower-case one); the second fold
// catches the lower-case letters that only exist in lower case there.
std::string AccountKey(std::string_view name) {
  return text::FoldLookAlikes(text::Lower(text::FoldLookAlikes(text::Upper(name))));
}

}  // namespace chatd
