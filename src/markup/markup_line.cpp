#include "markup/markup_line.h"

#include <algorithm>

#include "markup/markup_document.h"
#include "markup/markup_parser.h"
#include "markup/picture_registry.h"

namespace markup {

MarkupLine::MarkupLine(MarkupDocument* owner_, int32_t top_) : owner(owner_), top(top_) {}

MarkupLine::~MarkupLine() {
  if (laid_) laid_->anims.clear();
  if (owner) owner->LineDestroyed(*this);
  if (namesUrlPictures_) ReleasePictures();
}

void MarkupLine::Append(const std::string& markup) {
  // Appending never changes an identifier prefix that is already complete.
  const bool hadIdPrefix = !MarkupDocument::IdPrefix(source).empty();
  source += markup;
  layoutStamp = 0;
  if (owner && !hadIdPrefix) owner->IdPrefixChanged({}, MarkupDocument::IdPrefix(source));
  UpdateHidden();
  // Parsed now only to register URL pictures, whose downloads start at
  // once; a line without any is parsed when it is laid out.
  if (!MayNameUrlPictures(source)) return;
  if (owner) owner->RememberPieces(*this, Parse());
  else Parse();
}

void MarkupLine::Replace(const std::string& markup) {
  if (laid_) laid_->anims.clear();
  std::vector<std::string> oldUrls;
  if (namesUrlPictures_) ParseMarkup(source, nullptr, nullptr, &oldUrls);
  if (owner) {
    const std::string before(MarkupDocument::IdPrefix(source));
    owner->IdPrefixChanged(before, MarkupDocument::IdPrefix(markup));
  }
  source = markup;
  layoutStamp = 0;
  namesUrlPictures_ = false;
  std::vector<std::string> newUrls;
  PictureRegistry& registry = owner ? owner->PictureSource() : ProcessPictureRegistry();
  auto pieces = ParseMarkup(source, &registry, this, &newUrls);
  namesUrlPictures_ = !newUrls.empty();
  if (!oldUrls.empty()) {
    std::sort(oldUrls.begin(), oldUrls.end());
    oldUrls.erase(std::unique(oldUrls.begin(), oldUrls.end()), oldUrls.end());
    for (const auto& url : oldUrls)
      if (std::find(newUrls.begin(), newUrls.end(), url) == newUrls.end()) registry.Release(url, this);
  }
  if (owner) owner->RememberPieces(*this, std::move(pieces));
}

std::vector<MarkupLine::Piece> MarkupLine::Parse() {
  std::vector<std::string> urls;
  PictureRegistry& registry = owner ? owner->PictureSource() : ProcessPictureRegistry();
  auto pieces = ParseMarkup(source, &registry, this, &urls);
  if (!urls.empty()) namesUrlPictures_ = true;
  return pieces;
}

void MarkupLine::UpdateHidden() {
  const bool now = owner && owner->FilterActive() && source.find(owner->Filter()) == std::string::npos;
  if (now == hidden) return;
  hidden = now;
  if (laid_)
    for (auto& anim : laid_->anims) anim->StartOrStop(hidden);
}

void MarkupLine::PictureReady() {
  if (owner) owner->ReSetCoordinates(this);
}

void MarkupLine::ReleasePictures() {
  std::vector<std::string> urls;
  ParseMarkup(source, nullptr, nullptr, &urls);
  PictureRegistry& registry = owner ? owner->PictureSource() : ProcessPictureRegistry();
  for (const auto& url : urls) registry.Release(url, this);
}

}  // namespace markup
