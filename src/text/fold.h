#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace text {

// Replaces each Cyrillic letter that looks like a Latin one
// ("АаВЕеНКМОоРрСсТХху") by that Latin letter ("AaBEeHKMOoPpCcTXxy"), so that
// user names compare equal whichever look-alike letters were typed.
std::string FoldLookAlikes(std::string_view s);

// The archive filter's folding: look-alike letters as above, and the case
// of Latin and Cyrillic letters ignored, so that two texts that differ
// only in those ways fold to the same bytes.  A Cyrillic lower-case letter
// whose capital looks like a Latin one ("в" of "В") folds with it.  Line
// feeds stay where they are, so a folded text keeps its lines.
std::string FoldForSearch(std::string_view s);
// The same into `out` (which must hold `n` bytes); `out` may be `in`.
void FoldForSearch(const char* in, size_t n, char* out);

}  // namespace text
