#include "settings/ini_file.h"

#include <unistd.h>

#include <algorithm>
#include <map>
#include <mutex>

#include "text/bytes.h"
#include "text/line_file.h"

namespace settings {
namespace {

// The open batches by file path: what the file will hold when the
// outermost batch of that path ends.
struct PendingFile {
  int depth = 0;
  std::optional<std::string> bytes;  // set by the first write of the batch
};

std::mutex& BatchMutex() {
  static std::mutex m;
  return m;
}

std::map<std::string, PendingFile>& Batches() {
  static std::map<std::string, PendingFile> batches;
  return batches;
}

std::string_view TrimBlanks(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// One line of the file as the reader sees it.
struct IniLine {
  enum Kind { kOther, kSection, kKey } kind = kOther;
  std::string_view name;   // section or key name, trimmed
  std::string_view value;  // key value, trimmed
};

IniLine Classify(std::string_view raw) {
  IniLine line;
  std::string_view t = TrimBlanks(raw);
  if (t.empty() || t.front() == ';') return line;
  if (t.front() == '[') {
    size_t close = t.find(']');
    line.kind = IniLine::kSection;
    line.name = TrimBlanks(t.substr(1, close == std::string_view::npos ? t.size() - 1 : close - 1));
    return line;
  }
  size_t eq = t.find('=');
  if (eq == std::string_view::npos) return line;
  line.kind = IniLine::kKey;
  line.name = TrimBlanks(t.substr(0, eq));
  line.value = TrimBlanks(t.substr(eq + 1));
  return line;
}

// Lines of an INI text: split at line feeds, a carriage return before the
// line feed dropped; a last line without a line end counts.
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t lf = bytes.find('\n', start);
    size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    size_t stop = end;
    if (stop > start && bytes[stop - 1] == '\r') --stop;
    lines.push_back(bytes.substr(start, stop - start));
    if (lf == std::string_view::npos) break;
    start = lf + 1;
  }
  return lines;
}

// Where a section lies in the line list: its header and one past its last line.
struct SectionSpan {
  size_t header = 0;
  size_t end = 0;
};

std::optional<SectionSpan> FindSection(const std::vector<std::string_view>& lines,
                                       std::string_view section) {
  for (size_t i = 0; i < lines.size(); ++i) {
    IniLine l = Classify(lines[i]);
    if (l.kind != IniLine::kSection || !text::EqualsIgnoreCase(l.name, section)) continue;
    SectionSpan span{i, i + 1};
    while (span.end < lines.size() && Classify(lines[span.end]).kind != IniLine::kSection) ++span.end;
    return span;
  }
  return std::nullopt;
}

bool ValidSectionName(std::string_view s) {
  if (s.empty() || TrimBlanks(s).size() != s.size()) return false;
  return s.find_first_of("]\r\n") == std::string_view::npos;
}

bool ValidKeyName(std::string_view k) {
  if (k.empty() || TrimBlanks(k).size() != k.size()) return false;
  if (k.front() == ';' || k.front() == '[') return false;
  return k.find_first_of("=\r\n") == std::string_view::npos;
}

std::string Join(const std::vector<std::string_view>& lines) {
  std::string out;
  for (std::string_view l : lines) {
    out.append(l);
    out += "\r\n";
  }
  return out;
}

}  // namespace

void IniFile::KeepSnapshot() { snapshot_ = text::ReadWholeFile(path_); }

std::optional<std::string> IniFile::Bytes() const {
  if (snapshot_) return *snapshot_;
  {
    std::lock_guard lock(BatchMutex());
    auto it = Batches().find(path_);
    if (it != Batches().end() && it->second.bytes) return it->second.bytes;
  }
  return text::ReadWholeFile(path_);
}

bool IniFile::Replace(const std::string& bytes) {
  {
    std::lock_guard lock(BatchMutex());
    auto it = Batches().find(path_);
    if (it != Batches().end()) {
      // A file that cannot be written fails now, as a single write would.
      if (text::IsReadOnlyFile(path_)) return false;
      it->second.bytes = bytes;
      if (snapshot_) snapshot_ = bytes;
      return true;
    }
  }
  // The settings hold the password: a file an earlier version left
  // readable by others is closed with the next write.
  if (!text::ReplaceFileAtomically(path_, bytes, {.ownerOnly = true})) return false;
  if (snapshot_) snapshot_ = bytes;
  return true;
}

IniBatch::IniBatch(std::string path) : path_(std::move(path)) {
  std::lock_guard lock(BatchMutex());
  ++Batches()[path_].depth;
}

