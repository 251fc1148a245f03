#include "markup/markup_parser.h"

#include <algorithm>
#include <array>

#include "markup/picture_registry.h"
#include "text/bytes.h"

namespace markup {

namespace {

using Piece = MarkupLine::Piece;
constexpr int32_t kLinkColor = 0xFF0000;  // pure blue

bool IsLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }

Piece Make(PieceKind kind, int32_t value = 0, std::string text = {}, std::string link = {}) {
  return Piece{kind, std::move(text), std::move(link), value};
}

void MergeAppend(std::vector<Piece>& pieces, std::string_view text) {
  if (text.empty()) return;
  if (!pieces.empty() && pieces.back().kind == PieceKind::Text && pieces.back().link.empty())
    pieces.back().text.append(text);
  else
    pieces.push_back(Make(PieceKind::Text, 0, std::string(text)));
}

void EmitLink(std::vector<Piece>& pieces, std::string shown, std::string target) {
  pieces.push_back(Make(PieceKind::PushColor));
  pieces.push_back(Make(PieceKind::FontColor, kLinkColor));
  pieces.push_back(Make(PieceKind::Text, 0, std::move(shown), std::move(target)));
  pieces.push_back(Make(PieceKind::PopColor));
}

bool IsTrailingPunctuation(char c) {
  switch (c) {
    case '.': case ',': case ')': case '(': case '-': case '!': case '\'': case '"':
    case '[': case ']': case '{': case '}':
      return true;
    default:
      return false;
  }
}

// Plain text outside any link: addresses become links, the rest merges into
// the previous plain piece.  Each pattern's next occurrence is remembered, so
// the scan stays linear in the text's length.
void EmitPlain(std::vector<Piece>& pieces, std::string_view t) {
  static constexpr std::array<std::string_view, 4> kPatterns = {"http:/", "ftp:/", "www.", "ftp."};
  static constexpr std::array<std::string_view, 4> kSchemes = {"", "", "http://", "ftp://"};
  std::array<size_t, 4> next{};
  for (size_t k = 0; k < kPatterns.size(); ++k) next[k] = t.find(kPatterns[k]);
  size_t pos = 0;
  while (pos < t.size()) {
    size_t best = std::string_view::npos;
    size_t kind = 0;
    for (size_t k = 0; k < kPatterns.size(); ++k) {
      if (next[k] != std::string_view::npos && next[k] < pos) next[k] = t.find(kPatterns[k], pos);
      if (next[k] < best) {
        best = next[k];
        kind = k;
      }
    }
    if (best == std::string_view::npos) {
      MergeAppend(pieces, t.substr(pos));
      return;
    }
    MergeAppend(pieces, t.substr(pos, best - pos));
    size_t end = t.find(' ', best);
    if (end == std::string_view::npos) end = t.size();
    while (end > best && IsTrailingPunctuation(t[end - 1])) --end;
    std::string_view address = t.substr(best, end - best);
    if (kind >= 2 && address.size() <= 4)
      MergeAppend(pieces, address);
    else
      EmitLink(pieces, std::string(address), std::string(kSchemes[kind]) + std::string(address));
    pos = end;
  }
}

class Parser {
 public:
  Parser(PictureRegistry* pictures, MarkupLine* user, std::vector<std::string>* urls)
      : pictures_(pictures), user_(user), urls_(urls) {}

  std::vector<Piece> Run(std::string_view s) {
    // About a piece per tag and one for the text after it; a line of
    // thousands of tags grows the vector as it goes.
    const auto tags = static_cast<size_t>(std::count(s.begin(), s.end(), '<'));
    pieces_.reserve(std::min<size_t>(2 * tags + 2, 256));
    size_t i = 0;
    while (i < s.size()) {
      size_t lt = s.find('<', i);
      if (lt != i) {
        size_t end = lt == std::string_view::npos ? s.size() : lt;
        EmitText(DecodeEntities(s.substr(i, end - i)));
        i = end;
        continue;
      }
      size_t gt = s.find('>', i);
      if (gt == std::string_view::npos) {
        EmitText(std::string(s.substr(i)));  // a tag never closed: literal text
        break;
      }
      Tag(DecodeEntities(s.substr(i + 1, gt - i - 1)));
      i = gt + 1;
    }
    return std::move(pieces_);
  }

 private:
  void EmitText(std::string text) {
    if (link_.empty())
      EmitPlain(pieces_, text);
    else if (!text.empty())
      pieces_.push_back(Make(PieceKind::Text, 0, std::move(text), link_));
  }

  int RegisterUrl(const std::string& url) {
    if (urls_) urls_->push_back(url);
    return pictures_ ? pictures_->Register(url, user_) : 0;
  }

