#pragma once
// What the archive viewer shows of its own, in both interface languages
// (UTF-8).  The lines of private.arc itself are never made with these.
#include "text/shown_text.h"

namespace media::texts {

using text::ShownText;

inline constexpr ShownText kArchiveStart{"<b>--- Начало архива ---</b>", "<b>--- Start of archive ---</b>"};
inline constexpr ShownText kPageUpMarker{"<b><link=\"--- Листать вверх (Ctrl+PgUp) ---\"Page Up></b>",
                                         "<b><link=\"--- Page up (Ctrl+PgUp) ---\"Page Up></b>"};
inline constexpr ShownText kArchiveEnd{"<b>--- Конец архива ---</b>", "<b>--- End of archive ---</b>"};
inline constexpr ShownText kPageDownMarker{"<b><link=\"--- Листать вниз (Ctrl+PgDown)---\"Page Down></b>",
                                           "<b><link=\"--- Page down (Ctrl+PgDown) ---\"Page Down></b>"};
inline constexpr ShownText kArchiveEmpty{"Архив пуст...", "The archive is empty..."};
inline constexpr ShownText kLoading{"Загрузка архива... Пожалуйста, подождите...", "Loading the archive... Please wait..."};
inline constexpr ShownText kLoaded{"Загрузка архива завершена", "The archive is loaded"};
inline constexpr ShownText kLoadFailed{"Ошибка загрузки архива...", "Error loading the archive..."};
inline constexpr ShownText kTryAgain{"<link=\"Попробовать еще раз\"", "<link=\"Try again\""};
inline constexpr ShownText kSearching{"Поиск...", "Searching..."};
inline constexpr ShownText kStop{"Стоп", "Stop"};

inline constexpr ShownText kAll[] = {kArchiveStart, kPageUpMarker, kArchiveEnd, kArchiveEmpty, kPageDownMarker,
                                     kLoading,      kLoaded,       kLoadFailed, kTryAgain,     kSearching,
                                     kStop};

}  // namespace media::texts
