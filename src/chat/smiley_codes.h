#pragma once
// Smiley and picture codes in message text: the ten built-in smileys, the
// second picture set (":" user digits "p" picture digits ":"), the user's own
// pictures (":p" digits ":") and the additional smileys (":u" digits ":")
// looked up in the smiley table that csmile.dat holds.  Texts are
// Windows-1251.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace settings {
class Settings;
}

namespace window {

// The built-in codes; index i becomes the picture -1 - i.
inline constexpr std::array<std::string_view, 10> kBuiltinSmileyCodes = {
    ":)", ":(", ":u:", ":d:", ":w:", ":a:", ":v:", ":z:", ":y:", ":h:"};

// Additional smileys: picture number -> URL, ordered by number.  Numbers
// that are multiples of 100 are the group pictures of the smileys window.
using SmileyTable = std::map<int32_t, std::string>;

// The table shown everywhere; the main window loads it at start-up and the
// smileys window after a fresh download.
SmileyTable& AppSmileyTable();

// Turns the codes of `text` into picture tags, after transliterating it as
// the user's own text when `own` is true (see Transliterate):
//  - everywhere: the built-in codes become <pict=-1> .. <pict=-10>, and
//    ":u" / ":у" / ":d" + digits + ":" becomes <img src=URL> with the URL of
//    that entry of `table` (empty when there is none; a number beyond 32
//    bits leaves the code as text);
//  - received text (own false): ":" digits "p" digits ":" becomes
//    "<img src=" + QelDir + digits1 + "_" + digits2 + ".gif>";
//  - the user's own text (own true): ":p" / ":п" / ":р" + digits + ":" becomes
//    "<img src=" + QelDir + UserSmileNum + "_" + digits + ".gif>".
// The last byte never starts a code; everything else passes unchanged.
void CodesToMarkup(std::string& text, bool own, const settings::Settings& settings,
                   const SmileyTable& table);

// Before the user's message is sent (main window and game chat, after
// transliteration): every own picture code ":" x digits ":" (x one of
// "p", "п", "р") becomes ":" + userSmileNum + "p" + digits + ":", the form
// receivers show as that picture.  Codes are found by the same walk as in
// CodesToMarkup, so exactly the codes the preview showed as own pictures
// are rewritten.  Nothing changes while `userSmileNum` is empty.
void RewriteOwnPictureCodes(std::string& text, std::string_view userSmileNum);

// What the smiley button with `tag` 0..9 puts into the message line in place
// of its selection; empty for any other tag.
std::string SmileyButtonCode(int tag);

// The "[img]" rewrite of the message line, run on every change of it: when
// the first "[img]" stands before the first "[/img]", the pair and the text
// between become "<img src=" + that text + ">".  Returns false (and changes
// nothing) when there is no such pair; else sets `caret` to the position
// right after the inserted ">".  One pair per call: the change this makes
// triggers the next call.
bool RewriteImgMarkers(std::string& text, size_t* caret);

// csmile.dat in `programDir` (which ends with "/").
std::string SmileyFilePath(const std::string& programDir);

// Clears `table` and reads `path`: one entry per line (LF or CR LF), the
// number, "¦", the URL.  A line without "¦" or whose number is not an
// integer ends the reading; so does a last line without its line end.  A
// later line replaces an earlier one of the same number.  A missing file
// leaves the table empty.
void LoadSmileyTable(const std::string& path, SmileyTable& table);

// Stores the smiley list as the service sent it, replacing the file
// atomically.  False when it could not be written (the old file stays).
bool SaveSmileyFile(const std::string& path, std::string_view body);

}  // namespace window