  void Tag(const std::string& content) {
    size_t n = 0;
    if (!content.empty() && content[0] == '/') n = 1;
    while (n < content.size() && IsLetter(content[n])) ++n;
    if (n < content.size() && content[n] != ' ' && content[n] != '=') return;
    const std::string_view name = std::string_view(content).substr(0, n);
    const auto is = [name](std::string_view wanted) { return text::EqualsIgnoreCase(name, wanted); };
    const std::string a =
        DecodeEntities(n < content.size() ? std::string_view(content).substr(n + 1) : std::string_view());

    if (is("fcol")) {
      pieces_.push_back(Make(PieceKind::FontColor, ParseColor(a), a));
    } else if (is("bcol")) {
      pieces_.push_back(Make(PieceKind::BackColor, ParseColor(a), a));
    } else if (is("b")) {
      pieces_.push_back(Make(PieceKind::BoldOn, 0, a));
    } else if (is("/b")) {
      pieces_.push_back(Make(PieceKind::BoldOff, 0, a));
    } else if (is("i")) {
      pieces_.push_back(Make(PieceKind::ItalicOn, 0, a));
    } else if (is("/i")) {
      pieces_.push_back(Make(PieceKind::ItalicOff, 0, a));
    } else if (is("a")) {
      pieces_.push_back(Make(PieceKind::PushColor, 0, a));
      pieces_.push_back(Make(PieceKind::FontColor, kLinkColor, a));
      link_ = AttributeValue(a, "href");
    } else if (is("/a")) {
      link_.clear();
      pieces_.push_back(Make(PieceKind::PopColor, 0, a));
    } else if (is("br") || is("nl")) {
      pieces_.push_back(Make(PieceKind::Break, 0, a));
    } else if (is("nobr")) {
      pieces_.push_back(Make(PieceKind::NoBreakOn, 0, a));
    } else if (is("/nobr")) {
      pieces_.push_back(Make(PieceKind::NoBreakOff, 0, a));
    } else if (is("fsize")) {
      auto v = text::ParseInt(a);
      if (v && *v >= 1 && *v <= 29) pieces_.push_back(Make(PieceKind::FontSize, *v, a));
    } else if (is("xpos")) {
      auto v = text::ParseInt(a);
      if (v && *v >= -99 && *v <= 999) pieces_.push_back(Make(PieceKind::XPos, *v, a));
    } else if (is("img")) {
      std::string url = AttributeValue(a, "src");
      if (!url.empty()) pieces_.push_back(Make(PieceKind::Picture, RegisterUrl(url), url, link_));
    } else if (is("pict")) {
      auto v = text::ParseInt(a);
      if (v && *v < 0) pieces_.push_back(Make(PieceKind::Picture, *v, a, link_));
    } else if (is("id")) {
      pieces_.push_back(Make(PieceKind::Id, 0, a));
    } else if (is("link")) {
      LinkTag(a);
    } else {
      EmitText("<" + a + ">");
    }
  }

  // The three "link" forms, chosen by the first character.
  void LinkTag(const std::string& a) {
    if (a.empty()) return;
    const size_t close = a.find(a[0], 1);
    const std::string inner = a.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    const std::string target = close == std::string::npos ? std::string() : a.substr(close + 1);
    if (a[0] == '"') {
      if (close == std::string::npos)
        EmitLink(pieces_, std::string(), a.substr(1));
      else
        EmitLink(pieces_, inner, target);
    } else if (a[0] == '\'') {
      if (a.size() > 1 && (IsDigit(a[1]) || a[1] == '-')) {
        auto v = text::ParseInt(inner);
        if (v && *v < 0) pieces_.push_back(Make(PieceKind::Picture, *v, a, target));
      } else if (!inner.empty()) {
        // An empty URL names no picture (like "img" without "src").
        pieces_.push_back(Make(PieceKind::Picture, RegisterUrl(inner), inner, target));
      }
    }
  }

  PictureRegistry* pictures_;
  MarkupLine* user_;
  std::vector<std::string>* urls_;
  std::vector<Piece> pieces_;
  std::string link_;
};

}  // namespace

// Mirrors Parser::Run and Tag: a tag is "<" up to the next ">"; one that
// holds an entity may spell anything once decoded, so it counts.
bool MayNameUrlPictures(std::string_view s) {
  for (size_t lt = s.find('<'); lt != std::string_view::npos; lt = s.find('<', lt + 1)) {
    const size_t gt = s.find('>', lt);
    if (gt == std::string_view::npos) return false;
    const std::string_view content = s.substr(lt + 1, gt - lt - 1);
    if (content.find('&') != std::string_view::npos) return true;
    size_t n = 0;
    while (n < content.size() && IsLetter(content[n])) ++n;
    const std::string_view name = content.substr(0, n);
    if (text::EqualsIgnoreCase(name, "img")) return true;
    // "link='-4'…" is a program picture, "link='url'…" a URL picture.
    if (text::EqualsIgnoreCase(name, "link") && n + 2 < content.size() && content[n + 1] == '\'' && !IsDigit(content[n + 2]) &&
        content[n + 2] != '-')
      return true;
    lt = gt;
  }
  return false;
}

