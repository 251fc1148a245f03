#pragma once
// Windows-1251 <-> UTF-8.  Every protocol, markup and file text of the
// program is a std::string of Windows-1251 bytes; UTF-8 appears only at the
// edges (source literals, widgets, the terminal).
#include <string>
#include <string_view>

namespace text {

// Unicode code point of a Windows-1251 byte.  Byte 0x98, unassigned in the
// code page, maps to U+0098 so that every byte survives a round trip.
char32_t Cp1251ToCodePoint(unsigned char byte);

// Windows-1251 byte of a code point, or '?' when the code page lacks it.
char CodePointToCp1251(char32_t cp);

std::string Cp1251ToUtf8(std::string_view bytes);

// Malformed UTF-8 sequences and characters outside the code page become '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// Shorthand for program literals written in UTF-8 source: W("Внимание").
inline std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

}  // namespace text
