#pragma once
// The tag language: tokenising markup into pieces, entities, colors,
// attribute lists, automatic links, and the two functions over raw markup.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "markup/markup_line.h"

namespace markup {

class PictureRegistry;

// Pieces of one line's markup.  URL pictures are registered with `pictures`
// (none: numbered 0, for callers that only look at text) with `user` as the
// naming line; their URLs are appended to `urls` when given.
std::vector<MarkupLine::Piece> ParseMarkup(std::string_view source, PictureRegistry* pictures,
                                        MarkupLine* user, std::vector<std::string>* urls = nullptr);

// False only when parsing `markup` registers no URL picture: it has no
// "img" tag and no "link" tag with a quoted picture.  Cheaper than parsing.
bool MayNameUrlPictures(std::string_view markup);

// Numeric entities "&#n;", "&lt;" and "&quot;"; everything else is copied.
std::string DecodeEntities(std::string_view text);

// Six hexadecimal digits, blue-green-red, to a color value 0x00BBGGRR;
// fewer than six characters give black.
int32_t ParseColor(std::string_view text);

// Value of attribute `name` in a list like `href="x" target=y`; empty when
// the list does not have it.
std::string AttributeValue(std::string_view attributes, std::string_view name);

// The visible text of markup: tags removed, the shown text of double-quote
// "link" tags kept, entities left as they are.
std::string DelTags(std::string_view markup);

// Byte-for-byte prefix test; an empty prefix always matches.
bool BeginsWith(std::string_view markup, std::string_view prefix);

}  // namespace markup
