#include "window/desktop_reactions.h"

#include <QApplication>
#include <QAudioDevice>
#include <QFile>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include "text/cp1251.h"
#include "window/qt_text.h"
#include "text/shown_text.h"

namespace window {
namespace {

// Effects kept for reuse; the four reaction sets and a tried file fit.
constexpr size_t kMaxEffects = 8;
// How long the window system may take to hand over the focus before the
// window asks for attention instead.
constexpr int kActivationGraceMs = 300;

}  // namespace

DesktopReactions::DesktopReactions(QWidget& window, TraceFunction trace)
    : window_(window), trace_(std::move(trace)) {}

DesktopReactions::~DesktopReactions() = default;

bool DesktopReactions::ProgramActive() const {
  if (activeProbe_) return activeProbe_();
  return QGuiApplication::applicationState() == Qt::ApplicationActive;
}

void DesktopReactions::BringToFront() {
  if (window_.isMinimized()) window_.showNormal();
  window_.raise();
  if (!ProgramActive()) {
    QApplication::alert(&window_);
    return;
  }
  window_.activateWindow();
  // Wayland never gives the focus to a program that asks for it; elsewhere
  // the request may be refused too, which shows only later.
  if (QGuiApplication::platformName().startsWith("wayland")) {
    QApplication::alert(&window_);
    return;
  }
  QPointer<QWidget> w(&window_);
  QTimer::singleShot(kActivationGraceMs, &window_, [w] {
    if (w && !w->isActiveWindow()) QApplication::alert(w);
  });
}

bool DesktopReactions::LooksLikeWave(const std::string& header) {
  return header.size() >= 12 && header.compare(0, 4, "RIFF") == 0 && header.compare(8, 4, "WAVE") == 0;
}

bool DesktopReactions::PlayWave(const std::string& file) {
  if (file.empty()) return false;
  const QString path = ToQ(file);
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly) || !LooksLikeWave(f.read(12).toStdString())) {
    TraceOnce("file:" + file, text::Shown("Звуковой файл не найден или не читается: ", "Sound file missing or unreadable: ") + file);
    return false;
  }
  f.close();
  // Without an output device the effect would claim to play for ever.
  if (QMediaDevices::audioOutputs().isEmpty()) {
    TraceOnce("no-output", text::Shown("Нет устройства вывода звука, звуковые файлы не проигрываются", "No sound output device, sound files are not played"));
    return false;
  }
  auto it = effects_.find(file);
  if (it == effects_.end()) {
    if (effects_.size() >= kMaxEffects) effects_.erase(effects_.begin());
    auto effect = std::make_unique<QSoundEffect>();
    QSoundEffect* raw = effect.get();
    effect->setSource(QUrl::fromLocalFile(path));
    QObject::connect(raw, &QSoundEffect::statusChanged, raw, [this, raw, file] {
      if (raw->status() == QSoundEffect::Error)
        TraceOnce("file:" + file, text::Shown("Звуковой файл не проигрывается: ", "Sound file cannot be played: ") + file);
    });
    it = effects_.emplace(file, std::move(effect)).first;
  }
  it->second->play();
  return true;
}

void DesktopReactions::TraceOnce(const std::string& key, const std::string& text) {
  if (!reported_.insert(key).second) return;
  if (trace_) trace_(text);
}

}  // namespace window
