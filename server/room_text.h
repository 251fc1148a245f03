#pragma once
// Small text rules of the room: what a client's values are cut down to
// before they travel on, and the pieces of the lines the room builds.
#include <cstdint>
#include <string>
#include <vector>

namespace chatd {

// Cuts an escaped message text to at most `limit` bytes without splitting a
// "%xx" escape, turns raw separators into their escapes and carriage
// returns and line feeds into blanks.
std::string CleanEscapedText(const std::string& text, size_t limit);

// "#" + six hex digits (lower-cased), or `fallback`.
std::string CleanWireColor(const std::string& color, const std::string& fallback);

// Only printable characters of a client version, no separators, at most 24.
std::string CleanVersion(const std::string& version);

// A message number as given when it is 1..10 digits, else "" (numbers go
// back to clients raw).
std::string CleanMid(const std::string& mid);

// Local time "hh:mm:ss" and "dd.mm.yyyy hh:mm".
std::string TimeOfDay(int64_t seconds);
std::string DateTime(int64_t seconds);

// Addressee names of a Cln text, decoded, trimmed, without repeats (by
// account key) and without empty ones.
std::vector<std::string> Addressees(const std::string& cln);

// A positional or record line without its kind letter and "¦", and without
// a closing "¦" when there is one.
std::string PositionalBody(const std::string& line);

}  // namespace chatd
