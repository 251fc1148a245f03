#pragma once
// Texts the program shows in either interface language.  Some texts are
// built deep in the logic (pane lines, notes, markers), far from any
// setting, so the language shown is one process-wide switch, set by the
// main window's language menu.  Texts that travel on the wire or into files
// are never made with it.
#include <string>

namespace text {

// A shown text in both languages, UTF-8 (as the source is written).
struct ShownText {
  const char* russian;
  const char* english;
};

// Russian unless the language menu chose English.
void SetEnglishShown(bool english);
bool EnglishShown();

// The form of `t` for the language shown, in Windows-1251.
std::string Shown(const ShownText& t);
inline std::string Shown(const char* russian, const char* english) { return Shown(ShownText{russian, english}); }

// Whether UTF-8 `s` holds a Cyrillic letter (U+0400..U+04FF).
bool HasCyrillic(const char* utf8);

}  // namespace text
