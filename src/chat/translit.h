#pragma once
// Latin typing turned into Cyrillic by the user's transliteration table, and
// the row of letter links in the pane `transl`.  All texts are Windows-1251.
#include <string>
#include <string_view>

#include "settings/translit_table.h"

namespace settings {
class Settings;
}

namespace window {

// Converts `text` by `table` (33 sequences in letter order) in one walk:
//  - "[" and "]" are removed; between them nothing is converted;
//  - a built-in smiley code and a code ":p" / ":d" / ":u" + digits + ":"
//    are kept as they are;
//  - elsewhere the longest sequence that starts here (compared without
//    case) becomes its letter, a capital one when the first typed character
//    is an ASCII capital; on equal length the earlier letter wins;
//  - where no sequence starts, the divider character (the first byte of
//    `divider`, none when empty) is removed so the next byte starts afresh.
void TransliterateWith(std::string& text, const settings::TranslitSequences& table,
                       std::string_view divider);

// The conversion of every text the user writes: does nothing unless `own`
// is true and the settings' Translit switch is on.  Received text is never
// converted.
void Transliterate(std::string& text, bool own, const settings::Settings& settings);

// The one line of the pane `transl`: "<b> " and a link per lower-case
// letter, shown as the letter between two blanks with the letter as target.
std::string TranslitPanelLine();

// What a click on a `transl` link puts into the message line in place of
// its selection: the first byte of the target, upper-cased while Shift is
// held.  Empty (nothing to do) for an empty target.
std::string TranslitPanelInsertion(std::string_view target, bool shift);

}  // namespace window