IniBatch::~IniBatch() {
  std::optional<std::string> bytes;
  {
    std::lock_guard lock(BatchMutex());
    auto it = Batches().find(path_);
    if (it == Batches().end() || --it->second.depth > 0) return;
    bytes = std::move(it->second.bytes);
    Batches().erase(it);
  }
  if (bytes) text::ReplaceFileAtomically(path_, *bytes, {.ownerOnly = true});
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
  std::optional<std::string> bytes = Bytes();
  if (!bytes) return std::nullopt;
  std::vector<std::string_view> lines = SplitLines(*bytes);
  std::optional<SectionSpan> span = FindSection(lines, section);
  if (!span) return std::nullopt;
  for (size_t i = span->header + 1; i < span->end; ++i) {
    IniLine l = Classify(lines[i]);
    if (l.kind == IniLine::kKey && text::EqualsIgnoreCase(l.name, key)) return std::string(l.value);
  }
  return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key,
                                std::string_view fallback) const {
  std::optional<std::string> v = Read(section, key);
  return v ? *v : std::string(fallback);
}

int32_t IniFile::ReadInt(std::string_view section, std::string_view key, int32_t fallback) const {
  std::optional<std::string> v = Read(section, key);
  return v ? text::ParseIntOr(*v, fallback) : fallback;
}

bool IniFile::ReadBool(std::string_view section, std::string_view key, bool fallback) const {
  std::optional<std::string> v = Read(section, key);
  if (!v) return fallback;
  std::optional<int32_t> n = text::ParseInt(*v);
  return n ? *n != 0 : fallback;
}

std::vector<std::pair<std::string, std::string>> IniFile::ReadSection(std::string_view section) const {
  std::vector<std::pair<std::string, std::string>> out;
  std::optional<std::string> bytes = Bytes();
  if (!bytes) return out;
  std::vector<std::string_view> lines = SplitLines(*bytes);
  std::optional<SectionSpan> span = FindSection(lines, section);
  if (!span) return out;
  for (size_t i = span->header + 1; i < span->end; ++i) {
    IniLine l = Classify(lines[i]);
    if (l.kind == IniLine::kKey) out.emplace_back(std::string(l.name), std::string(l.value));
  }
  return out;
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  if (!ValidSectionName(section) || !ValidKeyName(key)) return false;
  if (text::IsReadOnlyFile(path_)) return false;
  std::string bytes;
  if (std::optional<std::string> old = Bytes()) {
    bytes = std::move(*old);
  } else if (::access(path_.c_str(), F_OK) == 0) {
    return false;  // exists but cannot be read: never overwrite what we could not see
  }
  std::vector<std::string_view> lines = SplitLines(bytes);

  std::string safeValue(value);
  std::replace(safeValue.begin(), safeValue.end(), '\r', ' ');
  std::replace(safeValue.begin(), safeValue.end(), '\n', ' ');
  std::string headerLine = "[" + std::string(section) + "]";
  std::string keyLine;

  std::optional<SectionSpan> span = FindSection(lines, section);
  if (!span) {
    keyLine = std::string(key) + "=" + safeValue;
    lines.push_back(headerLine);
    lines.push_back(keyLine);
  } else {
    size_t found = span->end;
    for (size_t i = span->header + 1; i < span->end; ++i) {
      IniLine l = Classify(lines[i]);
      if (l.kind == IniLine::kKey && text::EqualsIgnoreCase(l.name, key)) {
        found = i;
        break;
      }
    }
    if (found != span->end) {
      // Keep the spelling the file already uses for the key.
      keyLine = std::string(Classify(lines[found]).name) + "=" + safeValue;
      lines[found] = keyLine;
    } else {
      // New key after the section's last non-blank line.
      size_t at = span->end;
      while (at > span->header + 1 && TrimBlanks(lines[at - 1]).empty()) --at;
      keyLine = std::string(key) + "=" + safeValue;
      lines.insert(lines.begin() + static_cast<std::ptrdiff_t>(at), keyLine);
    }
  }
  return Replace(Join(lines));
}

bool IniFile::WriteInt(std::string_view section, std::string_view key, int64_t value) {
  return Write(section, key, std::to_string(value));
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return Write(section, key, value ? "1" : "0");
}

bool IniFile::Delete(std::string_view section, std::string_view key) {
  std::optional<std::string> bytes = Bytes();
  if (!bytes) return true;
  std::vector<std::string_view> lines = SplitLines(*bytes);
  std::optional<SectionSpan> span = FindSection(lines, section);
  if (!span) return true;
  auto first = lines.begin() + static_cast<std::ptrdiff_t>(span->header + 1);
  auto last = lines.begin() + static_cast<std::ptrdiff_t>(span->end);
  auto kept = std::remove_if(first, last, [&](std::string_view l) {
    IniLine c = Classify(l);
    return c.kind == IniLine::kKey && text::EqualsIgnoreCase(c.name, key);
  });
  if (kept == last) return true;
  lines.erase(kept, last);
  if (text::IsReadOnlyFile(path_)) return false;
  return Replace(Join(lines));
}

}  // namespace settings
