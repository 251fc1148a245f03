#pragma once
// A pane read back as text: the plain text of a line (what copying, finding
// and screen readers see), positions in it, where they were placed on the
// screen, words, and a case- and look-alike-insensitive search over a whole
// document.  No widgets: selection and the find bar build on it.
#include <compare>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "markup/markup_document.h"

namespace markup {

// The text of one line: text pieces as shown, a picture as the text the
// picture hook gives (a smiley's code, a picture's address), a line break
// as "\n".  Windows-1251.
struct LineText {
  std::string text;
  std::vector<size_t> pieceStart;  // where each piece's text begins in `text`
};
LineText PlainLineText(const std::vector<MarkupLine::Piece>& pieces);

// A place in a document's text: before byte `offset` of line `line`.
struct TextPoint {
  size_t line = 0;
  size_t offset = 0;
  auto operator<=>(const TextPoint&) const = default;
};

struct TextRect {
  int x = 0, y = 0, width = 0, height = 0;  // content coordinates
};

// The offset nearest to content point (x, y) of a placed line: on a
// fragment, the gap between characters closest to x; beside a visual line,
// its start or end; above or below the line, its start or end.
size_t OffsetAt(const MarkupDocument::Placement& placement, const LineText& text, TextMeasurer& measurer, int x,
                int y);
// Rectangles covering offsets [from, to) of a placed line.
std::vector<TextRect> RangeRects(const MarkupDocument::Placement& placement, const LineText& text,
                                 TextMeasurer& measurer, size_t from, size_t to);
// The word around `offset`: letters and digits (any byte above 127 counts
// as a letter); an offset between words selects the one character there.
std::pair<size_t, size_t> WordAt(std::string_view text, size_t offset);

// Search folding: case ignored for Latin and Cyrillic letters, Cyrillic
// letters that look Latin taken as those.
char SearchFoldByte(char c);
std::string SearchFold(std::string_view s);

// Offsets of every match of `foldedNeedle` in `text` (not overlapping).
std::vector<size_t> MatchesIn(std::string_view text, std::string_view foldedNeedle);

struct TextMatch {
  TextPoint at;
  size_t length = 0;
};
// The next match of `needle` after `from` (forward) or the previous one
// before it, wrapping around the document once; hidden (filtered) lines are
// skipped.  A line is parsed only when its markup may hold the text, so a
// search over a million lines reads each line's markup once.
std::optional<TextMatch> FindInDocument(MarkupDocument& document, std::string_view needle, TextPoint from,
                                        bool forward);

// The plain text between two points of a document, lines joined by "\n".
std::string TextBetween(MarkupDocument& document, TextPoint from, TextPoint to);

}  // namespace markup
