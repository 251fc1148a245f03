#include "window/sound_save_dialog.h"

#include <QFileDialog>
#include <QPointer>

namespace window {

QString SoundSuffixFor(const QString& filter) {
  return filter.compare("*.wav", Qt::CaseInsensitive) == 0 ? "wav" : "cwv";
}

void SetUpSoundSaveDialog(QFileDialog& dialog, bool russian) {
  dialog.setObjectName("SaveWave");
  dialog.setWindowTitle(russian ? QString::fromUtf8("Сохранить звуковое сообщение") : "Save chat wave file");
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  // Qt's own dialog adds the suffix before its overwrite question; a
  // platform dialog may ask about the bare name instead.
  dialog.setNameFilters({"*.cwv", "*.wav"});
  dialog.setDefaultSuffix(SoundSuffixFor(dialog.selectedNameFilter()));
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [d = &dialog](const QString& filter) {
    d->setDefaultSuffix(SoundSuffixFor(filter));
  });
}

std::optional<std::string> AskSoundSavePath(QWidget* parent, bool russian) {
  QPointer<QFileDialog> dialog = new QFileDialog(parent);
  SetUpSoundSaveDialog(*dialog, russian);
  const bool ok = dialog->exec() == QDialog::Accepted;
  // The nested loop may have taken the parent, and the dialog with it.
  if (!dialog) return std::nullopt;
  const QStringList files = dialog->selectedFiles();
  delete dialog.data();
  if (!ok || files.isEmpty()) return std::nullopt;
  return files.front().toStdString();
}

}  // namespace window
