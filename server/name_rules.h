#pragma once
// Which chat names may be registered, and the key under which a name is
// looked up, so that names differing only in case or in look-alike
// Cyrillic/Latin letters cannot stand for two accounts.
#include <string>
#include <string_view>

namespace chatd {

constexpr size_t kMaxNameBytes = 32;

// 1..32 bytes; no "¦ | ; % , = < > \"" and no control bytes; no blank at
// either end; not beginning with "http:", "ftp:", "www.", "--" or "::".
bool IsValidName(std::string_view name);

// Case and look-alike letters (Cyrillic А and Latin A, ...) folded away.
std::string AccountKey(std::string_view name);

}  // namespace chatd
