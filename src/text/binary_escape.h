#pragma once
// Carrying binary data inside one wire line: the escaped text holds no line
// feed, no NUL and neither field separator ("|", "¦").
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace text {

// The marker byte, then the data with 0x0A, 0x00, 0x7C, 0xA6 and 0x0F each
// written as 0x0F followed by 0x01 .. 0x05.
std::string EscapeBinary(std::string_view data, char marker);

// Skips the marker byte and undoes EscapeBinary; 0x0F before any other byte
// stands for 0x0F itself.  Fails when the result would exceed `capacity`
// bytes or when the text ends right after a 0x0F.
std::optional<std::string> UnescapeBinary(std::string_view text, size_t capacity);

}  // namespace text
