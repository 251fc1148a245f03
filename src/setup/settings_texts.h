#pragma once
// Captions of the settings dialog in both interface languages, keyed by the
// object name of the control they belong to, and the texts of its lists.
// UTF-8, because they go straight to widgets.
#include <string>
#include <vector>

namespace media {

struct SettingsCaption {
  const char* control;
  const char* russian;
  const char* english;
};

// Every caption set when the dialog is shown; "SettingsDialog" is the
// dialog's title.
const std::vector<SettingsCaption>& SettingsCaptions();

// The radio items of Sex and the four events of MessType, in order.
std::vector<std::string> SexItems(bool russian);
std::vector<std::string> EventItems(bool russian);

// The explanation of the transliteration page.
const char* TranslitDescription(bool russian);
// The sound file chooser's title and its file filter (Qt's filter syntax).
const char* SoundChooserTitle(bool russian);
const char* SoundChooserFilter(bool russian);

}  // namespace media
