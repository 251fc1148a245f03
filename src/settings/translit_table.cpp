#include "settings/translit_table.h"

#include "text/cp1251.h"

namespace settings {

const std::string& TranslitLowerLetters() {
  static const std::string letters = text::W("абвгдеёжзийклмнопрстуфхцчшщьыъэюя");
  return letters;
}

const std::string& TranslitUpperLetters() {
  static const std::string letters = text::W("АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЬЫЪЭЮЯ");
  return letters;
}

const TranslitSequences& DefaultTranslitTable() {
  static const TranslitSequences table = {
      "a",  "b",  "v", "g", "d", "e",  "jo", "zh",   "z",   "i", "j",
      "k",  "l",  "m", "n", "o", "p",  "r",  "s",    "t",   "u", "f",
      "h",  "c",  "ch", "sh", "shch", "mmz", "y", "ttz", "ye", "yu", "ya",
  };
  return table;
}

}  // namespace settings
