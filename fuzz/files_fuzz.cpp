// The INI reader and the line-file reader over hostile file contents, and
// their write -> read round trips.
#include <cctype>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "settings/ini_file.h"
#include "text/line_file.h"

namespace {

void WriteRaw(const std::string& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  FUZZ_CHECK(out.good());
}

std::string Trimmed(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  const size_t from = s.find_first_not_of(" \t");
  if (from == std::string::npos) return {};
  return s.substr(from, s.find_last_not_of(" \t") - from + 1);
}

std::string NoLineFeeds(std::string s) {
  for (char& c : s)
    if (c == '\n') c = ' ';
  return s;
}

// Input: file contents, then NUL-separated section, key and value.
void CheckIni(std::string_view input) {
  const std::string path = fuzz::ScratchDir() + "/molvat.ini";
  std::vector<std::string> parts;
  size_t at = 0;
  for (int i = 0; i < 3; ++i) {
    const size_t nul = input.rfind('\0');
    if (nul == std::string_view::npos || nul < at) break;
    parts.insert(parts.begin(), std::string(input.substr(nul + 1)));
    input = input.substr(0, nul);
  }
  WriteRaw(path, input);
  settings::IniFile ini(path);
  if (parts.size() < 3) {
    for (const auto& [key, value] : ini.ReadSection("Options")) (void)ini.Read("Options", key);
    return;
  }
  const std::string& section = parts[0];
  const std::string& key = parts[1];
  const std::string& value = parts[2];
  // Keys of other sections must survive the write untouched.
  std::string folded = section;
  for (char& c : folded) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string other = folded == "keep" ? "Other" : "Keep";
  const auto before = ini.ReadSection(other);
  if (!ini.Write(section, key, value)) return;
  const auto back = ini.Read(section, key);
  FUZZ_CHECK(back.has_value());
  FUZZ_CHECK(*back == Trimmed(value));
  FUZZ_CHECK(ini.ReadSection(other) == before);
  // A second value replaces the first rather than adding a line.
  FUZZ_CHECK(ini.Write(section, key, "2"));
  FUZZ_CHECK(ini.ReadInt(section, key, 0) == 2);
  FUZZ_CHECK(ini.Delete(section, key));
  FUZZ_CHECK(!ini.Read(section, key).has_value());
}

void CheckLineFile(std::string_view input) {
  const std::string path = fuzz::ScratchDir() + "/offline.lst";
  const std::vector<std::string> entries = text::SplitLineFileText(input);
  FUZZ_CHECK(text::WriteLineFile(path, entries));
  FUZZ_CHECK(text::ReadLineFile(path) == entries);

  // Entries cut at NUL bytes: any bytes at all, line feeds included.
  std::vector<std::string> raw;
  size_t at = 0;
  while (at <= input.size()) {
    size_t nul = input.find('\0', at);
    if (nul == std::string_view::npos) nul = input.size();
    raw.emplace_back(input.substr(at, nul - at));
    at = nul + 1;
  }
  FUZZ_CHECK(text::WriteLineFile(path, raw));
  const auto back = text::ReadLineFile(path);
  FUZZ_CHECK(back.size() == raw.size());
  for (size_t i = 0; i < raw.size(); ++i) FUZZ_CHECK(back[i] == NoLineFeeds(raw[i]));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  CheckIni(bytes);
  CheckLineFile(bytes);
  return 0;
}
