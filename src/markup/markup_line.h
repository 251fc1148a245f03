#pragma once
// One logical line of markup as a view holds it.  The markup text (`source`)
// is the authority; pieces are parsed from it whenever they are needed, so a
// line keeps only its text, its position and its per-visual-line metrics.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace markup {

class MarkupDocument;

// Stored values; the numbers must not change.
enum class PieceKind : uint8_t {
  Text = 0,
  BoldOn = 1,
  BoldOff = 2,
  ItalicOn = 3,
  ItalicOff = 4,
  Picture = 5,
  Id = 6,
  FontColor = 7,
  BackColor = 8,
  FontSize = 9,
  XPos = 10,
  Break = 11,
  NoBreakOn = 12,
  NoBreakOff = 13,
  PushColor = 14,
  PopColor = 15,
};

class MarkupLine {
 public:
  struct Piece {
    PieceKind kind = PieceKind::Text;
    std::string text;  // shown text, identifier or picture URL
    std::string link;  // link target; empty: not a link
    int32_t value = 0; // color, font size, x position or picture number
    bool operator==(const Piece&) const = default;
  };

  // One occurrence of an animated picture in this line.  The animation code
  // derives from it; the line owns its records and destroys them when it is
  // replaced or destroyed.
  struct AnimData {
    virtual ~AnimData() = default;
    // Stop (true) or run (false) the occurrence's timer.
    virtual void StartOrStop(bool /*stop*/) {}
    int key = 0;  // index among the line's picture pieces
    int x = 0;
    int y = 0;
    int32_t background = 0;
    int frame = 0;
  };

  MarkupLine(MarkupDocument* owner, int32_t top);
  ~MarkupLine();
  MarkupLine(const MarkupLine&) = delete;
  MarkupLine& operator=(const MarkupLine&) = delete;

  // source += markup, then the filter state is brought up to date.
  void Append(const std::string& markup);
  // The line's markup becomes `markup`; its animation records go away.  The
  // new pictures are registered before the old ones are released, so a
  // picture named by both keeps its download.  `hidden` is not recomputed.
  void Replace(const std::string& markup);
  // The pieces of the current markup.  Every URL picture is registered with
  // this line as a user.
  std::vector<Piece> Parse();
  // hidden := the owner's filter is active and its text does not occur in
  // the markup.
  void UpdateHidden();
  // Called by the picture registry when a picture this line names got its
  // real size: the owner lays out again from this line.
  void PictureReady();
  // The markup names a URL picture (registered with the picture source).
  bool NamesUrlPictures() const { return namesUrlPictures_; }

  std::string source;
  bool hidden = false;
  MarkupDocument* owner = nullptr;
  int32_t top = 0;
  // Rows the line takes when shown.  Exact when layoutStamp equals the
  // owner's (laid out since the last change of the line or of the layout);
  // otherwise the height of its last layout, or an estimate, or -1 before
  // either.  A hidden line takes no rows whatever this says.
  int32_t height = -1;
  uint32_t layoutStamp = 0;
  // What a layout leaves in the line: one ascent and one descent per
  // visual (wrapped) line, always the same length, and the state of its
  // animated pictures.  Held in a block of its own, made on first use, so
  // that a line that gave its layout up (ReleaseLayout) keeps none of it.
  // The const forms never make the block: without one they read empty.
  std::vector<int32_t>& Ascents() { return Laid().ascents; }
  std::vector<int32_t>& Descents() { return Laid().descents; }
  std::vector<std::unique_ptr<AnimData>>& Anims() { return Laid().anims; }
  const std::vector<int32_t>& Ascents() const { return laid_ ? laid_->ascents : NoLayout().ascents; }
  const std::vector<int32_t>& Descents() const { return laid_ ? laid_->descents : NoLayout().descents; }
  const std::vector<std::unique_ptr<AnimData>>& Anims() const { return laid_ ? laid_->anims : NoLayout().anims; }
  bool HasLayout() const { return laid_ != nullptr; }
  void ReleaseLayout() { laid_.reset(); }

 private:
  struct Layout {
    std::vector<int32_t> ascents;
    std::vector<int32_t> descents;
    std::vector<std::unique_ptr<AnimData>> anims;
  };
  Layout& Laid() {
    if (!laid_) laid_ = std::make_unique<Layout>();
    return *laid_;
  }
  static const Layout& NoLayout() {
    static const Layout empty;
    return empty;
  }
  void ReleasePictures();
  std::unique_ptr<Layout> laid_;
  bool namesUrlPictures_ = false;
};

}  // namespace markup
