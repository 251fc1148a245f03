#pragma once
// Turning archive lines into markup for the archive viewer's pane: the
// stored lines of private.arc ("time stamp¦#bg¦#fg¦entry") and the lines of
// a public archive page ("number¦unused¦bg¦fg¦entry").  Texts are
// Windows-1251.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace media {

// One line for the viewer's pane: the window adds it with the pane's
// NewString(markup, fontColor, backColor).  Colours are 0x00BBGGRR values.
struct ViewLine {
  std::string markup;
  uint32_t fontColor = 0x000000;
  uint32_t backColor = 0xFFFFFF;
  bool operator==(const ViewLine&) const = default;
};

// The smiley and picture code conversion of received text, passed in by
// whoever owns the smiley table.
using CodeConverter = std::function<std::string(const std::string&)>;

// A private archive line (a trailing CR dropped) as shown: the time stamp in
// italics, then a received message with its sender as a link, or a sent one
// with its recipient as a link; anything else unchanged in white on red.
// Whatever follows a further "¦" in the entry is cut off.
ViewLine FormatPrivateArchiveLine(std::string_view stored, const CodeConverter& codes);

// A public archive line: its tag (first field modulo 100) and lead, the
// bold sender name as a link "Для name(tag):", red when the text names
// `userName`, green when the sender is `userName`, then the text in its
// colours.
ViewLine FormatPublicArchiveLine(std::string_view line, const std::string& userName,
                                 const CodeConverter& codes);

// Every non-empty line of a downloaded public archive body, in order.
std::vector<ViewLine> FormatPublicArchive(std::string_view body, const std::string& userName,
                                          const CodeConverter& codes);

// A colour field of an archive line: "white", "black" or a wire colour
// "#RRGGBB" (case and surrounding blanks do not matter); a field too short
// for a wire colour gives `fallback`.
uint32_t ArchiveColor(std::string_view field, uint32_t fallback);

// Six upper-case hexadecimal digits of a colour value, as markup writes it.
std::string MarkupColor(uint32_t color);

}  // namespace media
