#include "chat/sending.h"

#include <algorithm>

#include "session/session_texts.h"
#include "markup/markup_document.h"
#include "settings/settings.h"
#include "session/acknowledgements.h"
#include "wire/wire.h"
#include "text/cp1251.h"

namespace window {

bool AddresseeList::Add(const std::string& name) {
  if (std::find(names_.begin(), names_.end(), name) != names_.end()) return false;
  names_.push_back(name);
  return true;
}

void AddresseeList::RemoveAll(const std::string& name) {
  names_.erase(std::remove(names_.begin(), names_.end(), name), names_.end());
}

std::string AddresseeList::Joined() const {
  std::string joined;
  for (const std::string& n : names_) {
    if (!joined.empty()) joined += ',';
    joined += n;
  }
  return joined;
}

void AddresseeList::Show(markup::MarkupDocument& towhom) const {
  towhom.BeginUpdate();
  towhom.Clear();
  towhom.NewString("", 0x000000, 0xFFFFFF);
  for (const std::string& n : names_) {
    towhom.AddLink(n, n);
    towhom.AddString(" ");
  }
  towhom.EndUpdate(true);
}

std::string WithoutLineBreaks(std::string text) {
  for (char& c : text)
    if (c == '\r' || c == '\n') c = ' ';
  return text;
}

std::string TypedText(const std::string& enterText) {
  return WithoutLineBreaks(wire::ReplaceChar(enterText, wire::kBrokenBar, '|'));
}

std::string ChatMessageLine(const std::string& addressees, const std::string& text, const std::string& number) {
  wire::RecordWriter w;
  if (!addressees.empty()) w.Escaped("Cln", addressees);
  return w.Escaped("Mess", text).Raw("Mid", number).Line();
}

MessageSender::MessageSender(settings::Settings& settings, session::Acknowledgements& acks,
                             markup::MarkupDocument& priv, std::function<void(const std::string&)> sendLine,
                             std::function<std::string(const std::string&)> codesToMarkup)
    : settings_(settings),
      acks_(acks),
      priv_(priv),
      sendLine_(std::move(sendLine)),
      codesToMarkup_(std::move(codesToMarkup)) {}

void MessageSender::SendChatMessage(const std::string& addressees, std::string text, bool show) {
  text = WithoutLineBreaks(std::move(text));
  if (!addressees.empty()) text = wire::ReplaceChar(text, '|', '!');
  const std::string number = std::to_string(settings_.TakeAckID());
  const std::string decoded = wire::UnescapeField(addressees);
  acks_.Add({text, number, decoded});
  sendLine_(ChatMessageLine(addressees, text, number));
  if (!show || decoded.empty()) return;
  priv_.NewString("<id=" + number + "><pict=-15>" + text::Shown(session::texts::kSentTo) + "<link=\"" + decoded + "\"" +
                      text::W("Для ") + decoded + ":>) ",
                  0x000000, 0xFFFFFF);
  priv_.SetColor(wire::ColorSettingToValue(settings_.TextColor),
                 wire::ColorSettingToValue(settings_.BackColor));
  priv_.AddString(codesToMarkup_(text));
}

std::string PreviewLine(const settings::Settings& settings, const std::string& shownText) {
  return "<fcol=" + settings.TextColor + "><bcol=" + settings.BackColor + ">" + shownText;
}

}  // namespace window
