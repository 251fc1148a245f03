#pragma once
// The save dialog of an audio message ("*.cwv" or "*.wav").  A bare name
// gets the chosen filter's suffix inside the dialog, before it asks about
// overwriting, so the question is about the file that is then written.
#include <optional>
#include <string>

class QFileDialog;
class QString;
class QWidget;

namespace window {

// "wav" for the "*.wav" filter, "cwv" for any other.
QString SoundSuffixFor(const QString& filter);

// Makes `dialog` the sound save dialog.
void SetUpSoundSaveDialog(QFileDialog& dialog, bool russian);

// Runs it: the chosen path, nothing when cancelled.
std::optional<std::string> AskSoundSavePath(QWidget* parent, bool russian);

}  // namespace window