std::vector<MarkupLine::Piece> ParseMarkup(std::string_view source, PictureRegistry* pictures,
                                        MarkupLine* user, std::vector<std::string>* urls) {
  return Parser(pictures, user, urls).Run(source);
}

std::string DecodeEntities(std::string_view s) {
  if (s.find('&') == std::string_view::npos) return std::string(s);
  std::string out;
  out.reserve(s.size());
  size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c != '&' || i + 1 >= s.size()) {
      out += c;
      ++i;
      continue;
    }
    bool decoded = true;
    if (s[i + 1] == '#') {
      size_t j = i + 2;
      while (j < s.size() && IsDigit(s[j])) ++j;
      const size_t digits = j - (i + 2);
      if (digits == 0) {
        out += "&#";
      } else if (digits > 3) {
        out += '?';
      } else {
        int code = 0;
        for (size_t k = i + 2; k < j; ++k) code = code * 10 + (s[k] - '0');
        out += (code >= 32 && code <= 254) ? static_cast<char>(code) : '?';
      }
      i = j;
    } else if (s[i + 1] >= 'a' && s[i + 1] <= 'z') {
      size_t j = i + 1;
      while (j < s.size() && s[j] >= 'a' && s[j] <= 'z') ++j;
      const std::string_view name = s.substr(i + 1, j - i - 1);
      if (name.starts_with("lt")) {
        out += '<';
        i += 3;
      } else if (name.starts_with("quot")) {
        out += '"';
        i += 5;
      } else {
        out.append(s.substr(i, j - i));
        i = j;
        decoded = false;
      }
    } else {
      out += c;
      ++i;
      decoded = false;
    }
    if (decoded && i < s.size() && s[i] == ';') ++i;
  }
  return out;
}

int32_t ParseColor(std::string_view raw) {
  if (raw.size() < 6) return 0;
  char s[6];
  for (size_t k = 0; k < 6; ++k) s[k] = text::LowerByte(raw[k]);
  int32_t color = 0;
  for (int pair = 0; pair < 3; ++pair) {
    const int p = text::LenientHexDigit(s[2 * pair]) * 16 + text::LenientHexDigit(s[2 * pair + 1]);
    color = color * 256 + p;
  }
  return color;
}

std::string AttributeValue(std::string_view a, std::string_view wanted) {
  size_t i = 0;
  while (i < a.size()) {
    if (a[i] == ' ' || !IsLetter(a[i])) {
      ++i;
      continue;
    }
    const size_t start = i;
    while (i < a.size() && IsLetter(a[i])) ++i;
    const std::string_view word = a.substr(start, i - start);
    while (i < a.size() && a[i] == ' ') ++i;
    if (i >= a.size() || a[i] != '=') continue;
    ++i;
    while (i < a.size() && a[i] == ' ') ++i;
    std::string_view value;
    if (i < a.size() && a[i] == '"') {
      size_t close = a.find('"', i + 1);
      if (close == std::string_view::npos) close = a.size();
      value = a.substr(i + 1, close - i - 1);
      i = close + 1;
    } else {
      size_t close = a.find(' ', i);
      if (close == std::string_view::npos) close = a.size();
      value = a.substr(i, close - i);
      i = close;
    }
    if (text::EqualsIgnoreCase(word, wanted)) return std::string(value);
  }
  return {};
}

std::string DelTags(std::string_view s) {
  static constexpr std::string_view kLinkOpen = "link=\"";
  std::string out;
  int depth = 0;
  // Next quote and next ">" from the current link, remembered so that many
  // unclosed links stay linear.
  size_t nextQuote = 0;
  size_t nextClose = 0;
  for (size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '<') {
      ++depth;
      if (s.substr(i + 1).starts_with(kLinkOpen)) {
        const size_t from = i + 1 + kLinkOpen.size();
        if (nextQuote != std::string_view::npos && nextQuote < from) nextQuote = s.find('"', from);
        if (nextClose != std::string_view::npos && nextClose < from) nextClose = s.find('>', from);
        // The tag ends at its first ">", as the parser reads it: a closing
        // quote beyond that belongs to the text after the tag, which is
        // output on its own, so taking it here would repeat it.
        if (nextQuote != std::string_view::npos && nextQuote < nextClose)
          out.append(s.substr(from, nextQuote - from));
      }
    } else if (c == '>' && depth > 0) {
      --depth;
    } else if (depth <= 0) {
      out += c;
    }
  }
  return out;
}

bool BeginsWith(std::string_view markup, std::string_view prefix) {
  return markup.starts_with(prefix);
}

}  // namespace markup
