#pragma once
// The shape of the lines exchanged with the chat server: cutting the byte
// stream into lines, classifying them, decoding record bodies, escaping
// field values, wire colors, and building outgoing lines.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace wire {

constexpr char kBrokenBar = '\xA6';  // frames lines, separates positional fields
constexpr char kBar = '|';           // separates fields of a few service lines
inline constexpr std::string_view kBrokenBarText{"\xA6", 1};

// Decoded record body: field name -> raw (still escaped) value.
using Record = std::map<std::string, std::string>;

// Value of a field; an absent field reads as empty.
const std::string& Field(const Record& record, const std::string& key);

// A field counts as present only when its value is not empty.
inline bool Has(const Record& record, const std::string& key) { return !Field(record, key).empty(); }

// ---- receive side ---------------------------------------------------------

// Cuts received bytes into lines at each line feed.  The line feed is
// dropped; a carriage return before it stays part of the line.  A partial
// line waits for more bytes.  The buffer is bounded: more than `limit` bytes
// without a line feed is an overflow, which the connection treats like a
// socket error.
class ReceiveBuffer {
 public:
  static constexpr size_t kDefaultLimit = 16u << 20;

  explicit ReceiveBuffer(size_t limit = kDefaultLimit) : limit_(limit) {}

  // Appends `data` and hands every complete line to `onLine`, in order, each
  // one before the next is cut.  `onLine` may call Clear().  Returns false on
  // overflow; the buffer is then emptied.
  bool Feed(std::string_view data, const std::function<void(const std::string&)>& onLine);

  void Clear();
  std::string_view Pending() const { return std::string_view(buffer_).substr(start_); }

 private:
  std::string buffer_;
  size_t start_ = 0;  // bytes before this offset are already dispatched
  size_t limit_;
  uint64_t generation_ = 0;  // bumped by Clear() so Feed notices it mid-loop
};

enum class LineClass {
  Record,        // "x¦" ... "¦": body decoded with ParseRecord
  Refusal,       // exactly "?5"
  Ignored,       // begins with "i|"
  AddressReply,  // begins with "p|"
  FineList,      // begins with "T|"
  MediaPacket,   // begins with "f|": audio or a picture relayed by the server
  Unknown,
};

LineClass ClassifyLine(std::string_view line);

// Body of a record line: without "x¦" and the final "¦".
std::string_view RecordBody(std::string_view line);

// Data of a fine-list line: everything from its sixth byte.
std::string_view FineListData(std::string_view line);

Record ParseRecord(std::string_view body);

// ---- field values ---------------------------------------------------------

// "¦", "|", "%" and ";" become "%" + two lower-case hex digits.
std::string EscapeField(std::string_view value);

// "%" + two bytes -> the byte they give (digits not validated), then every
// "&gt;" becomes ">".
std::string UnescapeField(std::string_view text);

// ---- colors --------------------------------------------------------------

// Color setting (BBGGRR hex) -> the six digits of a wire color (RRGGBB).
std::string ColorToWire(std::string_view setting);
// Wire color "#RRGGBB" -> color value 0x00BBGGRR, or `fallback` when short.
uint32_t WireToColor(std::string_view wire, uint32_t fallback);
// Color setting text (BBGGRR hex) -> color value; 0 when five bytes or fewer.
uint32_t ColorSettingToValue(std::string_view setting);
// The wire color itself when it is longer than six bytes and begins with "#".
std::string CheckWireColor(std::string_view wire, std::string_view fallback);

// ---- helpers for message handlers -----------------------------------------

std::string ReplaceChar(std::string_view s, char from, char to);
// First word before the first blank (the text keeps what follows it); empty
// and the text unchanged when there is no blank.
std::string SplitFirstWord(std::string& s);
// First "¦"-separated field (the text keeps what follows it); the whole text
// when there is no "¦".
std::string TakeField(std::string& s);

// ---- outgoing lines -------------------------------------------------------

// kind + "¦" + body + "¦\n".
std::string BuildLine(char kind, std::string_view body);

// Positional fields, each followed by "¦": kind + "¦" + f1 + "¦" + f2 + "¦\n".
std::string BuildPositionalLine(char kind, const std::vector<std::string>& fields);

// Builds a record body "key=value;key=value;" in the order fields are added.
class RecordWriter {
 public:
  RecordWriter& Raw(std::string_view key, std::string_view value);      // numbers, fixed words
  RecordWriter& Escaped(std::string_view key, std::string_view value);  // user text, names
  RecordWriter& Key(std::string_view key);                              // "key;" with no "="
  const std::string& Body() const { return body_; }
  std::string Line(char kind = 'x') const { return BuildLine(kind, body_); }

 private:
  std::string body_;
};

std::string PeerAddressLine(std::string_view peerName);               // "p¦name¦\n"
std::string DirectLinkNoticeLine(std::string_view peerName, std::string_view number);

}  // namespace wire
