#pragma once
// Passwords are kept as a salted, iterated SHA-256, the same in every store.
#include <string>

namespace chatd {

std::string HashPassword(const std::string& salt, const std::string& password);
std::string NewSalt();  // 16 random bytes

}  // namespace chatd
