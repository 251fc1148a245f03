#pragma once
// Reader and writer of Windows-style INI files with private-profile
// behaviour: "[Section]" headers and "key=value" lines in Windows-1251,
// section and key names compared without regard to case (Cyrillic letters
// included), values stored exactly as given (no quoting, no escaping).
//
// Every read looks at the file on disk, unless KeepSnapshot() asked for one
// reading to serve many; every write rewrites the file at once, through an
// atomic replace (or, inside an IniBatch, at the batch's end).  The file is
// created by
// the first write.  A write to a read-only file, or one that cannot be
// replaced, fails without touching the file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace settings {

class IniFile {
 public:
  explicit IniFile(std::string path) : path_(std::move(path)) {}

  const std::string& Path() const { return path_; }

  // Reads the file once now; later reads of this object use that copy
  // (and what this object writes) until DropSnapshot().  For a caller that
  // reads many keys in a row, such as the start-up read.
  void KeepSnapshot();
  void DropSnapshot() { snapshot_.reset(); }

  // The value of a key with blanks and tabs around it removed, or nothing
  // when the file, the section or the key does not exist.  "key=" gives "".
  std::optional<std::string> Read(std::string_view section, std::string_view key) const;

  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view fallback) const;
  // An optional sign and decimal digits within 32 bits; anything else,
  // including an empty value, gives `fallback`.
  int32_t ReadInt(std::string_view section, std::string_view key, int32_t fallback) const;
  // Read as an integer; any non-zero number is true.
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) const;

  // Every key of a section in file order, with its value.
  std::vector<std::pair<std::string, std::string>> ReadSection(std::string_view section) const;

  // Sets one key and writes the file at once.  A carriage return or line
  // feed in the value becomes a blank, so a value never spills into a line
  // of its own.  A section or key name that could not be read back as
  // itself (empty, holding "]", "=", a line end, starting with ";" or "[",
  // or with blanks at either end) is refused.  Returns false when nothing
  // was written.
  bool Write(std::string_view section, std::string_view key, std::string_view value);
  bool WriteInt(std::string_view section, std::string_view key, int64_t value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);

  // Removes a key (every line of it in its section).  A missing file or key
  // leaves the disk untouched and counts as success.
  bool Delete(std::string_view section, std::string_view key);

 private:
  std::optional<std::string> Bytes() const;
  bool Replace(const std::string& bytes);

  std::string path_;
  // The file's bytes while a snapshot is kept; an empty optional inside
  // means the file could not be read.
  std::optional<std::optional<std::string>> snapshot_;
};

// The writes to one file while an IniBatch of its path lives (from any
// IniFile object, on any thread) are kept in memory, read back by reads of
// that path, and reach the disk as one atomic replace when the outermost
// batch of the path ends.  So one operation that sets many keys costs one
// replace, and a crash leaves either all of its keys or none.
class IniBatch {
 public:
  explicit IniBatch(std::string path);
  ~IniBatch();
  IniBatch(const IniBatch&) = delete;
  IniBatch& operator=(const IniBatch&) = delete;

 private:
  std::string path_;
};

}  // namespace settings
