#pragma once
// What the additional smileys window shows of its own, in both interface
// languages (UTF-8).
#include "text/shown_text.h"

namespace media::smileys_texts {

using text::ShownText;

inline constexpr ShownText kRefresh{"<fsize=8><link=\"Обновить\"read>", "<fsize=8><link=\"Refresh\"read>"};
inline constexpr ShownText kAllGroups{"  <link=\"Все\"-1>", "  <link=\"All\"-1>"};
inline constexpr ShownText kReading{"Чтение файла доп. смайлов", "Reading the additional smiles file"};
inline constexpr ShownText kReadError{"Ошибка чтения списка смайлов", "Error reading the smiles list"};

inline constexpr ShownText kAll[] = {kRefresh, kAllGroups, kReading, kReadError};

}  // namespace media::smileys_texts
