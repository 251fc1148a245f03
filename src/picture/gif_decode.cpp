#include "picture/gif_decode.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>

namespace picture {
namespace {

struct MemoryInput {
  std::string_view bytes;
  size_t at = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* into, int wanted) {
  auto* in = static_cast<MemoryInput*>(gif->UserData);
  size_t n = std::min(size_t(std::max(wanted, 0)), in->bytes.size() - in->at);
  std::memcpy(into, in->bytes.data() + in->at, n);
  in->at += n;
  return int(n);
}

struct GifCloser {
  void operator()(GifFileType* gif) const {
    int error = 0;
    DGifCloseFile(gif, &error);
  }
};
using GifHandle = std::unique_ptr<GifFileType, GifCloser>;

std::vector<QRgb> Palette(const ColorMapObject* map) {
  std::vector<QRgb> colors;
  if (!map || !map->Colors || map->ColorCount <= 0) return colors;
  colors.reserve(size_t(map->ColorCount));
  for (int i = 0; i < map->ColorCount; ++i)
    colors.push_back(qRgb(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue));
  return colors;
}

// Rows of an interlaced image arrive in four passes.
std::vector<int> RowOrder(int height, bool interlaced) {
  std::vector<int> rows;
  rows.reserve(size_t(height));
  if (!interlaced) {
    for (int y = 0; y < height; ++y) rows.push_back(y);
    return rows;
  }
  static const int kStart[] = {0, 4, 2, 1};
  static const int kStep[] = {8, 8, 4, 2};
  for (int pass = 0; pass < 4; ++pass)
    for (int y = kStart[pass]; y < height; y += kStep[pass]) rows.push_back(y);
  return rows;
}

// Consumes the image data of a frame that has no pixels at all.
bool SkipImageData(GifFileType* gif) {
  int codeSize = 0;
  GifByteType* block = nullptr;
  if (DGifGetCode(gif, &codeSize, &block) != GIF_OK) return false;
  while (block)
    if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
  return true;
}

bool ReadFrame(GifFileType* gif, const GraphicsControlBlock& control, GifData& out) {
  const GifImageDesc& desc = gif->Image;
  const int64_t declared = int64_t(desc.Width) * desc.Height;
  if (declared > kMaxPicturePixels) return false;

  GifFrame frame;
  frame.palette = Palette(desc.ColorMap ? desc.ColorMap : gif->SColorMap);
  if (frame.palette.empty()) return false;
  frame.disposal = control.DisposalMode;
  frame.delayMs = control.DelayTime * 10;
  frame.transparent = control.TransparentColor;
  const QRect declaredRect(desc.Left, desc.Top, desc.Width, desc.Height);
  const QRect screen(0, 0, out.width, out.height);
  frame.rect = declaredRect.intersected(screen);
  frame.indices.assign(size_t(frame.rect.width()) * size_t(frame.rect.height()), 0);

  if (declared == 0) {
    if (!SkipImageData(gif)) return false;
    out.frames.push_back(std::move(frame));
    return true;
  }
  std::vector<GifPixelType> line(size_t(desc.Width));
  const size_t colors = frame.palette.size();
  for (int row : RowOrder(desc.Height, desc.Interlace)) {
    if (DGifGetLine(gif, line.data(), desc.Width) != GIF_OK) return false;
    for (GifPixelType index : line)
      if (index >= colors) return false;
    const int y = desc.Top + row;
    if (y < frame.rect.top() || y > frame.rect.bottom()) continue;
    uint8_t* dest = frame.indices.data() + size_t(y - frame.rect.top()) * size_t(frame.rect.width());
    std::memcpy(dest, line.data() + (frame.rect.left() - desc.Left), size_t(frame.rect.width()));
  }
  out.frames.push_back(std::move(frame));
  return true;
}

// Copies frame pixels onto a screen-sized buffer, leaving the transparent
// index alone.
void Draw(const GifFrame& frame, int screenWidth, QRgb* pixels) {
  const int w = frame.rect.width();
  for (int y = 0; y < frame.rect.height(); ++y) {
    const uint8_t* src = frame.indices.data() + size_t(y) * size_t(w);
    QRgb* dest = pixels + size_t(frame.rect.top() + y) * size_t(screenWidth) + frame.rect.left();
    for (int x = 0; x < w; ++x)
      if (src[x] != frame.transparent) dest[x] = frame.palette[src[x]];
  }
}

void Fill(const QRect& rect, int screenWidth, QRgb* pixels, QRgb color) {
  for (int y = rect.top(); y <= rect.bottom(); ++y)
    std::fill_n(pixels + size_t(y) * size_t(screenWidth) + rect.left(), rect.width(), color);
}

// The work image with every key-color pixel made transparent.
QImage Masked(const QImage& work) {
  QImage frame = work.convertToFormat(QImage::Format_ARGB32);
  for (int y = 0; y < frame.height(); ++y) {
    auto* row = reinterpret_cast<QRgb*>(frame.scanLine(y));
    for (int x = 0; x < frame.width(); ++x)
      if (row[x] == kKeyColor) row[x] = 0;
  }
  return frame;
}

}  // namespace

std::optional<GifData> ReadGif(std::string_view bytes) {
  MemoryInput input{bytes};
  int error = 0;
  GifHandle gif(DGifOpen(&input, ReadFromMemory, &error));
  if (!gif) return std::nullopt;

  GifData out;
  out.width = gif->SWidth;
  out.height = gif->SHeight;
  const int64_t screenPixels = int64_t(out.width) * out.height;
  if (screenPixels > kMaxPicturePixels) return std::nullopt;
  if (screenPixels == 0) return out;  // nothing to show; callers try JPEG
  // Each frame also costs its image object and bookkeeping; counting that
  // keeps a tiny screen from carrying an endless number of frames.
  const int64_t bytesPerFrame = screenPixels * 4 + 4096;
  int64_t decodedPixels = 0;

  GraphicsControlBlock control{};
  control.TransparentColor = NO_TRANSPARENT_COLOR;
  for (;;) {
    GifRecordType type;
    if (DGifGetRecordType(gif.get(), &type) != GIF_OK) {
      // A file cut between frames still shows the frames it has.
      if (out.frames.empty()) return std::nullopt;
      break;
    }
    if (type == TERMINATE_RECORD_TYPE) break;
    if (type == EXTENSION_RECORD_TYPE) {
      int code = 0;
      GifByteType* ext = nullptr;
      if (DGifGetExtension(gif.get(), &code, &ext) != GIF_OK) return std::nullopt;
      if (code == GRAPHICS_EXT_FUNC_CODE && ext && ext[0] >= 4)
        DGifExtensionToGCB(ext[0], ext + 1, &control);
      while (ext)
        if (DGifGetExtensionNext(gif.get(), &ext) != GIF_OK) return std::nullopt;
      continue;
    }
    if (type != IMAGE_DESC_RECORD_TYPE) return std::nullopt;
    if (DGifGetImageDesc(gif.get()) != GIF_OK) return std::nullopt;
    decodedPixels += int64_t(gif->Image.Width) * gif->Image.Height;
    if (decodedPixels > 4 * kMaxPicturePixels) return std::nullopt;
    if (int64_t(out.frames.size() + 1) * bytesPerFrame > kMaxComposedBytes) return std::nullopt;
    if (!ReadFrame(gif.get(), control, out)) return std::nullopt;
    control = GraphicsControlBlock{};  // a control block applies to one frame
    control.TransparentColor = NO_TRANSPARENT_COLOR;
  }
  if (out.frames.empty()) return std::nullopt;
  return out;
}

DecodedImage ComposeGif(const GifData& gif) {
  DecodedImage result;
  if (gif.frames.empty() || gif.width <= 0 || gif.height <= 0) return result;
  result.kind = ImageKind::Gif;
  result.width = gif.width;
  result.height = gif.height;
  const int w = gif.width;

  if (gif.frames.size() == 1) {
    QImage still(gif.width, gif.height, QImage::Format_ARGB32);
    still.fill(Qt::transparent);
    Draw(gif.frames[0], w, reinterpret_cast<QRgb*>(still.bits()));
    result.frames.push_back(std::move(still));
    return result;
  }

  // One work image carries the screen from frame to frame; disposal 2
  // clears the frame's rectangle to the key color, disposal 3 puts back
  // the screen as it was before the frame.
  QImage work(gif.width, gif.height, QImage::Format_RGB32);
  work.fill(kKeyColor);
  QImage beforeFrame;
  for (const GifFrame& frame : gif.frames) {
    if (frame.disposal == 3) beforeFrame = work.copy();
    Draw(frame, w, reinterpret_cast<QRgb*>(work.bits()));
    result.frames.push_back(Masked(work));
    result.delays.push_back(frame.delayMs);
    if (frame.disposal == 2)
      Fill(frame.rect, w, reinterpret_cast<QRgb*>(work.bits()), kKeyColor);
    else if (frame.disposal == 3)
      work = beforeFrame;
  }
  return result;
}

}  // namespace picture
