#pragma once
// Small helpers over Windows-1251 byte strings.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

bool StartsWith(std::string_view s, std::string_view prefix);
bool EndsWith(std::string_view s, std::string_view suffix);
bool Contains(std::string_view s, std::string_view part);

// Every occurrence of `from` replaced by `to`, scanning left to right.
std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to);

// Case mapping of ASCII and of the Cyrillic letters of Windows-1251
// (А-Я, а-я, Ё/ё and the other Slavic letters of the code page).
char LowerByte(char c);
char UpperByte(char c);
std::string Lower(std::string_view s);
std::string Upper(std::string_view s);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

// Blanks and control bytes (<= 0x20) removed from both ends.
std::string Trim(std::string_view s);

std::vector<std::string> Split(std::string_view s, char sep);

// Integer text: an optional sign and decimal digits, nothing else, within
// 32 bits.  Anything else does not convert.
std::optional<int32_t> ParseInt(std::string_view s);
int32_t ParseIntOr(std::string_view s, int32_t fallback);

// Value of one hexadecimal digit by the lenient wire rule: d = c | 0x20,
// d - 48 when d < 58, else d - 87.  Never fails; bad digits give some value.
int LenientHexDigit(char c);

// Two lower-case hexadecimal digits of a byte, high digit first.
std::string HexByte(unsigned char b);

// A user name as a file name or part of one: "%", "/", "\", control bytes,
// DEL and a leading "." are written as "%" + HexByte, so no name leaves its
// folder, the same name always gives the same file and two names never
// share one.  A result above kMaxSafeFileName bytes is cut and ends in a
// hash of the whole name instead, so it still fits a file name with a
// number and an extension after it.
constexpr size_t kMaxSafeFileName = 200;
std::string SafeFileName(std::string_view name);

// A user name (Windows-1251) as the client names its files after him:
// converted to UTF-8, so file managers show it, then made safe as above.
// The conversion keeps every byte apart, so two names never share a file.
std::string UserFileName(std::string_view name);

}  // namespace text
