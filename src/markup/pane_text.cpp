#include "markup/pane_text.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "markup/markup_parser.h"
#include "markup/view_globals.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/fold.h"

namespace markup {

namespace {

std::string PictureText(const MarkupLine::Piece& piece) {
  if (ViewGlobals::OnPictureText) return ViewGlobals::OnPictureText(piece.value, piece.text);
  return piece.value >= 0 ? piece.text : std::string();
}

const std::array<char, 256>& FoldTable() {
  static const std::array<char, 256> table = [] {
    std::array<char, 256> t{};
    // A letter folds to the Latin letter either of its cases looks like,
    // so "в", "В", "B" and "b" are one.
    for (int b = 0; b < 256; ++b) {
      const std::string one(1, static_cast<char>(b));
      const char lower = text::FoldLookAlikes(text::Lower(one))[0];
      const char upper = text::FoldLookAlikes(text::Upper(one))[0];
      const char latin = static_cast<unsigned char>(lower) < 128 ? lower : upper;
      t[b] = static_cast<unsigned char>(latin) < 128 ? text::Lower(std::string(1, latin))[0] : text::Lower(one)[0];
    }
    return t;
  }();
  return table;
}

bool IsWordByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b > 127 || (b >= '0' && b <= '9') || (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || c == '_';
}

// Tags that only format: they add nothing to the text.  Anything else (a
// picture, a break, a tag the parser shows as text) sends the line to the
// exact reading.
bool InvisibleTag(std::string_view tag) {
  size_t n = !tag.empty() && tag[0] == '/' ? 1 : 0;
  char name[8];
  size_t length = 0;
  for (; n < tag.size() && ((tag[n] >= 'a' && tag[n] <= 'z') || (tag[n] >= 'A' && tag[n] <= 'Z')); ++n) {
    if (length == sizeof name) return false;
    name[length++] = static_cast<char>(tag[n] | 0x20);
  }
  if (n < tag.size() && tag[n] != ' ' && tag[n] != '=') return false;
  const std::string_view word(name, length);
  static constexpr std::string_view kFormatting[] = {"fcol", "bcol", "b", "i", "a", "fsize", "xpos", "nobr", "id"};
  for (std::string_view known : kFormatting)
    if (word == known) return tag.find('&') == std::string_view::npos;
  return false;
}

// Whether the line's text may hold bytes its markup does not: a picture
// (its text comes from a hook) or an entity.  Everything else the parser
// shows (text, the shown text of a link, a tag it does not know) is bytes
// of the markup itself.
bool TextNotInSource(std::string_view source) {
  if (std::memchr(source.data(), '&', source.size())) return true;
  const char* const end = source.data() + source.size();
  for (const char* lt = static_cast<const char*>(std::memchr(source.data(), '<', source.size())); lt;
       lt = static_cast<const char*>(std::memchr(lt + 1, '<', static_cast<size_t>(end - lt - 1)))) {
    const std::string_view tag(lt + 1, static_cast<size_t>(end - lt - 1));
    if (tag.empty()) return false;
    const char c = static_cast<char>(tag[0] | 0x20);
    if (c == 'p') return true;                                                     // pict
    if (c == 'i' && tag.size() > 1 && (tag[1] | 0x20) == 'm') return true;         // img
    if (c == 'l' && !(tag.size() > 5 && tag.substr(4, 2) == "=\"")) return true;  // link with a picture
  }
  return false;
}

// The visible bytes of markup folded for search, tags left out, the shown
// text of links kept.  `exact` turns false when the line's real text may
// differ from these bytes (an entity, a tag that is not plain formatting).
void FoldedVisible(std::string_view source, std::string& out, bool& exact) {
  const auto& fold = FoldTable();
  out.clear();
  exact = true;
  for (size_t i = 0; i < source.size(); ++i) {
    const char c = source[i];
    if (c == '<') {
      const size_t gt = source.find('>', i + 1);
      if (gt == std::string_view::npos) {
        exact = false;  // the parser shows an unclosed tag as text
        return;
      }
      const std::string_view tag = source.substr(i + 1, gt - i - 1);
      i = gt;
      if (text::StartsWith(tag, "link=\"")) {
        const size_t close = tag.find('"', 6);
        if (close == std::string_view::npos) {
          exact = false;
          continue;
        }
        for (char shown : tag.substr(6, close - 6)) out.push_back(fold[static_cast<unsigned char>(shown)]);
        continue;
      }
      if (!InvisibleTag(tag)) exact = false;
      continue;
    }
    if (c == '&') exact = false;
    out.push_back(fold[static_cast<unsigned char>(c)]);
  }
}

// The two bytes of the needle least likely in chat text, each with every
// byte that folds to it: a line lacking all forms of either cannot match,
// which memchr tells fast.
struct Probe {
  std::vector<std::vector<char>> variants;
};

int Commonness(unsigned char folded) {
  static const std::string latin = "etaoinshrdlcumwfgypbvkjxqz";
  static const std::string cyrillic = text::Lower(text::FoldLookAlikes(text::Lower(
      text::W("оеаинтсрвлкмдпуяыьгзбчйхжшюцщэфъё"))));
  if (folded == ' ') return 100;
  if (const size_t at = cyrillic.find(static_cast<char>(folded)); folded >= 0x80 && at != std::string::npos)
    return 60 - static_cast<int>(at);
  if (const size_t at = latin.find(static_cast<char>(folded)); at != std::string::npos)
    return 60 - static_cast<int>(at) * 2;
  if (folded >= '0' && folded <= '9') return 40;
  if (folded != 0 && std::strchr(".,-:;!?()\"'", static_cast<char>(folded))) return 55;
  return 25;
}

Probe RarestBytes(const std::string& folded) {
  const auto& fold = FoldTable();
  std::string distinct;
  for (char c : folded)
    if (distinct.find(c) == std::string::npos) distinct.push_back(c);
  std::stable_sort(distinct.begin(), distinct.end(), [](char a, char b) {
    return Commonness(static_cast<unsigned char>(a)) < Commonness(static_cast<unsigned char>(b));
  });
  Probe probe;
  for (size_t k = 0; k < distinct.size() && k < 2; ++k) {
    std::vector<char> forms;
    for (int b = 0; b < 256; ++b)
      if (fold[b] == distinct[k]) forms.push_back(static_cast<char>(b));
    probe.variants.push_back(std::move(forms));
  }
  return probe;
}

bool HoldsAnyOf(std::string_view source, const std::vector<char>& forms) {
  for (char b : forms)
    if (std::memchr(source.data(), b, source.size())) return true;
  return false;
}

std::vector<size_t> LineMatches(MarkupDocument& document, size_t index, const std::string& folded,
                                const Probe& probe) {
  const MarkupLine& line = *document.lines()[index];
  if (line.hidden) return {};
  const std::string_view source = line.source;
  if (!TextNotInSource(source)) {
    // Every byte of the text is a byte of the markup: without any form of
    // the probe byte there is no match; with one, the visible bytes tell.
    for (const std::vector<char>& forms : probe.variants)
      if (!HoldsAnyOf(source, forms)) return {};
    static thread_local std::string visible;
    bool exact = true;
    FoldedVisible(source, visible, exact);
    if (exact && visible.find(folded) == std::string::npos) return {};
  }
  return MatchesIn(PlainLineText(document.PiecesAt(index)).text, folded);
}

}  // namespace

LineText PlainLineText(const std::vector<MarkupLine::Piece>& pieces) {
  LineText out;
  out.pieceStart.reserve(pieces.size());
  for (const MarkupLine::Piece& p : pieces) {
    out.pieceStart.push_back(out.text.size());
    if (p.kind == PieceKind::Text)
      out.text += p.text;
    else if (p.kind == PieceKind::Picture)
      out.text += PictureText(p);
    else if (p.kind == PieceKind::Break)
      out.text += '\n';
  }
  return out;
}

namespace {

// The text span of a box: [first, second).
std::pair<size_t, size_t> BoxSpan(const PlacedBox& box, const LineText& text) {
  const size_t start = box.piece < static_cast<int>(text.pieceStart.size()) ? text.pieceStart[box.piece] : 0;
  if (!box.picture) return {start + box.begin, start + box.end};
  const size_t next = box.piece + 1 < static_cast<int>(text.pieceStart.size()) ? text.pieceStart[box.piece + 1]
                                                                                : text.text.size();
  return {start, next};
}

int WidthOf(TextMeasurer& measurer, const PlacedBox& box, const LineText& text, size_t from, size_t to) {
  if (to <= from) return 0;
  return measurer.Width(box.font, std::string_view(text.text).substr(from, to - from));
}

}  // namespace

size_t OffsetAt(const MarkupDocument::Placement& placement, const LineText& text, TextMeasurer& measurer, int x,
                int y) {
  const auto& boxes = placement.boxes;
  if (boxes.empty()) return 0;
  if (y < boxes.front().top) return 0;
  // The boxes of the visual line at y; below every row: the end.
  const PlacedBox* first = nullptr;
  const PlacedBox* last = nullptr;
  for (const PlacedBox& b : boxes) {
    if (y >= b.top && y < b.top + b.height) {
      if (!first) first = &b;
      last = &b;
    }
  }
  if (!first) return text.text.size();
  if (x < first->x) return BoxSpan(*first, text).first;
  for (const PlacedBox* b = first; b <= last; ++b) {
    if (x >= b->x + b->width) continue;
    const auto [from, to] = BoxSpan(*b, text);
    if (b->picture) return x < b->x + b->width / 2 ? from : to;
    // The gap whose position is closest to x.
    const int dx = x - b->x;
    int before = 0;
    for (size_t k = from; k < to; ++k) {
      const int after = WidthOf(measurer, *b, text, from, k + 1);
      if (dx < (before + after) / 2) return k;
      before = after;
    }
    return to;
  }
  return BoxSpan(*last, text).second;
}

std::vector<TextRect> RangeRects(const MarkupDocument::Placement& placement, const LineText& text,
                                 TextMeasurer& measurer, size_t from, size_t to) {
  std::vector<TextRect> rects;
  if (to <= from) return rects;
  for (const PlacedBox& b : placement.boxes) {
    const auto [start, end] = BoxSpan(b, text);
    const size_t a = std::max(from, start), z = std::min(to, end);
    if (a >= z && !(b.picture && from <= start && to >= end && start == end)) continue;
    if (b.picture) {
      rects.push_back({b.x, b.top, b.width, b.height});
      continue;
    }
    const int x0 = b.x + WidthOf(measurer, b, text, start, a);
    const int x1 = b.x + WidthOf(measurer, b, text, start, z);
    rects.push_back({x0, b.top, std::max(x1 - x0, 1), b.height});
  }
  return rects;
}

std::pair<size_t, size_t> WordAt(std::string_view text, size_t offset) {
  if (text.empty()) return {0, 0};
  offset = std::min(offset, text.size() - 1);
  if (!IsWordByte(text[offset])) return {offset, offset + 1};
  size_t from = offset, to = offset;
  while (from > 0 && IsWordByte(text[from - 1])) --from;
  while (to < text.size() && IsWordByte(text[to])) ++to;
  return {from, to};
}

char SearchFoldByte(char c) { return FoldTable()[static_cast<unsigned char>(c)]; }

std::string SearchFold(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = SearchFoldByte(c);
  return out;
}

std::vector<size_t> MatchesIn(std::string_view text, std::string_view foldedNeedle) {
  std::vector<size_t> out;
  if (foldedNeedle.empty() || text.size() < foldedNeedle.size()) return out;
  const std::string folded = SearchFold(text);
  for (size_t at = folded.find(foldedNeedle); at != std::string::npos;
       at = folded.find(foldedNeedle, at + foldedNeedle.size()))
    out.push_back(at);
  return out;
}

std::optional<TextMatch> FindInDocument(MarkupDocument& document, std::string_view needle, TextPoint from,
                                        bool forward) {
  const size_t count = document.LineCount();
  const std::string folded = SearchFold(needle);
  if (count == 0 || folded.empty()) return std::nullopt;
  from.line = std::min(from.line, count - 1);
  const Probe probe = RarestBytes(folded);
  // The starting line is looked at twice: after `from` first, and before
  // it once the search has come round.
  for (size_t step = 0; step <= count; ++step) {
    const size_t index = forward ? (from.line + step) % count : (from.line + count - step % count) % count;
    const std::vector<size_t> hits = LineMatches(document, index, folded, probe);
    if (hits.empty()) continue;
    if (forward) {
      for (size_t at : hits)
        if (step > 0 || at >= from.offset) return TextMatch{{index, at}, folded.size()};
    } else {
      for (auto it = hits.rbegin(); it != hits.rend(); ++it)
        if (step > 0 || *it < from.offset) return TextMatch{{index, *it}, folded.size()};
    }
  }
  return std::nullopt;
}

std::string TextBetween(MarkupDocument& document, TextPoint from, TextPoint to) {
  if (to < from) std::swap(from, to);
  std::string out;
  const size_t count = document.LineCount();
  for (size_t i = from.line; i <= to.line && i < count; ++i) {
    if (document.lines()[i]->hidden) continue;
    const std::string line = PlainLineText(document.PiecesAt(i)).text;
    const size_t a = i == from.line ? std::min(from.offset, line.size()) : 0;
    const size_t z = i == to.line ? std::min(to.offset, line.size()) : line.size();
    if (!out.empty() || i > from.line) out += '\n';
    if (z > a) out += line.substr(a, z - a);
  }
  return out;
}

}  // namespace markup
