// Random and truncated files fed to the settings reader and the line-file
// reader: nothing may crash or hang, and what a write stores must read back.
#include <gtest/gtest.h>

#include <random>

#include "settings/ini_file.h"
#include "settings/settings.h"
#include "temp_dir.h"
#include "text/cp1251.h"
#include "text/line_file.h"

namespace {

// Bytes biased towards what the parsers look at.
std::string RandomIniText(std::mt19937& rng) {
  static const std::vector<std::string> pieces = {
      "[", "]", "=", "\r", "\n", "\r\n", ";", " ", "\t", "Global", "Translit", "Sounds",
      "FineType", "Port1", "Server", "Port", "a", "1", "-", "99999999999", "\xC0", "\xE0", "\xA8",
      "\xB8", "\xFF", std::string(1, '\0'), "[Global]\r\n", "Server=x\r\n"};
  std::uniform_int_distribution<int> len(0, 60), pick(0, static_cast<int>(pieces.size()) - 1),
      byte(0, 255), coin(0, 3);
  std::string out;
  for (int i = len(rng); i > 0; --i) {
    if (coin(rng) == 0) out.push_back(static_cast<char>(byte(rng)));
    else out += pieces[static_cast<size_t>(pick(rng))];
  }
  return out;
}

std::string Trimmed(std::string s) {
  for (char& c : s)
    if (c == '\r' || c == '\n') c = ' ';
  size_t b = s.find_first_not_of(" \t"), e = s.find_last_not_of(" \t");
  return b == std::string::npos ? "" : s.substr(b, e - b + 1);
}

TEST(BadInput, IniReaderAndWriterOnRandomFiles) {
  TempDir dir;
  std::mt19937 rng(20261209);
  settings::IniFile ini(dir.File("molvat.ini"));
  const std::vector<std::string> sections = {"Global", "GLOBAL", "Translit", "Sounds", "x"};
  const std::vector<std::string> keys = {"FineType", "finetype", "Port1", text::W("а"), text::W("А"), "k"};
  for (int round = 0; round < 3000; ++round) {
    std::string bytes = RandomIniText(rng);
    if (round % 3 == 1) bytes.resize(bytes.size() / 2);  // truncated
    dir.Put("molvat.ini", bytes);
    const std::string& section = sections[static_cast<size_t>(round) % sections.size()];
    const std::string& key = keys[static_cast<size_t>(round / 5) % keys.size()];
    (void)ini.ReadInt(section, key, 0);
    (void)ini.ReadBool(section, key, false);
    for (const auto& [name, value] : ini.ReadSection(section)) {
      // Whatever the section lists must be readable by its name.
      ASSERT_TRUE(ini.Read(section, name).has_value()) << round;
    }
    if (round % 10 != 0) continue;
    // A write must store exactly its key, whatever the file held, and a
    // delete must remove it.
    std::string value = RandomIniText(rng);
    value.erase(std::remove(value.begin(), value.end(), '\0'), value.end());
    std::string otherSection = section == "Sounds" ? "Global" : "Sounds";
    auto otherBefore = ini.ReadSection(otherSection);
    ASSERT_TRUE(ini.Write(section, key, value)) << round;
    ASSERT_EQ(ini.Read(section, key), Trimmed(value)) << round;
    ASSERT_EQ(ini.ReadSection(otherSection), otherBefore) << round;
    ASSERT_TRUE(ini.Delete(section, key)) << round;
    ASSERT_FALSE(ini.Read(section, key).has_value()) << round;
  }
  // The whole start-up read on random files ends with its clamps in force.
  settings::Settings s;
  for (int round = 0; round < 200; ++round) {
    dir.Put("molvat.ini", RandomIniText(rng));
    s.Load(dir.Path());
    ASSERT_GE(s.FineType, 0);
    ASSERT_LE(s.FineType, 3);
    ASSERT_GE(s.ArcLimit, 2);
    ASSERT_LE(s.ArcLimit, 1000);
    ASSERT_TRUE(s.File().Read("Global", "Port1").has_value());
  }
}

// The reading rule written plainly, byte by byte, to check the block reader.
std::vector<std::string> ModelLines(const std::string& bytes) {
  std::vector<std::string> out;
  std::string line;
  for (char c : bytes) {
    if (c != '\n') {
      line.push_back(c);
      continue;
    }
    if (!line.empty() && line.back() == '\r') line.pop_back();
    out.push_back(line);
    line.clear();
  }
  return out;
}

TEST(BadInput, LineFileReaderOnRandomFiles) {
  TempDir dir;
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> byte(0, 255), kind(0, 9), len(0, 300), longLen(60000, 140000);
  for (int round = 0; round < 3000; ++round) {
    std::string bytes;
    int n = round % 100 == 0 ? longLen(rng) : len(rng);
    for (int i = 0; i < n; ++i) {
      int k = kind(rng);
      bytes.push_back(k == 0 ? '\r' : k == 1 ? '\n' : static_cast<char>(byte(rng)));
    }
    if (round % 4 == 3) bytes.resize(bytes.size() / 3);
    dir.Put("offline.lst", bytes);
    std::vector<std::string> read = text::ReadLineFile(dir.File("offline.lst"));
    ASSERT_EQ(read, ModelLines(bytes)) << round;
    ASSERT_EQ(text::SplitLineFileText(bytes), read) << round;
    if (round % 20 != 0) continue;
    // Writing what was read and reading it again loses nothing.
    ASSERT_TRUE(text::WriteLineFile(dir.File("copy.lst"), read));
    ASSERT_EQ(text::ReadLineFile(dir.File("copy.lst")), read) << round;
  }
}

}  // namespace
