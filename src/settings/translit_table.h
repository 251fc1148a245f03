#pragma once
// The 33 letters of the transliteration table and its default sequences.
// The soft sign stands before "ы" and the hard sign after it.
#include <array>
#include <string>

namespace settings {

constexpr int kTranslitLetterCount = 33;
using TranslitSequences = std::array<std::string, kTranslitLetterCount>;

// The letters in table order, Windows-1251, one byte each.
const std::string& TranslitLowerLetters();  // "абвгдеёжзийклмнопрстуфхцчшщьыъэюя"
const std::string& TranslitUpperLetters();  // "АБВГДЕЁЖЗИЙКЛМНОПРСТУФХЦЧШЩЬЫЪЭЮЯ"

// The table used while every stored entry is empty, and the one the
// settings dialog restores.
const TranslitSequences& DefaultTranslitTable();

}  // namespace settings
