#include "archive/archive_format.h"

#include <cstdio>

#include "wire/wire.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace media {
namespace {

constexpr uint32_t kWhite = 0xFFFFFF;
constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kRed = 0x0000FF;

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string WithoutTrailingCr(std::string_view line) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  return std::string(line);
}

// The two colour fields, taken off the front of `rest`, as the markup that
// puts the message text in them; whatever follows a further "¦" goes.
std::string TakeColours(std::string& rest) {
  const uint32_t back = ArchiveColor(wire::TakeField(rest), kWhite);
  const uint32_t font = ArchiveColor(wire::TakeField(rest), kBlack);
  const size_t bar = rest.find(wire::kBrokenBar);
  if (bar != std::string::npos) rest.resize(bar);
  return "<fcol=" + MarkupColor(font) + "><bcol=" + MarkupColor(back) + ">";
}

// A received entry "lead <b>name:</b> text": the lead, the sender's name
// (decoded, without its colon) and the decoded text.  False when the entry
// holds no bold name after its lead.
struct ReceivedEntry {
  std::string lead, name, text;
};
bool SplitReceived(std::string rest, ReceivedEntry* out) {
  out->lead = wire::SplitFirstWord(rest);
  const size_t close = rest.find("</b>");
  if (!text::StartsWith(rest, "<b>") || close == std::string::npos) return false;
  out->name = wire::UnescapeField(rest.substr(3, close - 3));
  if (!out->name.empty()) out->name.pop_back();
  const size_t textAt = close + 5;  // "</b>" and the blank after it
  out->text = textAt < rest.size() ? wire::UnescapeField(rest.substr(textAt)) : std::string();
  return true;
}

// A sent entry "<id=N><pict=-P>(Послано-->R): text".
std::string FormatSent(const std::string& stamp, const std::string& rest, size_t marker,
                       const std::string& colours, const CodeConverter& codes) {
  const std::string sentMark = text::W("Послано-->");
  const std::string head = rest.substr(0, marker + sentMark.size());
  const std::string after = rest.substr(marker + sentMark.size());
  const size_t close = after.find("): ");
  const std::string recipient = wire::UnescapeField(after.substr(0, close));
  std::string body = close == std::string::npos ? std::string() : after.substr(close + 3);
  std::string lead;
  if (body.size() > 5 && IsDigit(body[0]) && body[2] == ':') {
    lead = wire::SplitFirstWord(body);
    if (!lead.empty()) lead += ' ';
  }
  return stamp + " " + head + "<link=\"" + recipient + "\"" + text::W("Для ") + recipient + ":>): " + lead +
         colours + codes(wire::UnescapeField(body));
}

}  // namespace

uint32_t ArchiveColor(std::string_view field, uint32_t fallback) {
  const std::string colour = text::Trim(text::Lower(field));
  if (colour == "white") return kWhite;
  if (colour == "black") return kBlack;
  return wire::WireToColor(colour, fallback);
}

std::string MarkupColor(uint32_t color) {
  char digits[8];
  std::snprintf(digits, sizeof digits, "%06X", static_cast<unsigned>(color & 0xFFFFFF));
  return digits;
}

ViewLine FormatPrivateArchiveLine(std::string_view stored, const CodeConverter& codes) {
  const std::string line = WithoutTrailingCr(stored);
  std::string rest = line;
  const std::string stamp = "<i>" + wire::TakeField(rest) + "</i>";
  const std::string colours = TakeColours(rest);

  const size_t sent = rest.find(text::W("Послано-->"));
  if (sent != std::string::npos) return {FormatSent(stamp, rest, sent, colours, codes)};

  ReceivedEntry entry;
  if (!SplitReceived(rest, &entry)) return {line, kWhite, kRed};
  return {stamp + " " + entry.lead + " <b><a href=\"" + text::W("Для ") + entry.name + ":\">" + entry.name +
          ":</a></b> " + colours + codes(entry.text)};
}

ViewLine FormatPublicArchiveLine(std::string_view publicLine, const std::string& userName,
                                 const CodeConverter& codes) {
  const std::string line = WithoutTrailingCr(publicLine);
  std::string rest = line;
  const std::string number = wire::TakeField(rest);
  wire::TakeField(rest);  // not used
  const auto value = text::ParseInt(number);
  const std::string tag = value ? std::to_string(*value % 100) : number;
  const std::string colours = TakeColours(rest);

  ReceivedEntry entry;
  if (!SplitReceived(rest, &entry)) return {line, kWhite, kRed};
  // An empty own name (not logged in yet) names nobody.
  std::string own;
  if (!userName.empty() && text::Contains(entry.text, userName))
    own = "<fcol=0000ff>";
  else if (!userName.empty() && entry.name == userName)
    own = "<fcol=008000>";
  return {tag + " - " + entry.lead + " <b><a href=\"" + text::W("Для ") + entry.name + "(" + tag + "):\">" + own +
          entry.name + ":</a></b> " + colours + codes(entry.text)};
}

std::vector<ViewLine> FormatPublicArchive(std::string_view body, const std::string& userName,
                                          const CodeConverter& codes) {
  std::vector<ViewLine> lines;
  while (!body.empty()) {
    const size_t lf = body.find('\n');
    const std::string_view line = body.substr(0, lf);
    if (!line.empty() && line != "\r") lines.push_back(FormatPublicArchiveLine(line, userName, codes));
    if (lf == std::string_view::npos) break;
    body.remove_prefix(lf + 1);
  }
  return lines;
}

}  // namespace media
