#pragma once
// privinfo.txt: the user's free-form personal information, Windows-1251
// lines ended by CR LF, no header.
#include <string>
#include <vector>

namespace media {

// Lines of `programDir` + "privinfo.txt" as an edit box shows them: split
// at line feeds, a carriage return before one dropped, a last line without
// a line end kept.  A missing or unreadable file gives no lines.
std::vector<std::string> ReadPrivInfo(const std::string& programDir);

// Writes every line followed by CR LF, replacing the file atomically.
bool WritePrivInfo(const std::string& programDir, const std::vector<std::string>& lines);

}  // namespace media
