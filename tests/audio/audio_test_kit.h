#pragma once
// A host and devices for driving AudioChannel without a sound card: the
// microphone is a tone file pumped by the test, the speaker collects what
// is played until the test lets it finish.
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "audio/audio_channel.h"
#include "audio/pcm_devices.h"
#include "temp_dir.h"

class FakeHost : public audio::AudioHost {
 public:
  audio::AudioChannel* channel = nullptr;  // receives the pane's removal reports

  std::deque<std::function<void()>> posted;
  std::vector<std::string> sent, traces, priv, archive;
  std::vector<bool> reactions;  // the muted flag of each reaction
  std::vector<std::string> pictures;
  std::string audioSize = "-";
  bool sendWavEnabled = true;
  bool serverOpen = true;
  std::string userName = "Alice";
  std::set<std::string> blackList;
  std::optional<std::string> savePath;
  std::function<void()> duringAsk;  // runs while the save dialog is open
  std::vector<int> storedLastWav;
  TempDir dir;

  // Runs posted calls, including those they post, until none is left.
  void Drain() {
    for (int guard = 0; !posted.empty() && guard < 100000; ++guard) {
      auto call = std::move(posted.front());
      posted.pop_front();
      call();
    }
  }

  void Post(std::function<void()> call) override { posted.push_back(std::move(call)); }
  bool ServerOpen() const override { return serverOpen; }
  void SendLine(const std::string& line) override { sent.push_back(line); }
  void Trace(const std::string& text) override { traces.push_back(text); }
  void AddPrivLine(const std::string& markup) override { priv.push_back(markup); }
  bool DeletePrivLine(const std::string& part) override {
    for (auto it = priv.begin(); it != priv.end(); ++it) {
      if (it->find(part) == std::string::npos) continue;
      std::string gone = *it;
      priv.erase(it);
      if (channel) channel->OnPrivLineRemoved(gone);
      return true;
    }
    return false;
  }
  void CutPrivLine(const std::string& part) override {
    for (auto& line : priv) {
      size_t at = line.find(part);
      if (at == std::string::npos) continue;
      line.resize(at);
      return;
    }
  }
  void SetAudioSize(const std::string& text) override { audioSize = text; }
  void SetSendWavEnabled(bool enabled) override { sendWavEnabled = enabled; }
  std::string UserName() const override { return userName; }
  bool IsBlackListed(const std::string& name) const override { return blackList.count(name) > 0; }
  std::string ProgramDir() const override { return dir.Path(); }
  void StoreLastWav(int value) override { storedLastWav.push_back(value); }
  void AppendArchive(const std::string& line) override { archive.push_back(line); }
  void ReactToMessage(bool muted) override { reactions.push_back(muted); }
  std::optional<std::string> AskSavePath() override {
    if (duringAsk) duringAsk();
    return savePath;
  }
  void HandlePicturePacket(const std::string& sender, const std::string& packet, bool) override {
    pictures.push_back(sender + ":" + packet);
  }
};

// Samples fed to the recording device when the test pumps them.
class ToneSource : public audio::PcmSource {
 public:
  explicit ToneSource(std::vector<int16_t>* tone, size_t* at) : tone_(tone), at_(at) {}
  bool Start(std::function<void(std::span<const int16_t>)> onSamples) override {
    onSamples_ = std::move(onSamples);
    return true;
  }
  void Stop() override { onSamples_ = nullptr; }
  void Pump(size_t n) {
    n = std::min(n, tone_->size() - *at_);
    std::span<const int16_t> part(tone_->data() + *at_, n);
    *at_ += n;
    if (onSamples_) onSamples_(part);
  }

 private:
  std::vector<int16_t>* tone_;
  size_t* at_;
  std::function<void(std::span<const int16_t>)> onSamples_;
};

// Everything written to any playback device, until the test plays it.
struct Speaker {
  struct Chunk {
    int device;
    std::vector<int16_t> samples;
    std::function<void()> played;
  };
  std::deque<Chunk> queued;
  std::vector<int16_t> heard;
  void PlayAll() {
    while (!queued.empty()) {
      Chunk c = std::move(queued.front());
      queued.pop_front();
      heard.insert(heard.end(), c.samples.begin(), c.samples.end());
      c.played();
    }
  }
};

class SpeakerSink : public audio::PcmSink {
 public:
  SpeakerSink(Speaker* speaker, int device) : speaker_(speaker), device_(device) {}
  bool Start() override { return true; }
  void Write(std::vector<int16_t> samples, std::function<void()> played) override {
    speaker_->queued.push_back({device_, std::move(samples), std::move(played)});
  }
  void Reset() override {
    std::erase_if(speaker_->queued, [this](const Speaker::Chunk& c) { return c.device == device_; });
  }
  void Close() override { Reset(); }

 private:
  Speaker* speaker_;
  int device_;
};

// A playback device that fails one chosen write, to test skipping.
class FlakyOutput : public audio::DecodingWaveOutput {
 public:
  FlakyOutput(std::unique_ptr<audio::PcmSink> sink, audio::OutputDone done, int failWrite)
      : DecodingWaveOutput(std::move(sink), std::move(done)), failWrite_(failWrite) {}
  bool Write(audio::WaveBuffer& b) override {
    return writes_++ == failWrite_ ? false : DecodingWaveOutput::Write(b);
  }

 private:
  int failWrite_;
  int writes_ = 0;
};

class TestDevices : public audio::AudioDevices {
 public:
  bool hasInput = true, hasOutput = true, openInput = true, openOutput = true;
  int failWrite = -1;  // index of a playback write that fails
  std::vector<int16_t> tone;
  size_t toneAt = 0;
  ToneSource* source = nullptr;  // of the open recording device
  Speaker speaker;
  int outputsOpened = 0;

  bool HasInput() const override { return hasInput; }
  bool HasOutput() const override { return hasOutput; }
  std::unique_ptr<audio::WaveInput> OpenInput(audio::InputDone done) override {
    if (!openInput) return nullptr;
    auto s = std::make_unique<ToneSource>(&tone, &toneAt);
    source = s.get();
    return std::make_unique<audio::EncodingWaveInput>(std::move(s), std::move(done));
  }
  std::unique_ptr<audio::WaveOutput> OpenOutput(audio::OutputDone done) override {
    if (!openOutput) return nullptr;
    ++outputsOpened;
    return std::make_unique<FlakyOutput>(std::make_unique<SpeakerSink>(&speaker, outputsOpened),
                                         std::move(done), failWrite);
  }
};
