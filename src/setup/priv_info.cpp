#include "setup/priv_info.h"

#include "text/line_file.h"

namespace media {
namespace {
std::string PrivInfoPath(const std::string& programDir) { return programDir + "privinfo.txt"; }
}  // namespace

std::vector<std::string> ReadPrivInfo(const std::string& programDir) {
  std::optional<std::string> bytes = text::ReadWholeFile(PrivInfoPath(programDir));
  if (!bytes) return {};
  // Unlike the line files, an edit box keeps the text after the last line end.
  if (!bytes->empty() && bytes->back() != '\n') *bytes += "\n";
  return text::SplitLineFileText(*bytes);
}

bool WritePrivInfo(const std::string& programDir, const std::vector<std::string>& lines) {
  return text::WriteLineFile(PrivInfoPath(programDir), lines);
}

}  // namespace media
