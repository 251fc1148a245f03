#include "chat/desktop_notices.h"

#include "markup/markup_parser.h"
#include "settings/settings.h"
#include "text/cp1251.h"

namespace window {

DesktopNotices::DesktopNotices(const settings::Settings& settings, NoticeSink& sink)
    : settings_(settings), sink_(sink) {}

void DesktopNotices::Arrived(NoticeKind kind, const std::string& sender, const std::string& text, bool windowActive) {
  if (windowActive) return;
  if (kind != NoticeKind::Personal && settings_.TrayIcon) sink_.ShowWaiting(++waiting_);
  if (settings_.Notifications) sink_.ShowNotice(Title(kind, sender), Body(text));
}

void DesktopNotices::WindowActivated() {
  if (waiting_ == 0) return;
  waiting_ = 0;
  sink_.ShowWaiting(0);
}

std::string DesktopNotices::Title(NoticeKind kind, const std::string& sender) const {
  const bool ru = settings_.RussianInterface;
  const char* lead = "";
  switch (kind) {
    case NoticeKind::Private: lead = ru ? "Личное сообщение: " : "Private message: "; break;
    case NoticeKind::Personal: lead = ru ? "Сообщение для вас: " : "Message for you: "; break;
    case NoticeKind::GameInvitation: lead = ru ? "Приглашение в игру: " : "Game invitation: "; break;
  }
  return lead + text::Cp1251ToUtf8(sender);
}

std::string DesktopNotices::Body(const std::string& text) {
  // Line breaks of the markup part words as a blank does.
  std::string spaced;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '<' && i + 3 < text.size() && (text[i + 1] | 0x20) == 'b' && (text[i + 2] | 0x20) == 'r' &&
        (text[i + 3] == '>' || text[i + 3] == ' ' || text[i + 3] == '/'))
      spaced += ' ';
    spaced += text[i];
  }
  std::string plain = markup::DelTags(spaced);
  // Blanks and line breaks collapse, so the cut keeps words, not layout.
  std::string collapsed;
  for (char c : plain) {
    const bool blank = c == ' ' || c == '\t' || c == '\r' || c == '\n';
    if (blank && (collapsed.empty() || collapsed.back() == ' ')) continue;
    collapsed += blank ? ' ' : c;
  }
  while (!collapsed.empty() && collapsed.back() == ' ') collapsed.pop_back();
  // One byte is one character in Windows-1251.
  if (collapsed.size() > kBodyCharacters) collapsed = collapsed.substr(0, kBodyCharacters) + "\x85";
  return text::Cp1251ToUtf8(collapsed);
}

}  // namespace window
