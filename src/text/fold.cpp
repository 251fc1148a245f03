#include "text/fold.h"

#include <array>

#include "text/cp1251.h"

namespace text {
namespace {

using Table = std::array<unsigned char, 256>;

Table LookAlikeTable() {
  Table t;
  for (int c = 0; c < 256; ++c) t[c] = static_cast<unsigned char>(c);
  const std::string cyrillic = W("АаВЕеНКМОоРрСсТХху");
  const std::string latin = "AaBEeHKMOoPpCcTXxy";
  for (size_t i = 0; i < cyrillic.size(); ++i) t[static_cast<unsigned char>(cyrillic[i])] = latin[i];
  return t;
}

const Table& LookAlikes() {
  static const Table table = LookAlikeTable();
  return table;
}

// Lower case of the Latin and Cyrillic letters of Windows-1251.
unsigned char Lower(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 32;
  if (c >= 0xC0 && c <= 0xDF) return c + 32;  // А..Я
  switch (c) {
    case 0xA8: return 0xB8;  // Ё
    case 0x80: return 0x90;  // Ђ
    case 0x81: return 0x83;  // Ѓ
    case 0x8A: return 0x9A;  // Љ
    case 0x8C: return 0x9C;  // Њ
    case 0x8D: return 0x9D;  // Ќ
    case 0x8E: return 0x9E;  // Ћ
    case 0x8F: return 0x9F;  // Џ
    case 0xA1: return 0xA2;  // Ў
    case 0xA3: return 0xBC;  // Ј
    case 0xA5: return 0xB4;  // Ґ
    case 0xAA: return 0xBA;  // Є
    case 0xAF: return 0xBF;  // Ї
    case 0xB2: return 0xB3;  // І
    case 0xBD: return 0xBE;  // Ѕ
    default: return c;
  }
}

Table SearchTable() {
  // A letter and its capital are one; a look-alike of either joins the
  // Latin letter it looks like.
  Table t;
  const Table& alike = LookAlikes();
  for (int c = 0; c < 256; ++c) {
    const unsigned char lower = Lower(static_cast<unsigned char>(c));
    unsigned char folded = alike[lower];
    if (folded == lower) {
      // The capital of this lower-case letter may be the look-alike.
      for (int capital = 0; capital < 256; ++capital)
        if (capital != lower && Lower(static_cast<unsigned char>(capital)) == lower && alike[capital] != capital)
          folded = alike[capital];
    }
    t[c] = Lower(folded);
  }
  return t;
}

const Table& Search() {
  static const Table table = SearchTable();
  return table;
}

}  // namespace

std::string FoldLookAlikes(std::string_view s) {
  const Table& t = LookAlikes();
  std::string out(s);
  for (char& c : out) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
  return out;
}

void FoldForSearch(const char* in, size_t n, char* out) {
  const Table& t = Search();
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<char>(t[static_cast<unsigned char>(in[i])]);
}

std::string FoldForSearch(std::string_view s) {
  std::string out(s.size(), '\0');
  FoldForSearch(s.data(), s.size(), out.data());
  return out;
}

}  // namespace text
