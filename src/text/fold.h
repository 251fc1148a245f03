#pragma once
#include <string>
#include <string_view>

namespace text {

// Replaces each Cyrillic letter that looks like a Latin one
// ("АаВЕеНКМОоРрСсТХху") by that Latin letter ("AaBEeHKMOoPpCcTXxy"), so that
// user names compare equal whichever look-alike letters were typed.
std::string FoldLookAlikes(std::string_view s);

}  // namespace text
