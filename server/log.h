#pragma once
// One log line per event on standard error.  Bytes that are not printable
// ASCII are shown as \xNN and long texts are cut, so a hostile line can
// neither flood the terminal nor garble it.
#include <string>
#include <string_view>

namespace chatd {

void Log(std::string_view message);
void Log(std::string_view message, std::string_view bytes);

// The bytes made printable and cut at `limit` bytes (with "..." after).
std::string Printable(std::string_view bytes, size_t limit = 160);

// Turns logging off (benchmarks, noisy tests) or back on.
void SetLogEnabled(bool enabled);

}  // namespace chatd
