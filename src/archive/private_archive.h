#pragma once
// The private archive private.arc: one line per private message sent or
// received, oldest first, each "time stamp¦#background¦#text¦entry" and a
// line feed.  Once the file passes its size limit it is trimmed to its
// newest lines, nine tenths of the limit, on a worker thread.  Texts are
// Windows-1251.
#include <ctime>
#include <functional>
#include <string>
#include <string_view>

namespace media {

// Receives the one-line failure reports for the trace log.
using ArchiveTrace = std::function<void(const std::string&)>;

// private.arc and its trimming copy in `programDir` (which ends with "/").
std::string ArchiveFilePath(const std::string& programDir);
std::string ArchiveCopyPath(const std::string& programDir);

// "dd.mm.yy hh.mm.ss (ddd)" of a local time, ddd the system locale's short
// weekday name.
std::string ArchiveTimeStamp(const std::tm& local);

// The stored form of a caller's line (background + "|" + text color + "|" +
// entry) written at `local`: the time stamp in front; every "|" stored as
// "¦"; carriage returns and line feeds as blanks, so an entry is always one
// line; a color that is not exactly "#" + six hex digits replaced by
// "#ffffff" (background) or "#000000" (text).  No line feed at the end.
std::string ArchiveLineText(std::string_view line, const std::tm& local);

// Appends `line` (as for ArchiveLineText, stamped now) to private.arc of
// `programDir`; when the file then passes `arcLimitMb` megabytes (clamped
// to 2..1000) a trim starts on a worker thread unless one runs.  The trim
// goes through privatecopy.arc, which replaces private.arc only once it is
// complete, with every line appended meanwhile.  Failures lose the line (or
// only skip the trim) and are reported through `trace` (a trim's by the
// next append), which may be empty; nothing is thrown.
void AppendArchiveLine(const std::string& programDir, int arcLimitMb, std::string_view line,
                       const ArchiveTrace& trace);

// Waits for the trim of the archive of `programDir` and reports its failures.
void FinishArchiveTrims(const std::string& programDir, const ArchiveTrace& trace);
// How many trims of that archive completed in this process.
int ArchiveTrimCount(const std::string& programDir);

// Changes the state picture of sent message `number` in the archive file at
// `path` in place: the first "<id=N><pict=-OLD>" in the newest 10 000-byte
// window (searched from the end) that holds one becomes "<id=N><pict=-NEW>".
// Windows overlap by the pattern's length less one, so an occurrence
// across a window border is found too.  The two picture numbers must have
// equally many digits (-16, -17, -18).  False when nothing was patched (no
// file, no occurrence, a write error).
bool PatchArchiveStatus(const std::string& path, std::string_view number, int oldPicture,
                        int newPicture);

}  // namespace media
