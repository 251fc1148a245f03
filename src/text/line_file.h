#pragma once
// Files of one entry per line (the contact lists, the waiting
// acknowledgements) and the atomic whole-file replace every rewritten file
// goes through.  Paths are native file-system byte strings; contents are
// Windows-1251 bytes, never converted.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace text {

// Entries of a line file.  A line ends at its first line feed; a carriage
// return right before that line feed belongs to the line end (CR LF), any
// other carriage return stays in the entry.  A last line without a line end
// is not read.  A missing or unreadable file gives no entries.
std::vector<std::string> ReadLineFile(const std::string& path);

// The same rule over bytes already in memory.
std::vector<std::string> SplitLineFileText(std::string_view bytes);

// Writes every entry followed by CR LF and replaces the file atomically.
// A line feed inside an entry becomes a blank, so one entry always reads
// back as one entry; an entry without a line feed reads back unchanged.  Returns false when the file could
// not be written; the old file is then left as it was.
bool WriteLineFile(const std::string& path, const std::vector<std::string>& entries);

// Whole contents of a file, or nothing when it cannot be opened or read.
std::optional<std::string> ReadWholeFile(const std::string& path);

// Replaces `path` by `contents` through a temporary file in the same
// directory that is flushed to disk and renamed over it, so a crash leaves
// either the old or the new file, never a truncated one.  An existing file
// keeps its permission bits (without those for group and others when
// `ownerOnly`, for files that hold a password); a new one is readable by
// its owner only.  A file that is marked read-only (no write permission bit
// at all) is not replaced.  Returns false on any failure; no temporary file
// is left behind.  Without `syncToDisk` the data is not forced to the disk
// first: a killed program still leaves the old or the new file, a power cut
// may not (for files that are cheap to lose).
struct ReplaceOptions {
  bool ownerOnly = false;
  bool syncToDisk = true;
};
bool ReplaceFileAtomically(const std::string& path, std::string_view contents, ReplaceOptions options = {});

// dir + UserFileName(name) + suffix.  When that file does not exist but
// one under the name earlier versions gave it (the Windows-1251 bytes made
// safe without conversion) does, that one is renamed to it first, so it is
// found once more and moved only once.
std::string UserFilePath(const std::string& dir, std::string_view name, std::string_view suffix);

// Removes the temporary files ReplaceFileAtomically leaves when the program
// is killed in the middle of a replace (".name.XXXXXX" beside "name") from
// directory `dir`.  Returns how many went.
size_t RemoveStaleReplaceTemporaries(const std::string& dir);

// True when `path` exists and carries no write permission bit.
bool IsReadOnlyFile(const std::string& path);

}  // namespace text
