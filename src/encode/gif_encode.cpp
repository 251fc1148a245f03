#include "encode/gif_encode.h"

#include <gif_lib.h>

namespace encode {
namespace {

constexpr int kMaxSide = 0xFFFF;  // a GIF writes every size and offset in 16 bits

int Append(GifFileType* gif, const GifByteType* data, int length) {
  static_cast<std::string*>(gif->UserData)->append(reinterpret_cast<const char*>(data), static_cast<size_t>(length));
  return length;
}

int PaletteSize(size_t colours) {
  int size = 2;
  while (size < static_cast<int>(colours) && size < 256) size *= 2;
  return size;
}

bool Fits(const GifPicture& picture) {
  if (picture.palette.empty() || picture.palette.size() > 256 || picture.frames.empty()) return false;
  if (picture.width <= 0 || picture.height <= 0 || picture.width > kMaxSide || picture.height > kMaxSide)
    return false;
  for (const GifFrame& frame : picture.frames) {
    if (frame.width <= 0 || frame.height <= 0 || frame.left < 0 || frame.top < 0 ||
        frame.left > picture.width - frame.width || frame.top > picture.height - frame.height)
      return false;
    if (frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height)) return false;
  }
  return true;
}

bool PutLoop(GifFileType* gif) {
  const unsigned char loopCount[3] = {1, 0, 0};  // sub-block 1, repeat for ever
  return EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_OK &&
         EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_OK &&
         EGifPutExtensionBlock(gif, 3, loopCount) == GIF_OK && EGifPutExtensionTrailer(gif) == GIF_OK;
}

bool PutControlBlock(GifFileType* gif, const GifFrame& frame) {
  GraphicsControlBlock gcb{};
  gcb.DisposalMode = frame.disposal;
  gcb.UserInputFlag = false;
  gcb.DelayTime = frame.delayCentiseconds;
  gcb.TransparentColor = frame.transparent < 0 ? NO_TRANSPARENT_COLOR : frame.transparent;
  GifByteType extension[4];
  const size_t length = EGifGCBToExtension(&gcb, extension);
  return EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length), extension) == GIF_OK;
}

bool PutFrame(GifFileType* gif, const GifFrame& frame) {
  if (EGifPutImageDesc(gif, frame.left, frame.top, frame.width, frame.height, false, nullptr) != GIF_OK)
    return false;
  // giflib may mask the line it is given, so each row is a copy.
  std::vector<GifPixelType> row(static_cast<size_t>(frame.width));
  for (int y = 0; y < frame.height; ++y) {
    const uint8_t* src = frame.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(frame.width);
    row.assign(src, src + frame.width);
    if (EGifPutLine(gif, row.data(), frame.width) != GIF_OK) return false;
  }
  return true;
}

}  // namespace

std::string EncodeGif(const GifPicture& picture) {
  if (!Fits(picture)) return {};
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
  // Extensions need GIF89a; giflib would otherwise stamp the file 87a.
  if (picture.controlBlocks || picture.loop) EGifSetGifVersion(gif, true);
  ok = ok && EGifPutScreenDesc(gif, picture.width, picture.height, 8, picture.background, map) == GIF_OK;
  if (ok && picture.loop) ok = PutLoop(gif);
  for (const GifFrame& frame : picture.frames) {
    if (!ok) break;
    ok = (!picture.controlBlocks || PutControlBlock(gif, frame)) && PutFrame(gif, frame);
  }
  if (EGifCloseFile(gif, &error) != GIF_OK) ok = false;
  GifFreeMapObject(map);
  return ok ? out : std::string();
}

GifPicture StillGif(int width, int height, std::vector<uint32_t> palette, std::vector<uint8_t> pixels) {
  GifPicture picture;
  picture.width = width;
  picture.height = height;
  picture.palette = std::move(palette);
  picture.controlBlocks = false;
  GifFrame frame;
  frame.width = width;
  frame.height = height;
  frame.pixels = std::move(pixels);
  picture.frames.push_back(std::move(frame));
  return picture;
}

}  // namespace encode
