#include "server/gif_writer.h"

#include <gif_lib.h>

namespace chatd {
namespace {

int Append(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
  return length;
}

int PaletteSize(size_t colours) {
  int size = 2;
  while (size < static_cast<int>(colours) && size < 256) size *= 2;
  return size;
}

}  // namespace

std::string EncodeGif(const GifPicture& picture) {
  if (picture.palette.empty() || picture.palette.size() > 256 || picture.frames.empty()) return {};
  std::string out;
  int error = 0;
  GifFileType* gif = EGifOpen(&out, Append, &error);
  if (!gif) return {};
  const int mapSize = PaletteSize(picture.palette.size());
  std::vector<GifColorType> colours(static_cast<size_t>(mapSize), GifColorType{0, 0, 0});
  for (size_t i = 0; i < picture.palette.size(); ++i) {
    const uint32_t c = picture.palette[i];
    colours[i] = GifColorType{static_cast<GifByteType>(c >> 16), static_cast<GifByteType>(c >> 8),
                              static_cast<GifByteType>(c)};
  }
  ColorMapObject* map = GifMakeMapObject(mapSize, colours.data());
  bool ok = map != nullptr;
  EGifSetGifVersion(gif, true);
  ok = ok && EGifPutScreenDesc(gif, picture.width, picture.height, 8, picture.background, map) == GIF_OK;
  if (ok && picture.loop) {
    const unsigned char loopCount[3] = {1, 0, 0};  // sub-block 1, repeat for ever
    ok = EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loopCount) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
  }
  for (const GifFrame& frame : picture.frames) {
    if (!ok) break;
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height)) {
      ok = false;
      break;
    }
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = frame.disposal;
    gcb.UserInputFlag = false;
    gcb.DelayTime = frame.delayCentiseconds;
    gcb.TransparentColor = frame.transparent < 0 ? NO_TRANSPARENT_COLOR : frame.transparent;
    GifByteType extension[4];
    const size_t length = EGifGCBToExtension(&gcb, extension);
    ok = EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK &&
         EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, false, nullptr) == GIF_OK;
    std::vector<GifPixelType> row(static_cast<size_t>(frame.width));
    for (int y = 0; ok && y < frame.height; ++y) {
      const uint8_t* src = frame.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(frame.width);
      row.assign(src, src + frame.width);
      ok = EGifPutLine(gif, row.data(), frame.width) == GIF_OK;
    }
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  GifFreeMapObject(map);
  return ok ? out : std::string();
}

}  // namespace chatd
