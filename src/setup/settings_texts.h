#pragma once
// Captions of the settings dialog in both interface languages, keyed by the
// object name of the control they belong to, and the texts of its lists.
// UTF-8, because they go straight to widgets.
#include <string>
#include <vector>

#include "text/shown_text.h"

namespace media {

struct SettingsCaption {
  const char* control;
  const char* russian;
  const char* english;
};

// Every caption set when the dialog is shown; "SettingsDialog" is the
// dialog's title.
const std::vector<SettingsCaption>& SettingsCaptions();

// The questions and messages of the dialog.
namespace questions {
inline constexpr text::ShownText kRestoreDefaults{"Вернуть настройки по умолчанию?", "Restore the default settings?"};
inline constexpr text::ShownText kAlreadyFriend{"Уже есть в списке оффлайна", "Already in the friends list"};
inline constexpr text::ShownText kAlreadyBlackListed{"Уже есть в черном списке оффлайна", "Already in the black list"};
inline constexpr text::ShownText kCannotPlay{"Ошибка проигрывания файла", "Error playing the file"};
inline constexpr text::ShownText kClearArchive{"Очистить архив привата", "Clear the private archive?"};
inline constexpr text::ShownText kClearCache{"Очистить существующий кэш?", "Clear the existing cache?"};
inline constexpr text::ShownText kAll[] = {kRestoreDefaults, kAlreadyFriend, kAlreadyBlackListed,
                                           kCannotPlay,      kClearArchive,  kClearCache};
}  // namespace questions

// The radio items of Sex and the four events of MessType, in order.
std::vector<std::string> SexItems(bool russian);
std::vector<std::string> EventItems(bool russian);

// The explanation of the transliteration page.
const char* TranslitDescription(bool russian);
// The sound file chooser's title and its file filter (Qt's filter syntax).
const char* SoundChooserTitle(bool russian);
const char* SoundChooserFilter(bool russian);

}  // namespace media
