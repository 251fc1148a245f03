// The receive side of the wire: cutting a byte stream into lines, record
// bodies, field and binary unescaping.
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "wire/wire.h"
#include "text/binary_escape.h"

namespace {

// Cuts `stream` in pieces of the sizes its own bytes suggest, so line feeds
// fall on every side of a piece border.
void CheckSplitter(std::string_view stream) {
  constexpr size_t kLimit = 512;
  wire::ReceiveBuffer buffer(kLimit);
  std::string joined;
  bool overflow = false;
  size_t at = 0;
  while (at < stream.size() && !overflow) {
    const size_t piece = 1 + static_cast<unsigned char>(stream[at]) % 97;
    const std::string_view chunk = stream.substr(at, piece);
    at += chunk.size();
    overflow = !buffer.Feed(chunk, [&](const std::string& line) {
      FUZZ_CHECK(line.find('\n') == std::string::npos);
      joined += line;
      joined += '\n';
    });
    if (!overflow) FUZZ_CHECK(buffer.Pending().size() <= kLimit);
  }
  if (overflow) {
    FUZZ_CHECK(buffer.Pending().empty());
    return;
  }
  // Nothing is lost, repeated or reordered.
  joined += buffer.Pending();
  FUZZ_CHECK(joined == stream);
}

void CheckRecord(std::string_view line) {
  if (wire::ClassifyLine(line) != wire::LineClass::Record) return;
  const wire::Record record = wire::ParseRecord(wire::RecordBody(line));
  wire::RecordWriter raw;
  wire::RecordWriter escaped;
  for (const auto& [key, value] : record) {
    FUZZ_CHECK(!key.empty());
    FUZZ_CHECK(key.find('=') == std::string::npos);
    FUZZ_CHECK(value.find(';') == std::string::npos);
    const std::string plain = wire::UnescapeField(value);
    FUZZ_CHECK(plain.size() <= value.size());
    raw.Raw(key, value);
    escaped.Escaped(key, plain);
  }
  // A record written from what was read reads the same.
  FUZZ_CHECK(wire::ParseRecord(raw.Body()) == record);
  const wire::Record again = wire::ParseRecord(escaped.Body());
  FUZZ_CHECK(again.size() == record.size());
  for (const auto& [key, value] : again) {
    const std::string plain = wire::UnescapeField(record.at(key));
    // "&gt;" is turned into ">" only on the way in, so a value that still
    // spells it after unescaping cannot come back unchanged.
    if (plain.find("&gt;") == std::string::npos) FUZZ_CHECK(wire::UnescapeField(value) == plain);
  }
}

void CheckBinary(std::string_view text) {
  if (text.empty()) return;
  const size_t capacity = 1 + static_cast<unsigned char>(text[0]) * 4;
  const auto data = text::UnescapeBinary(text, capacity);
  if (!data) return;
  FUZZ_CHECK(data->size() <= capacity);
  FUZZ_CHECK(data->size() < text.size());
  const std::string escaped = text::EscapeBinary(*data, text[0]);
  for (char c : escaped.substr(1)) FUZZ_CHECK(c != '\n' && c != '\0' && c != '|' && c != '\xA6');
  FUZZ_CHECK(text::UnescapeBinary(escaped, capacity) == data);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = fuzz::Bytes(data, size);
  CheckSplitter(bytes);
  wire::ReceiveBuffer lines;
  lines.Feed(bytes, [](const std::string& line) {
    CheckRecord(line);
    CheckBinary(line);
  });
  CheckBinary(bytes);
  return 0;
}
