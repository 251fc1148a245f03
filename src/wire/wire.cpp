#include "wire/wire.h"

#include "text/bytes.h"

namespace wire {

const std::string& Field(const Record& record, const std::string& key) {
  static const std::string empty;
  auto it = record.find(key);
  return it == record.end() ? empty : it->second;
}

bool ReceiveBuffer::Feed(std::string_view data, const std::function<void(const std::string&)>& onLine) {
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(0, start_);
    start_ = 0;
  }
  size_t searchFrom = buffer_.size();
  buffer_.append(data);
  const uint64_t generation = generation_;
  while (true) {
    size_t lf = buffer_.find('\n', searchFrom);
    if (lf == std::string::npos) break;
    std::string line = buffer_.substr(start_, lf - start_);
    start_ = lf + 1;
    searchFrom = start_;
    onLine(line);
    if (generation != generation_) return true;  // cleared by the handler
  }
  if (buffer_.size() - start_ > limit_) {
    Clear();
    return false;
  }
  return true;
}

void ReceiveBuffer::Clear() {
  buffer_.clear();
  start_ = 0;
  ++generation_;
}

LineClass ClassifyLine(std::string_view line) {
  if (line.size() >= 3 && text::StartsWith(line, "x\xA6") && line.back() == kBrokenBar) return LineClass::Record;
  if (line == "?5") return LineClass::Refusal;
  if (text::StartsWith(line, "i|")) return LineClass::Ignored;
  if (text::StartsWith(line, "p|")) return LineClass::AddressReply;
  if (text::StartsWith(line, "T|")) return LineClass::FineList;
  if (text::StartsWith(line, "f|")) return LineClass::MediaPacket;
  return LineClass::Unknown;
}

std::string_view RecordBody(std::string_view line) {
  if (line.size() < 3) return {};
  return line.substr(2, line.size() - 3);
}

std::string_view FineListData(std::string_view line) { return line.size() > 5 ? line.substr(5) : std::string_view(); }

Record ParseRecord(std::string_view body) {
  Record record;
  while (!body.empty()) {
    std::string key;
    size_t eq = body.find('=');
    if (eq != std::string_view::npos) {
      key = body.substr(0, eq);
      body.remove_prefix(eq + 1);
    }
    if (key.empty()) break;
    std::string value;
    size_t semi = body.find(';');
    if (semi != std::string_view::npos) {
      value = body.substr(0, semi);
      body.remove_prefix(semi + 1);
    }
    record[key] = std::move(value);
  }
  return record;
}

std::string EscapeField(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (char c : value) {
    if (c == kBrokenBar || c == '|' || c == '%' || c == ';') {
      out += '%';
      out += text::HexByte(static_cast<unsigned char>(c));
    } else {
      out += c;
    }
  }
  return out;
}

std::string UnescapeField(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size()) {
      int hi = text::LenientHexDigit(s[i + 1]);
      int lo = text::LenientHexDigit(s[i + 2]);
      out += static_cast<char>((16 * hi + lo) & 0xFF);
      i += 2;
    } else {
      out += s[i];
    }
  }
  return text::ReplaceAll(out, "&gt;", ">");
}

std::string ColorToWire(std::string_view setting) {
  if (setting.size() != 6) return std::string(setting);
  std::string out;
  out.append(setting.substr(4, 2)).append(setting.substr(2, 2)).append(setting.substr(0, 2));
  return out;
}

namespace {
uint32_t HexPair(std::string_view s, size_t at) {
  return static_cast<uint32_t>((16 * text::LenientHexDigit(s[at]) + text::LenientHexDigit(s[at + 1])) & 0xFF);
}
}  // namespace

uint32_t WireToColor(std::string_view wire, uint32_t fallback) {
  if (wire.size() < 7) return fallback;
  return HexPair(wire, 1) + 256 * HexPair(wire, 3) + 65536 * HexPair(wire, 5);
}

uint32_t ColorSettingToValue(std::string_view setting) {
  if (setting.size() <= 5) return 0;
  std::string lower = text::Lower(setting);
  return HexPair(lower, 4) + 256 * HexPair(lower, 2) + 65536 * HexPair(lower, 0);
}

std::string CheckWireColor(std::string_view wire, std::string_view fallback) {
  if (wire.size() > 6 && wire[0] == '#') return std::string(wire);
  return std::string(fallback);
}

std::string ReplaceChar(std::string_view s, char from, char to) {
  std::string out(s);
  for (char& c : out)
    if (c == from) c = to;
  return out;
}

std::string SplitFirstWord(std::string& s) {
  size_t blank = s.find(' ');
  if (blank == std::string::npos) return {};
  std::string word = s.substr(0, blank);
  s.erase(0, blank + 1);
  return word;
}

std::string TakeField(std::string& s) {
  size_t bar = s.find(kBrokenBar);
  if (bar == std::string::npos) {
    std::string all;
    all.swap(s);
    return all;
  }
  std::string field = s.substr(0, bar);
  s.erase(0, bar + 1);
  return field;
}

std::string BuildLine(char kind, std::string_view body) {
  std::string line;
  line.reserve(body.size() + 4);
  line += kind;
  line += kBrokenBar;
  line.append(body);
  line += kBrokenBar;
  line += '\n';
  return line;
}

std::string BuildPositionalLine(char kind, const std::vector<std::string>& fields) {
  std::string line(1, kind);
  line += kBrokenBar;
  for (const auto& f : fields) {
    line += f;
    line += kBrokenBar;
  }
  line += '\n';
  return line;
}

RecordWriter& RecordWriter::Raw(std::string_view key, std::string_view value) {
  body_.append(key).append("=").append(value).append(";");
  return *this;
}

RecordWriter& RecordWriter::Escaped(std::string_view key, std::string_view value) {
  return Raw(key, EscapeField(value));
}

RecordWriter& RecordWriter::Key(std::string_view key) {
  body_.append(key).append(";");
  return *this;
}

std::string PeerAddressLine(std::string_view peerName) { return BuildPositionalLine('p', {EscapeField(peerName)}); }

std::string DirectLinkNoticeLine(std::string_view peerName, std::string_view number) {
  return BuildPositionalLine('m', {EscapeField(peerName), "DirectLink::TryToConnect", std::string(number)});
}

}  // namespace wire
