#pragma once
// Composing and sending: the addressee list, the one send operation with
// its numbering and echo line, the message-line and preview texts.
#include <functional>
#include <string>
#include <vector>

namespace markup {
class MarkupDocument;
}
namespace settings {
class Settings;
}
namespace session {
class Acknowledgements;
}

namespace window {

class AddresseeList {
 public:
  // Appends name unless it is already there; true when added.
  bool Add(const std::string& name);
  // Removes every entry equal to name.
  void RemoveAll(const std::string& name);
  void Clear() { names_.clear(); }
  const std::vector<std::string>& Names() const { return names_; }
  std::string Joined() const;  // "A,B"
  // towhom: one line with a link per addressee.
  void Show(markup::MarkupDocument& towhom) const;

 private:
  std::vector<std::string> names_;
};

// No user text reaches the wire with a line break.
std::string WithoutLineBreaks(std::string text);

// The typed text as it is sent: "¦" becomes "|", line breaks become blanks.
std::string TypedText(const std::string& enterText);

// "x¦[Cln=…;]Mess=…;Mid=…;¦\n"
std::string ChatMessageLine(const std::string& addressees, const std::string& text, const std::string& number);

class MessageSender {
 public:
  MessageSender(settings::Settings& settings, session::Acknowledgements& acks, markup::MarkupDocument& priv,
                std::function<void(const std::string&)> sendLine,
                std::function<std::string(const std::string&)> codesToMarkup);

  // Numbers the message, records it as waiting, sends it and, when show is
  // set and it is private, writes the waiting echo line into priv.
  void SendChatMessage(const std::string& addressees, std::string text, bool show);

 private:
  settings::Settings& settings_;
  session::Acknowledgements& acks_;
  markup::MarkupDocument& priv_;
  std::function<void(const std::string&)> sendLine_;
  std::function<std::string(const std::string&)> codesToMarkup_;
};

// The preview line for the typed text (already passed through the codes).
std::string PreviewLine(const settings::Settings& settings, const std::string& shownText);

}  // namespace window
