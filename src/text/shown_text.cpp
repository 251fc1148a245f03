#include "text/shown_text.h"

#include <atomic>

#include "text/cp1251.h"

namespace text {
namespace {

std::atomic<bool> english{false};

}  // namespace

void SetEnglishShown(bool value) { english = value; }
bool EnglishShown() { return english; }

std::string Shown(const ShownText& t) { return W(english ? t.english : t.russian); }

bool HasCyrillic(const char* utf8) {
  // U+0400..U+04FF are encoded as 0xD0 or 0xD3 followed by a continuation byte.
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(utf8); *p; ++p)
    if (*p >= 0xD0 && *p <= 0xD3 && (p[1] & 0xC0) == 0x80) return true;
  return false;
}

}  // namespace text
