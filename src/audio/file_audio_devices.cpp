#include "audio/file_audio_devices.h"

#include <QFile>
#include <QTimer>

#include "audio/pcm_devices.h"
#include "audio/wav_file.h"

namespace audio {

namespace {

constexpr int kTickMs = 50;
constexpr size_t kSamplesPerTick = 8000 * kTickMs / 1000;

// The file's samples, one tick's worth at a time, then silence: a
// recording lasts as long as the button is held, whatever the file holds.
class FileSource : public PcmSource {
 public:
  explicit FileSource(std::vector<int16_t> samples) : samples_(std::move(samples)) {}
  bool Start(std::function<void(std::span<const int16_t>)> onSamples) override {
    onSamples_ = std::move(onSamples);
    timer_ = std::make_unique<QTimer>();
    QObject::connect(timer_.get(), &QTimer::timeout, [this] { Tick(); });
    timer_->start(kTickMs);
    return true;
  }
  void Stop() override { timer_.reset(); }

 private:
  void Tick() {
    std::vector<int16_t> chunk(kSamplesPerTick, 0);
    for (size_t i = 0; i < chunk.size() && at_ < samples_.size(); ++i) chunk[i] = samples_[at_++];
    if (onSamples_) onSamples_(chunk);
  }

  std::vector<int16_t> samples_;
  size_t at_ = 0;
  std::function<void(std::span<const int16_t>)> onSamples_;
  std::unique_ptr<QTimer> timer_;
};

// Each chunk counts as played after its own length of time.
class KeepingSink : public PcmSink {
 public:
  explicit KeepingSink(std::shared_ptr<std::vector<int16_t>> played) : played_(std::move(played)) {}
  bool Start() override { return true; }
  void Write(std::vector<int16_t> samples, std::function<void()> played) override {
    played_->insert(played_->end(), samples.begin(), samples.end());
    const int ms = int(samples.size() * 1000 / 8000);
    auto alive = alive_;
    QTimer::singleShot(ms, [alive, played = std::move(played)] {
      if (*alive && played) played();
    });
  }
  void Reset() override { *alive_ = false, alive_ = std::make_shared<bool>(true); }
  void Close() override { *alive_ = false; }
  ~KeepingSink() override { *alive_ = false; }

 private:
  std::shared_ptr<std::vector<int16_t>> played_;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
};

}  // namespace

FileAudioDevices::FileAudioDevices(std::string inputWav) : input_(std::move(inputWav)) {}

std::unique_ptr<WaveInput> FileAudioDevices::OpenInput(InputDone done) {
  QFile file(QString::fromStdString(input_));
  if (input_.empty() || !file.open(QIODevice::ReadOnly)) return nullptr;
  const QByteArray bytes = file.readAll();
  std::string error;
  const std::optional<WavInfo> info = ParseWav(std::string_view(bytes.constData(), size_t(bytes.size())), error);
  if (!info) return nullptr;
  return std::make_unique<EncodingWaveInput>(std::make_unique<FileSource>(PcmSamples(*info)), std::move(done));
}

std::unique_ptr<WaveOutput> FileAudioDevices::OpenOutput(OutputDone done) {
  return std::make_unique<DecodingWaveOutput>(std::make_unique<KeepingSink>(played_), std::move(done));
}

}  // namespace audio
