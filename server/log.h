#pragma once
// One log line per event on standard error (or a file).  Bytes that are not
// printable ASCII are shown as \xNN and long texts are cut, so a hostile
// line can neither flood the terminal nor garble it.  Input refused from a
// peer goes through Refused(), which counts repeats instead of writing them.
#include <string>
#include <string_view>

namespace chatd {

void Log(std::string_view message);
void Log(std::string_view message, std::string_view bytes);

// The bytes made printable and cut at `limit` bytes (with "..." after).
std::string Printable(std::string_view bytes, size_t limit = 160);

// Turns logging off (benchmarks, noisy tests) or back on.
void SetLogEnabled(bool enabled);
// Appends the log to `path` instead of standard error; false when it
// cannot be opened.
bool SetLogFile(const std::string& path);

// A refusal of `kind` for the connection named `who` (see RefusalLog):
// written at most once a second per connection, with a count.
void Refused(std::string_view who, std::string_view kind, std::string_view bytes = {});
// The connection is gone; its last counts are written on a later flush.
void RefusalsDone(std::string_view who);
// Writes the counts that are due; chatd calls it every second.
void FlushRefusals();

}  // namespace chatd
