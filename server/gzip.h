#pragma once
// gzip-format compression and decompression with zlib.
#include <optional>
#include <string>
#include <string_view>

namespace chatd {

std::string Gzip(std::string_view data);
// nullopt when the data is not a complete gzip stream or unpacks to more
// than `limit` bytes.
std::optional<std::string> Gunzip(std::string_view data, size_t limit = 64u << 20);

}  // namespace chatd
