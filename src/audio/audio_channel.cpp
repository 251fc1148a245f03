#include "audio/audio_channel.h"

#include <algorithm>
#include <filesystem>

#include "audio/audio_devices.h"
#include "audio/audio_lines.h"
#include "audio/sound_files.h"
#include "wire/wire.h"
#include "text/binary_escape.h"
#include "text/bytes.h"
#include "text/cp1251.h"
#include "text/shown_text.h"

namespace audio {

using text::W;

namespace {

constexpr uint32_t kBlock = 256;
constexpr size_t kMaxTracedPayload = 200;

// A peer's name ends up inside pane markup and file names: bytes that would
// end a tag or an attribute there are refused.
bool UsableSender(std::string_view name) {
  if (name.empty()) return false;
  return std::none_of(name.begin(), name.end(), [](char c) {
    return c == '<' || c == '>' || c == '"' || static_cast<unsigned char>(c) < 0x20;
  });
}

std::string Shortened(std::string_view s) {
  if (s.size() <= kMaxTracedPayload) return std::string(s);
  return std::string(s.substr(0, kMaxTracedPayload)) + "...";
}

std::string Join(const std::vector<std::string>& names) {
  std::string out;
  for (const auto& n : names) {
    if (!out.empty()) out += ",";
    out += n;
  }
  return out;
}

}  // namespace

AudioChannel::AudioChannel(AudioHost& host, AudioDevices& devices, ReceiveLimits limits)
    : host_(host), devices_(devices), limits_(limits) {}

AudioChannel::~AudioChannel() {
  alive_.reset();
  if (input_) {
    input_->Reset();
    input_->Close();
    input_.reset();
  }
  own_ = nullptr;
  receiving_.clear();
  for (auto& s : sounds_) {
    s->outputToken.reset();
    if (s->output) {
      s->output->Reset();
      s->output->Close();
    }
  }
}

void AudioChannel::PostSelf(std::function<void()> call) {
  host_.Post([alive = std::weak_ptr<bool>(alive_), call = std::move(call)] {
    if (alive.lock()) call();
  });
}

// ---- sounds ----------------------------------------------------------------

Sound* AudioChannel::Find(int id) {
  for (auto& s : sounds_)
    if (s->id == id) return s.get();
  return nullptr;
}

const Sound* AudioChannel::FindSound(int id) const {
  return const_cast<AudioChannel*>(this)->Find(id);
}

const Sound* AudioChannel::FindSoundByName(const std::string& name) const {
  for (const auto& s : sounds_)
    if (s->name == name) return s.get();
  return nullptr;
}

Sound& AudioChannel::NewSound(std::string name, bool autoDelete) {
  auto sound = std::make_unique<Sound>();
  do {
    sound->id = nextId_;
    nextId_ = nextId_ == INT32_MAX ? 1 : nextId_ + 1;
  } while (Find(sound->id));
  sound->name = std::move(name);
  sound->autoDelete = autoDelete;
  sounds_.push_back(std::move(sound));
  return *sounds_.back();
}

void AudioChannel::FreeSound(Sound* sound) {
  auto it = std::find_if(sounds_.begin(), sounds_.end(),
                         [sound](const auto& s) { return s.get() == sound; });
  if (it == sounds_.end()) return;
  // Notices still posted by this playback find its token gone.
  sound->outputToken.reset();
  if (sound->output) {
    sound->output->Reset();
    sound->output->Close();
    sound->output.reset();
  }
  for (auto r = receiving_.begin(); r != receiving_.end();)
    r = r->second == sound ? receiving_.erase(r) : std::next(r);
  if (own_ == sound) own_ = nullptr;
  if (sound->fromPeer) receivedBuffers_ -= sound->buffers.size();
  sounds_.erase(it);
}

// ---- recording --------------------------------------------------------------

void AudioChannel::StartRecording(const std::vector<std::string>& recipients) {
  if (Busy()) return;
  recipients_ = Join(recipients);
  if (!devices_.HasInput()) {
    host_.Trace(text::Shown("Не найдено подходящего устройства для записи звука", "No suitable sound recording device found"));
    return;
  }
  const uint64_t serial = ++recordingSerial_;
  input_ = devices_.OpenInput(
      [host = &host_, alive = std::weak_ptr<bool>(alive_), this, serial](WaveBuffer* b) {
        host->Post([alive, this, serial, b] {
          if (alive.lock()) OnInputBuffer(serial, b);
        });
      });
  if (!input_) {
    host_.Trace(text::Shown("Не могу открыть устройство для записи звука", "Cannot open the sound recording device"));
    return;
  }
  if (own_) FreeSound(own_);
  own_ = &NewSound("", false);
  bool started = QueueRecordBuffer() && QueueRecordBuffer();
  buffersDone_ = 0;
  stopPosition_.reset();
  if (started && !input_->Start()) {
    host_.Trace(text::Shown("Не могу начать запись звука", "Cannot start recording sound"));
    started = false;
  }
  if (!started) {
    CloseInput();
    FreeSound(own_);
    return;
  }
  recording_ = true;
}

bool AudioChannel::QueueRecordBuffer() {
  auto buffer = std::make_unique<WaveBuffer>();
  if (!input_->Prepare(*buffer)) {
    host_.Trace(text::Shown("Не могу подготовить новый блок памяти для записи", "Cannot prepare a new recording buffer"));
    return false;
  }
  if (!input_->AddBuffer(*buffer)) {
    input_->Unprepare(*buffer);
    host_.Trace(text::Shown("Не могу добавить новый блок памяти для записи", "Cannot add a new recording buffer"));
    return false;
  }
  own_->buffers.push_back(std::move(buffer));
  return true;
}

void AudioChannel::CloseInput() {
  if (!input_) return;
  input_->Reset();
  input_->Close();
  input_.reset();
}

void AudioChannel::StopRecording() {
  if (!recording_) return;
  recording_ = false;
  stopPosition_ = input_->Position();
  if (!stopPosition_) host_.Trace(text::Shown("Не могу определить положение записи", "Cannot get the recording position"));
  if (!input_->Stop()) host_.Trace(text::Shown("Не могу прекратить запись", "Cannot stop recording"));
  if (!input_->Reset()) host_.Trace(text::Shown("Не могу сбросить запись", "Cannot reset recording"));
  if (!input_->Close()) host_.Trace(text::Shown("Не могу закрыть устройство записи", "Cannot close the recording device"));
  host_.SetSendWavEnabled(false);
}

void AudioChannel::OnInputBuffer(uint64_t serial, WaveBuffer* buffer) {
  if (serial != recordingSerial_) return;
  // Keeps two buffers on the device while the button is held.
  if (recording_ && own_ && input_) QueueRecordBuffer();
  OnBufferRecorded(buffer);
}

void AudioChannel::OnBufferRecorded(WaveBuffer* buffer) {
  if (!own_) return;
  auto& list = own_->buffers;
  if (std::none_of(list.begin(), list.end(), [buffer](const auto& b) { return b.get() == buffer; }))
    return;
  // The buffer in which the button was released holds what was recorded up
  // to then, in whole ADPCM blocks.
  const int64_t start = buffersDone_ * WaveBuffer::kCapacity;
  if (!recording_ && stopPosition_ && *stopPosition_ >= start &&
      *stopPosition_ < start + WaveBuffer::kCapacity) {
    uint32_t bytes = static_cast<uint32_t>(*stopPosition_ % WaveBuffer::kCapacity);
    buffer->recorded = (bytes + kBlock - 1) / kBlock * kBlock;
  }
  buffer->length = std::min(buffer->recorded, WaveBuffer::kCapacity);
  if (host_.ServerOpen() && buffer->length > 0) host_.SendLine(DataLine(recipients_, buffer->Bytes()));
  ++buffersDone_;
  host_.SetAudioSize(text::Shown("Размер: ", "Size: ") + std::to_string(buffersDone_ * 1024 / 1000) + text::Shown(" кб", " KB"));
  if (!recording_ && buffer == list.back().get()) FinishRecording();
}

void AudioChannel::FinishRecording() {
  Sound& sound = *own_;
  for (auto& b : sound.buffers)
    if (input_ && b->prepared) input_->Unprepare(*b);
  std::erase_if(sound.buffers, [](const auto& b) { return b->length == 0; });
  sound.RecomputeTotal();
  if (host_.ServerOpen()) host_.SendLine(EndLine(recipients_));
  host_.SetAudioSize("");
  host_.AddPrivLine(SentSoundLine(recipients_, sound.total, sound.id));
  if (settings_.createArchive && settings_.sndArchiving) Keep(sound, "--" + recipients_);
  own_ = nullptr;
  input_.reset();
  host_.SetSendWavEnabled(true);
}

// ---- receiving ---------------------------------------------------------------

void AudioChannel::HandlePacket(std::string_view payload, bool escaped) {
  std::string_view rest = payload.size() > 2 ? payload.substr(2) : std::string_view();
  // Only the escaped server form may close with a "|" (its data never holds
  // one); a raw packet from a link keeps every byte, a final 0x7C included.
  if (escaped && !rest.empty() && rest.back() == '|') rest.remove_suffix(1);
  size_t bar = rest.find('|');
  if (bar == std::string_view::npos) {
    host_.Trace(text::Shown("Неизвестная аудиокоманда: ", "Unknown audio command: ") + Shortened(payload));
    return;
  }
  std::string sender = wire::UnescapeField(rest.substr(0, bar));
  std::string_view packet = rest.substr(bar + 1);
  if (!UsableSender(sender)) {
    host_.Trace(text::Shown("Неверный пакет при приеме звука, пропущен", "Bad packet while receiving sound, skipped"));
    return;
  }
  if (sender != host_.UserName() && host_.IsBlackListed(sender)) return;
  if (packet.empty()) return;
  switch (packet[0]) {
    case '0': {
      std::optional<std::string> data;
      if (escaped)
        data = text::UnescapeBinary(packet, WaveBuffer::kCapacity);
      else if (packet.size() - 1 <= WaveBuffer::kCapacity)
        data = std::string(packet.substr(1));
      if (!data || data->empty()) {
        host_.Trace(text::Shown("Неверный пакет при приеме звука, пропущен", "Bad packet while receiving sound, skipped"));
        return;
      }
      AddReceivedData(sender, std::move(*data));
      break;
    }
    case '1':
      FinishReceived(sender);
      break;
    case '2':
      host_.HandlePicturePacket(sender, std::string(packet), escaped);
      break;
    default:
      break;
  }
}

void AudioChannel::AddReceivedData(const std::string& sender, std::string data) {
  auto it = receiving_.find(sender);
  if (it == receiving_.end() && receiving_.size() >= limits_.sendersAtOnce) {
    host_.Trace(text::Shown("Слишком много звуковых сообщений сразу, пакет от ", "Too many sound messages at once, packet from ") + sender + text::Shown(" пропущен", " skipped"));
    return;
  }
  // Finished messages give way to new ones: the oldest go first, so only
  // what is still being received can fill the bound for good.
  if (receivedBuffers_ >= limits_.buffersInTotal) FreeOldestFinished();
  if (receivedBuffers_ >= limits_.buffersInTotal ||
      (it != receiving_.end() && it->second->buffers.size() >= limits_.buffersPerSound)) {
    // One report per message, not one per packet of a flood.
    Sound* over = it != receiving_.end() ? it->second : nullptr;
    if (!over || !over->overLimit)
      host_.Trace(text::Shown("Звуковое сообщение от ", "Sound message from ") + sender + text::Shown(" слишком длинное, пакет пропущен", " is too long, packet skipped"));
    if (over) over->overLimit = true;
    return;
  }
  Sound* sound;
  if (it == receiving_.end()) {
    sound = &NewSound(sender, false);
    sound->fromPeer = true;
    receiving_[sender] = sound;
  } else {
    sound = it->second;
  }
  auto buffer = std::make_unique<WaveBuffer>();
  std::copy(data.begin(), data.end(), buffer->data.begin());
  buffer->length = buffer->recorded = static_cast<uint32_t>(data.size());
  sound->total += buffer->length;
  sound->buffers.push_back(std::move(buffer));
  ++receivedBuffers_;
}

// Frees the oldest received sound that is no longer being received, one
// that is not playing before one that is.  Its line stays; its links then
// name no live sound and do nothing.
void AudioChannel::FreeOldestFinished() {
  auto receiving = [this](const Sound* s) {
    return std::any_of(receiving_.begin(), receiving_.end(), [s](const auto& r) { return r.second == s; });
  };
  for (bool playing : {false, true})
    for (auto& s : sounds_)
      if (s->fromPeer && !s->buffers.empty() && s->playing == playing && !receiving(s.get())) {
        host_.Trace(text::Shown("Звуковое сообщение от ", "Sound message from ") + s->name + text::Shown(" освобождено: слишком много звука в памяти", " released: too much sound in memory"));
        FreeSound(s.get());
        return;
      }
}

void AudioChannel::FinishReceived(const std::string& sender) {
  auto it = receiving_.find(sender);
  if (it == receiving_.end()) {
    host_.Trace(text::Shown("FinishAndPlay:: не найден текущий звук???", "FinishAndPlay:: current sound not found???"));
    return;
  }
  Sound& sound = *it->second;
  if (settings_.playNow && !settings_.muted)
    Play(sound);
  else
    host_.ReactToMessage(settings_.muted);
  receiving_.erase(it);
  host_.AddPrivLine(ReceivedSoundLine(sender, sound.total, sound.id));
  if (settings_.createArchive && settings_.sndArchiving) Keep(sound, sender);
}

// ---- playback ----------------------------------------------------------------

void AudioChannel::Play(Sound& sound) {
  if (sound.playing || sound.buffers.empty()) return;
  if (!devices_.HasOutput()) {
    host_.Trace(text::Shown("Не найдено подходящего устройства для воспроизведения", "No suitable playback device found"));
    return;
  }
  auto token = std::make_shared<int>(sound.id);
  auto output = devices_.OpenOutput(
      [host = &host_, alive = std::weak_ptr<bool>(alive_), weak = std::weak_ptr<int>(token),
       this](WaveBuffer* b) {
        host->Post([alive, weak, this, b] {
          if (alive.lock()) OnPlayed(weak, b);
        });
      });
  if (!output) {
    host_.Trace(text::Shown("Не могу открыть устройство для воспроизведения", "Cannot open the playback device"));
    return;
  }
  sound.output = std::move(output);
  sound.outputToken = token;
  sound.outstanding = 0;
  for (auto& b : sound.buffers) {
    if (!sound.output->Prepare(*b) || !sound.output->Write(*b)) {
      if (b->prepared) sound.output->Unprepare(*b);
      host_.Trace(text::Shown("Неверный блок для воспроизведения, пропущен", "Bad playback block, skipped"));
      continue;
    }
    ++sound.outstanding;
  }
  if (sound.outstanding > 0) {
    sound.playing = true;
  } else {
    sound.output->Close();
    sound.output.reset();
    sound.outputToken.reset();
  }
}

void AudioChannel::OnPlayed(const std::weak_ptr<int>& weak, WaveBuffer* buffer) {
  auto token = weak.lock();
  if (!token) return;  // that playback was torn down with its sound
  auto it = std::find_if(sounds_.begin(), sounds_.end(),
                         [&](const auto& s) { return s->outputToken == token; });
  if (it == sounds_.end()) {
    host_.Trace(text::Shown("CheckLast:: не найден звук???", "CheckLast:: sound not found???"));
    return;
  }
  Sound& sound = **it;
  if (buffer->prepared) sound.output->Unprepare(*buffer);
  // The playback ends with the last buffer handed back, even when some
  // buffer could not be written.
  if (sound.outstanding > 0 && --sound.outstanding == 0) EndPlayback(sound);
}

void AudioChannel::EndPlayback(Sound& sound) {
  if (!sound.output->Close()) host_.Trace("Can't close waveout device");
  sound.output.reset();
  sound.outputToken.reset();
  sound.playing = false;
  if (sound.autoDelete) FreeSound(&sound);
}

void AudioChannel::Stop(Sound& sound) {
  if (sound.playing && !sound.output->Reset())
    host_.Trace(text::Shown("Не могу прекратить воспроизведение", "Cannot stop playback"));
}

// ---- links --------------------------------------------------------------------

bool AudioChannel::HandleLink(const std::string& target) {
  if (target.size() < 6) return false;
  const std::string command = target.substr(0, 6);
  const std::string rest = target.substr(6);
  if (command == "::PlAr") {
    PlayKept(rest);
    return true;
  }
  if (command != "::Play" && command != "::Stop" && command != "::Delt" && command != "::Save" &&
      command != "::Arch")
    return false;
  size_t dash = command == "::Arch" ? rest.find('-') : std::string::npos;
  std::optional<int32_t> id = text::ParseInt(rest.substr(0, dash));
  Sound* sound = id ? Find(*id) : nullptr;
  if (!sound) return true;
  if (command == "::Play") {
    Play(*sound);
  } else if (command == "::Stop") {
    Stop(*sound);
  } else if (command == "::Delt") {
    Stop(*sound);
    PostSelf([this, id = *id] { RemoveLines(id); });
  } else if (command == "::Save") {
    std::optional<std::string> path = host_.AskSavePath();
    // The dialog ran its own event loop: the sound may be gone by now.
    sound = Find(*id);
    if (path && sound && !WriteSoundFile(*path, *sound))
      host_.Trace(text::Shown("Не могу сохранить звуковое сообщение", "Cannot save the sound message"));
  } else if (dash != std::string::npos) {
    Keep(*sound, rest.substr(dash + 1));
  }
  return true;
}

void AudioChannel::RemoveLines(int id) {
  for (const std::string& part : PlayLinksOf(id))
    for (int guard = 0; guard < 1000 && host_.DeletePrivLine(part); ++guard) {
    }
  // The pane frees the sound through OnPrivLineRemoved; one whose line was
  // already gone goes too.
  Sound* sound = Find(id);
  if (sound && sound != own_) FreeSound(sound);
}

void AudioChannel::OnPrivLineRemoved(const std::string& markup) {
  // Found by its target, which is the same in both languages.
  static const std::string play = "\"::Play";
  size_t at = markup.find(play);
  if (at == std::string::npos) return;
  at += play.size();
  size_t end = at;
  while (end < markup.size() && end - at < 10 && markup[end] >= '0' && markup[end] <= '9') ++end;
  std::optional<int32_t> id = text::ParseInt(std::string_view(markup).substr(at, end - at));
  Sound* sound = id ? Find(*id) : nullptr;
  if (!sound || sound == own_) return;
  for (const auto& r : receiving_)
    if (r.second == sound) return;
  FreeSound(sound);
}

// ---- keeping -------------------------------------------------------------------

text::KeptFolder& AudioChannel::KeptSounds() {
  const std::string dir = host_.ProgramDir() + "Sounds/";
  if (!keptSounds_ || keptSounds_->Dir() != dir) keptSounds_ = std::make_unique<text::KeptFolder>(dir, keepLimits_);
  return *keptSounds_;
}

void AudioChannel::Keep(Sound& sound, std::string name) {
  bool own = text::StartsWith(name, "--");
  if (own) name.erase(0, 2);
  text::KeptFolder& folder = KeptSounds();
  const std::string data = SoundData(sound);
  if (!folder.HasRoom(data.size())) {
    host_.Trace(text::Shown("Звуковое сообщение не сохранено: папка Sounds заполнена", "Sound message not saved: the Sounds folder is full"));
    return;
  }
  // Numbers are shared by all senders; the folder remembers where each
  // name's free numbers start, so no file is ever probed twice.
  auto fileNameOf = [&name](int n) { return KeptSoundFileName(name + std::to_string(n)); };
  const int number = folder.NextFreeNumber(name, settings_.lastWav, fileNameOf);
  if (!folder.Keep(fileNameOf(number), data)) {
    host_.Trace(text::Shown("Не могу сохранить звуковое сообщение", "Cannot save the sound message"));
    return;
  }
  const std::string link = ReplayLink(name, number);
  // The file is kept either way; the private archive is written only while
  // it is switched on.
  if (settings_.createArchive)
    host_.AppendArchive(own ? OwnArchiveEntry(wire::ColorToWire(settings_.backColor),
                                              wire::ColorToWire(settings_.textColor), name, link)
                            : ReceivedArchiveEntry(name, link));
  settings_.lastWav = number < INT32_MAX ? number + 1 : number;
  host_.StoreLastWav(settings_.lastWav);
  PostSelf([this, id = sound.id] {
    for (const std::string& part : ArchiveLinkStartsOf(id)) host_.CutPrivLine(part);
  });
}

void AudioChannel::PlayKept(const std::string& base) {
  if (FindSoundByName(base)) return;
  std::optional<std::string> bytes = ReadKeptFile(KeptSoundPath(host_.ProgramDir(), base));
  // A missing or unreadable file leaves nothing behind: an empty sound
  // would live for ever and block every later replay of the same file.
  if (!bytes) return;
  Sound& sound = NewSound(base, true);
  for (size_t at = 0; at < bytes->size(); at += WaveBuffer::kCapacity) {
    auto buffer = std::make_unique<WaveBuffer>();
    size_t n = std::min<size_t>(WaveBuffer::kCapacity, bytes->size() - at);
    std::copy_n(bytes->data() + at, n, buffer->data.begin());
    buffer->length = buffer->recorded = static_cast<uint32_t>(n);
    sound.buffers.push_back(std::move(buffer));
  }
  sound.RecomputeTotal();
  Play(sound);
  if (!sound.playing) FreeSound(&sound);
}

}  // namespace audio
