#include "window/media_widgets.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QImage>
#include <QLabel>
#include <QMimeData>
#include <QPushButton>

#include "markup/markup_document.h"
#include "markup/ui/markup_view.h"
#include "audio/qt_audio_devices.h"
#include "transfer/picture_codec.h"
#include "transfer/ui/picture_windows.h"
#include "settings/settings.h"
#include "chat/chat_services.h"
#include "window/info_window.h"
#include "window/modal_boxes.h"
#include "window/qt_text.h"
#include "window/sound_save_dialog.h"

namespace window {

MediaWidgets::MediaWidgets(ChatServices& chat, MediaControls controls)
    : chat_(chat), controls_(controls), devices_(std::make_unique<audio::QtAudioDevices>()) {
  media_ = std::make_unique<MediaSession>(chat_, static_cast<MediaView&>(*this), *devices_);
  QObject::connect(controls_.sendWav, &QPushButton::pressed, controls_.sendWav, [this] { media_->PressSendWav(); });
  QObject::connect(controls_.sendWav, &QPushButton::released, controls_.sendWav, [this] {
    media_->ReleaseSendWav();
    SendWavFreed();
  });
  QObject::connect(controls_.sendBuf, &QAction::triggered, controls_.window, [this] { SendBufClick(); });
}

MediaWidgets::~MediaWidgets() { media_.reset(); }

void MediaWidgets::ReplaceAudioDevices(std::unique_ptr<audio::AudioDevices> devices) {
  media_.reset();
  devices_ = std::move(devices);
  media_ = std::make_unique<MediaSession>(chat_, static_cast<MediaView&>(*this), *devices_);
  if (controls_.audioCapable) controls_.audioCapable(AudioCapable());
}

bool MediaWidgets::AudioCapable() const { return devices_->HasOutput() || devices_->HasInput(); }

void MediaWidgets::ControlsChanged(bool sendWav) {
  sendWavAllowed_ = sendWav;
  SendWavFreed();
  transfer::PictureRecoder::SetAllSendEnabled(media_->CanSendPicture());
}

void MediaWidgets::SendBufClick() {
  const QMimeData* data = QGuiApplication::clipboard()->mimeData();
  const QImage image = data && data->hasImage() ? qvariant_cast<QImage>(data->imageData()) : QImage();
  const std::string bytes = transfer::EncodeBmp(image);
  if (bytes.empty() ||
      !transfer::PictureRecoder::Open(bytes, [this](const std::string& d) { return media_->SendPicture(d); },
                                      media_->CanSendPicture()))
    QApplication::beep();
}

void MediaWidgets::CloseAll() {
  transfer::PictureRecoder::CloseAll();
  transfer::PictureWindow::CloseAll();
}

// ---- MediaView --------------------------------------------------------------------

void MediaWidgets::Trace(const std::string& text) { TraceLog(chat_.Settings(), text); }

void MediaWidgets::SetAudioSize(const std::string& text) { controls_.audioSize->setText(ToQ(text)); }

void MediaWidgets::SendWavFreed() {
  // A held button stays enabled until it is released.
  if (controls_.sendWav->isDown()) return;
  controls_.sendWav->setEnabled(sendWavAllowed_ && !media_->AudioBusy());
}

bool MediaWidgets::NoSound() {
  const QAction* mute = controls_.window->findChild<QAction*>("MenuNoSound");
  return mute && mute->isChecked();
}

std::optional<std::string> MediaWidgets::AskSoundSavePath() {
  return window::AskSoundSavePath(controls_.window, chat_.Settings().RussianInterface);
}

bool MediaWidgets::ShowPicture(const std::string&, const std::string& bytes, const QImage& image) {
  return transfer::PictureWindow::Open(bytes, image) != nullptr;
}

void MediaWidgets::Warn(const std::string& text) {
  ShowModal(controls_.window, {ModalBox::Kind::Warning, QString::fromUtf8("Внимание"), ToQ(text)});
}

void MediaWidgets::ShowLinks(const std::string& markup) {
  markup::MarkupDocument& pane = controls_.dirconn->Document();
  pane.Clear();
  pane.NewString(markup, 0x000000, 0xFFFFFF);
  // The group box appears with the first link.
  if (QWidget* box = controls_.dirconn->parentWidget()) box->setVisible(true);
}

}  // namespace window
