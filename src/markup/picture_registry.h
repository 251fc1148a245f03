#pragma once
// The picture registry: URL pictures named by markup lines ("img" and the
// single-quote "link" form) get positive numbers, 1, 2, 3, ... in order of
// first use, and the same URL keeps its number.
//
// The parser calls Register for every URL picture it meets, passing the line
// that names it; Release undoes that when the line is replaced or destroyed.
// Layout asks for Width/Height (20 x 20 until the picture is loaded) and
// IsAnimated; painting calls Draw.  When a picture's real size becomes known
// the registry calls MarkupLine::PictureReady() on each waiting user line, which
// makes the line's view lay out again from that line.
//
// Animated pictures (IsAnimated true) are not drawn by Draw: layout calls
// PlaceOccurrence and painting PaintOccurrence with the picture's index among
// the line's picture pieces, so each occurrence can keep its own frame in the
// line's `Anims()` list.
//
// One registry serves the whole process (ProcessPictureRegistry()); until the picture
// loader installs itself with InstallPictureRegistry a NumberingPictureRegistry
// is used, which only hands out numbers and draws placeholders.
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace markup {

class MarkupLine;
class MarkupCanvas;

enum class PictureState {
  Pending,  // still downloading or decoding: dotted 20 x 20 square
  Failed,   // decoded without result: dotted square with a red cross
  Loaded,
};

class PictureRegistry {
 public:
  virtual ~PictureRegistry() = default;

  // Number of the picture at `url` (always > 0); `user` becomes one of the
  // lines waiting for its real size.  Calling it again for the same line and
  // URL changes nothing.  It is called while lines are parsed, laid out and
  // painted, so it must never call back into a line or view synchronously
  // (PictureReady comes later, from the event loop).
  virtual int Register(const std::string& url, MarkupLine* user) = 0;
  // `user` no longer names `url`.
  virtual void Release(const std::string& url, MarkupLine* user) = 0;

  virtual int Width(int number) const = 0;
  virtual int Height(int number) const = 0;
  virtual PictureState State(int number) const = 0;
  virtual bool IsAnimated(int /*number*/) const { return false; }
  // Top-left corner at (x, y).
  virtual void Draw(int number, MarkupCanvas& canvas, int x, int y) const = 0;

  // Animation occurrences (only for pictures that are animated).
  virtual void PlaceOccurrence(MarkupLine& /*line*/, int /*number*/, int /*key*/, int /*x*/,
                               int /*y*/, int32_t /*background*/) {}
  virtual void PaintOccurrence(MarkupLine& /*line*/, int /*key*/, int /*x*/, int /*y*/,
                               MarkupCanvas& /*canvas*/) {}

  // Every picture that did not load starts loading again.
  virtual void RefreshFailed() {}
  // The last view went away: cancel every download.
  virtual void StopDownloads() {}
  virtual void LoadCacheIndex(const std::string& /*indexFile*/, const std::string& /*folder*/) {}
  virtual void ClearCache() {}
};

// The process-wide registry.
PictureRegistry& ProcessPictureRegistry();
// Makes `registry` the process-wide one (nullptr goes back to the built-in
// numbering registry).  The caller keeps ownership.
void InstallPictureRegistry(PictureRegistry* registry);

// Draws the placeholder of a picture that is not loaded: a black dotted
// 20 x 20 square, with a small red cross when loading failed.
void DrawPicturePlaceholder(MarkupCanvas& canvas, int x, int y, bool failed);

// Numbers URLs and tracks their users; every picture stays a pending 20 x 20
// placeholder.
class NumberingPictureRegistry : public PictureRegistry {
 public:
  int Register(const std::string& url, MarkupLine* user) override;
  void Release(const std::string& url, MarkupLine* user) override;
  int Width(int number) const override;
  int Height(int number) const override;
  PictureState State(int number) const override;
  void Draw(int number, MarkupCanvas& canvas, int x, int y) const override;

  // Lines currently naming `url`.
  size_t UserCount(const std::string& url) const;
  // 0 when `url` was never registered.
  int NumberOf(const std::string& url) const;

 private:
  std::map<std::string, int> numbers_;
  std::map<int, std::vector<MarkupLine*>> users_;
  int lastNumber_ = 0;
};

// A URL wrapped in one pair of double quotes loses them.
std::string UnquoteUrl(const std::string& url);

}  // namespace markup
