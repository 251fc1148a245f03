// The markup parser, DelTags and automatic links: the plain text of a line
// is never longer than its markup.
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "markup/markup_parser.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view markup = fuzz::Bytes(data, size);

  const std::string plain = markup::DelTags(markup);
  FUZZ_CHECK(plain.size() <= markup.size());

  std::vector<std::string> urls;
  const auto pieces = markup::ParseMarkup(markup, nullptr, nullptr, &urls);
  size_t shown = 0;
  size_t urlBytes = 0;
  std::string texts;
  for (const auto& piece : pieces)
    if (piece.kind == markup::PieceKind::Text) {
      shown += piece.text.size();
      texts += piece.text;
    }
  // Plain text with neither tags nor entities is cut into plain pieces and
  // automatic links that together give the text back, byte for byte.
  if (markup.find_first_of("<&") == std::string_view::npos) FUZZ_CHECK(texts == markup);
  for (const auto& url : urls) urlBytes += url.size();
  FUZZ_CHECK(shown <= markup.size());
  FUZZ_CHECK(urlBytes <= markup.size());

  // The other helpers over raw markup.
  (void)markup::DecodeEntities(markup);
  FUZZ_CHECK(markup::DecodeEntities(markup).size() <= markup.size());
  (void)markup::AttributeValue(markup, "href");
  (void)markup::ParseColor(markup);
  return 0;
}
