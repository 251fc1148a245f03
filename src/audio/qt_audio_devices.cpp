#include "audio/qt_audio_devices.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QAudioSource>
#include <QIODevice>
#include <QMediaDevices>
#include <QTimer>
#include <deque>
#include <optional>

#include "audio/adpcm.h"
#include "audio/pcm_convert.h"
#include "audio/pcm_devices.h"

namespace audio {
namespace {

QAudioFormat MessageFormat() {
  QAudioFormat f;
  f.setSampleRate(kSampleRate);
  f.setChannelCount(1);
  f.setSampleFormat(QAudioFormat::Int16);
  return f;
}

bool AnyTakesMessageFormat(const QList<QAudioDevice>& devices) {
  const QAudioFormat f = MessageFormat();
  for (const QAudioDevice& d : devices)
    if (d.isFormatSupported(f)) return true;
  return false;
}

// The format to open `device` with: the message format when it takes it,
// else its preferred one, which the stream is converted to or from.
std::optional<QAudioFormat> OpenFormat(const QAudioDevice& device) {
  if (device.isNull()) return std::nullopt;
  if (device.isFormatSupported(MessageFormat())) return MessageFormat();
  QAudioFormat f = device.preferredFormat();
  if (!f.isValid() || f.sampleFormat() == QAudioFormat::Unknown) return std::nullopt;
  return f;
}

PcmFormat ToPcmFormat(const QAudioFormat& f) {
  PcmFormat p;
  p.channels = f.channelCount();
  p.rate = f.sampleRate();
  switch (f.sampleFormat()) {
    case QAudioFormat::UInt8: p.kind = SampleKind::UInt8; break;
    case QAudioFormat::Int32: p.kind = SampleKind::Int32; break;
    case QAudioFormat::Float: p.kind = SampleKind::Float; break;
    default: p.kind = SampleKind::Int16; break;
  }
  return p;
}

class QtPcmSource : public PcmSource {
 public:
  QtPcmSource(QAudioDevice device, QAudioFormat format)
      : device_(std::move(device)), format_(format), convert_(ToPcmFormat(format)) {}
  ~QtPcmSource() override { Stop(); }

  bool Start(std::function<void(std::span<const int16_t>)> onSamples) override {
    source_ = std::make_unique<QAudioSource>(device_, format_);
    QIODevice* io = source_->start();
    if (!io || source_->error() != QAudio::NoError) {
      source_.reset();
      return false;
    }
    QObject::connect(io, &QIODevice::readyRead, io, [this, io, onSamples] {
      QByteArray bytes = io->readAll();
      samples_.clear();
      convert_.Feed(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), samples_);
      if (!samples_.empty()) onSamples(samples_);
    });
    return true;
  }

  void Stop() override {
    if (!source_) return;
    source_->stop();
    source_.reset();
  }

 private:
  QAudioDevice device_;
  QAudioFormat format_;
  FromDevice convert_;
  std::unique_ptr<QAudioSource> source_;
  std::vector<int16_t> samples_;
};

// Writes into the sink as it has room and reports each chunk played once
// the device's processed time has passed its end.  A sink that stops with
// an error reports everything played, so a playback never hangs.
class QtPcmSink : public PcmSink {
 public:
  QtPcmSink(QAudioDevice device, QAudioFormat format)
      : device_(std::move(device)), format_(format), convert_(ToPcmFormat(format)) {}
  ~QtPcmSink() override { Close(); }

  bool Start() override {
    sink_ = std::make_unique<QAudioSink>(device_, format_);
    io_ = sink_->start();
    if (!io_ || sink_->error() != QAudio::NoError) {
      sink_.reset();
      io_ = nullptr;
      return false;
    }
    timer_ = std::make_unique<QTimer>();
    timer_->setInterval(20);
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Pump(); });
    timer_->start();
    return true;
  }

  void Write(std::vector<int16_t> samples, std::function<void()> played) override {
    convert_.Feed(samples, pending_);
    queuedBytes_ += static_cast<int64_t>(samples.size()) * 2;
    chunks_.push_back({queuedBytes_, std::move(played)});
    Pump();
  }

  void Reset() override {
    chunks_.clear();
    pending_.clear();
    if (sink_) sink_->reset();
  }

  void Close() override {
    chunks_.clear();
    if (timer_) timer_->stop();
    timer_.reset();
    if (sink_) sink_->stop();
    sink_.reset();
    io_ = nullptr;
  }

 private:
  struct Chunk {
    int64_t endBytes;  // message-format bytes up to this chunk's end
    std::function<void()> played;
  };

  void Pump() {
    if (!sink_) return;
    if (!pending_.empty()) {
      qint64 room = std::min<qint64>(sink_->bytesFree(), static_cast<qint64>(pending_.size()));
      if (room > 0) {
        qint64 n = io_->write(pending_.data(), room);
        if (n > 0) pending_.erase(0, static_cast<size_t>(n));
      }
    }
    bool failed = sink_->state() == QAudio::StoppedState && sink_->error() != QAudio::NoError;
    // The conversion may hold back a sample or two: 20 ms of slack.
    int64_t playedBytes = sink_->processedUSecs() * kSampleRate * 2 / 1000000 + kSampleRate * 2 / 50;
    // A sink that ran dry and has made no progress for a while has played
    // all it was given.
    if (pending_.empty() && sink_->state() == QAudio::IdleState && playedBytes == lastPlayed_)
      ++idlePumps_;
    else
      idlePumps_ = 0;
    lastPlayed_ = playedBytes;
    bool drained = idlePumps_ >= 10;
    while (!chunks_.empty() && (failed || drained || chunks_.front().endBytes <= playedBytes)) {
      auto played = std::move(chunks_.front().played);
      chunks_.pop_front();
      played();  // may reset or close this sink
      if (!sink_) return;
    }
  }

  QAudioDevice device_;
  QAudioFormat format_;
  ToDevice convert_;
  std::unique_ptr<QAudioSink> sink_;
  QIODevice* io_ = nullptr;
  std::unique_ptr<QTimer> timer_;
  std::string pending_;      // device bytes not yet taken by the sink
  int64_t queuedBytes_ = 0;  // message-format bytes written so far
  std::deque<Chunk> chunks_;
  int64_t lastPlayed_ = -1;
  int idlePumps_ = 0;
};

}  // namespace

bool QtAudioDevices::HasInput() const { return AnyTakesMessageFormat(QMediaDevices::audioInputs()); }

bool QtAudioDevices::HasOutput() const { return AnyTakesMessageFormat(QMediaDevices::audioOutputs()); }

std::unique_ptr<WaveInput> QtAudioDevices::OpenInput(InputDone done) {
  QAudioDevice device = QMediaDevices::defaultAudioInput();
  std::optional<QAudioFormat> format = OpenFormat(device);
  if (!format) return nullptr;
  return std::make_unique<EncodingWaveInput>(std::make_unique<QtPcmSource>(device, *format),
                                             std::move(done));
}

std::unique_ptr<WaveOutput> QtAudioDevices::OpenOutput(OutputDone done) {
  QAudioDevice device = QMediaDevices::defaultAudioOutput();
  std::optional<QAudioFormat> format = OpenFormat(device);
  if (!format) return nullptr;
  return std::make_unique<DecodingWaveOutput>(std::make_unique<QtPcmSink>(device, *format),
                                              std::move(done));
}

}  // namespace audio
