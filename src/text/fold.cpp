#include "text/fold.h"

#include "text/cp1251.h"

namespace text {

std::string FoldLookAlikes(std::string_view s) {
  static const std::string cyrillic = W("АаВЕеНКМОоРрСсТХху");
  static const std::string latin = "AaBEeHKMOoPpCcTXxy";
  std::string out(s);
  for (char& c : out) {
    size_t at = cyrillic.find(c);
    if (at != std::string::npos) c = latin[at];
  }
  return out;
}

}  // namespace text
