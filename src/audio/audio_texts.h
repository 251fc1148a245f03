#pragma once
// What the audio messages show in the private pane, in both interface
// languages (UTF-8).  The entries of the private archive keep the Russian
// words, which are part of that file.
#include "text/shown_text.h"

namespace audio::texts {

using text::ShownText;

inline constexpr ShownText kPlay{"Воспроизвести", "Play"};
inline constexpr ShownText kStop{"Прервать", "Stop"};
inline constexpr ShownText kDelete{"Удалить", "Delete"};
inline constexpr ShownText kSave{"Сохранить", "Save"};
inline constexpr ShownText kToArchive{"В архив", "To archive"};
inline constexpr ShownText kSentTo{"Послано для ", "Sent to "};
inline constexpr ShownText kFrom{"От ", "From "};
inline constexpr ShownText kSoundOfSize{": Звуковое сообщение, размер ", ": Sound message, size "};

inline constexpr ShownText kAll[] = {kPlay, kStop, kDelete, kSave, kToArchive, kSentTo, kFrom, kSoundOfSize};

}  // namespace audio::texts
