#pragma once
// What picture sending and receiving show, in both interface languages
// (UTF-8).
#include "text/shown_text.h"

namespace transfer::texts {

using text::ShownText;

inline constexpr ShownText kRecoderTitle{"Передача картинки", "Sending a picture"};
inline constexpr ShownText kRecode{"Перекодировка", "Recoding"};
inline constexpr ShownText kUnchanged{"Без изменений", "Unchanged"};
inline constexpr ShownText kJpegQuality{"Качество JPG:", "JPG quality:"};
inline constexpr ShownText kSizeToSend{"Размер к пересылке:", "Size to send:"};
inline constexpr ShownText kSend{"Послать", "Send"};
inline constexpr ShownText kViewerTitle{"Картинка от Zevo", "Picture from Zevo"};
inline constexpr ShownText kOriginalSize{"Исходный размер:", "Original size:"};
inline constexpr ShownText kFileOfLength{"Файл длиной ", "A file of "};
inline constexpr ShownText kSentTo{" послан ", " bytes sent to "};
inline constexpr ShownText kUnknownFormat{"Присланный файл не может быть показан. Неизвестный формат",
                                          "The received file cannot be shown. Unknown format"};
inline constexpr ShownText kAttention{"Внимание", "Attention"};

inline constexpr ShownText kAll[] = {kRecoderTitle, kRecode,       kUnchanged, kJpegQuality,   kSizeToSend, kSend,
                                     kViewerTitle,  kOriginalSize, kFileOfLength, kSentTo, kUnknownFormat, kAttention};

}  // namespace transfer::texts
