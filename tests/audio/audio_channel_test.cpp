#include "audio/audio_channel.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "audio_files.h"
#include "audio_test_kit.h"
#include "audio/adpcm.h"
#include "audio/audio_lines.h"
#include "audio/sound_files.h"
#include "wire/wire.h"
#include "text/binary_escape.h"
#include "text/bytes.h"
#include "text/cp1251.h"

namespace {

using text::W;

class Channel : public ::testing::Test {
 protected:
  void SetUp() override {
    devices.tone = PcmFile("tone-440-8k.wav");
    ASSERT_EQ(devices.tone.size(), 8000u);
    channel = std::make_unique<audio::AudioChannel>(host, devices, limits);
    host.channel = channel.get();
  }
  void TearDown() override {
    host.channel = nullptr;
    channel.reset();
    host.Drain();  // notices posted for a channel that is gone do nothing
  }

  // Holds the button for `samples` samples of the tone, handing them over
  // in 10 ms pieces as a sound card does, then releases it.
  void Record(size_t samples, std::vector<std::string> to = {"Bob"}) {
    channel->StartRecording(to);
    ASSERT_TRUE(channel->Recording());
    for (size_t done = 0; done < samples; done += 80) {
      devices.source->Pump(std::min<size_t>(80, samples - done));
      host.Drain();
    }
    channel->StopRecording();
    EXPECT_FALSE(host.sendWavEnabled);
    host.Drain();
  }

  // A packet as the server relays it: "f|" + escaped sender + "|" + packet.
  void FromServer(const std::string& sender, const std::string& packet) {
    channel->HandlePacket("f|" + wire::EscapeField(sender) + "|" + packet, true);
  }
  void SendAudio(const std::string& sender, const std::string& data) {
    FromServer(sender, text::EscapeBinary(data, '0'));
  }

  // The data of a sent data line.
  static std::string LineData(const std::string& line) {
    size_t second = line.find('\xA6', 2);
    std::string escaped = line.substr(second + 1, line.size() - second - 3);
    return text::UnescapeBinary(escaped, 1 << 20).value_or("?");
  }

  const audio::Sound* Only() const {
    return channel->SoundCount() == 1 ? channel->FindSoundByName("") : nullptr;
  }

  FakeHost host;
  TestDevices devices;
  audio::ReceiveLimits limits;
  std::unique_ptr<audio::AudioChannel> channel;
};

TEST_F(Channel, ARecordingStreamsFullBuffersThenTheRoundedRestAndAnEndLine) {
  Record(2400);  // 0.3 s: one full buffer, then 400 samples into the next
  ASSERT_EQ(host.sent.size(), 3u);
  EXPECT_TRUE(host.sent[0].starts_with("f\xA6" "Bob\xA6" "0"));
  std::string first = LineData(host.sent[0]), second = LineData(host.sent[1]);
  EXPECT_EQ(first.size(), 1024u);
  EXPECT_EQ(second.size(), 256u);
  EXPECT_EQ(host.sent[2], "f\xA6" "Bob\xA6" "1\xA6\n");

  // What went out is the tone, ADPCM-encoded.
  std::vector<int16_t> heard = audio::Decode(first + second);
  ASSERT_GE(heard.size(), 2400u);
  for (size_t i = 0; i < 2400; ++i) ASSERT_NEAR(heard[i], devices.tone[i], 3000) << i;

  const audio::Sound* own = Only();
  ASSERT_TRUE(own);
  EXPECT_EQ(own->total, 1280);
  EXPECT_EQ(own->buffers.size(), 2u);
  ASSERT_EQ(host.priv.size(), 1u);
  std::string n = std::to_string(own->id);
  EXPECT_EQ(host.priv[0], W("Послано для <link=\"Bob\"Для Bob:>: Звуковое сообщение, размер 1280, "
                            "<link=\"Воспроизвести\"::Play") + n +
                              W(">, <link=\"Прервать\"::Stop") + n + W(">, <link=\"Удалить\"::Delt") +
                              n + W(">, <link=\"Сохранить\"::Save") + n +
                              W(">, <link=\"В архив\"::Arch") + n + "---Bob>");
  EXPECT_EQ(host.audioSize, "");
  EXPECT_TRUE(host.sendWavEnabled);
  EXPECT_FALSE(channel->Busy());
  EXPECT_TRUE(host.traces.empty());
}

TEST_F(Channel, ABufferThatComesBackEmptyIsNeitherSentNorKept) {
  Record(2000);  // exactly one buffer
  ASSERT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(LineData(host.sent[0]).size(), 1024u);
  EXPECT_EQ(host.sent[1], "f\xA6" "Bob\xA6" "1\xA6\n");
  ASSERT_TRUE(Only());
  EXPECT_EQ(Only()->buffers.size(), 1u);
  EXPECT_EQ(Only()->total, 1024);
}

TEST_F(Channel, WithTheServerClosedNothingIsSentButTheSoundIsAnnounced) {
  host.serverOpen = false;
  Record(3000);
  EXPECT_TRUE(host.sent.empty());
  ASSERT_EQ(host.priv.size(), 1u);
  EXPECT_NE(host.priv[0].find(W("размер 1536")), std::string::npos) << host.priv[0];
}

TEST_F(Channel, RecordingThatCannotStartLeavesNoRecordingBehind) {
  devices.hasInput = false;
  channel->StartRecording({"Bob"});
  EXPECT_FALSE(channel->Recording());
  devices.hasInput = true;
  devices.openInput = false;
  channel->StartRecording({"Bob"});
  EXPECT_FALSE(channel->Recording());
  EXPECT_FALSE(channel->Busy());
  EXPECT_EQ(host.traces, (std::vector<std::string>{W("Не найдено подходящего устройства для записи звука"),
                                                   W("Не могу открыть устройство для записи звука")}));
  // A release without a recording does nothing.
  channel->StopRecording();
  EXPECT_TRUE(host.sendWavEnabled);
  EXPECT_EQ(channel->SoundCount(), 0u);
}

TEST_F(Channel, APressWhileTheLastMessageIsFinishingIsIgnored) {
  channel->StartRecording({"Bob"});
  devices.source->Pump(600);
  channel->StopRecording();
  channel->StartRecording({"Carol"});  // before the buffers came back
  EXPECT_FALSE(channel->Recording());
  host.Drain();
  ASSERT_EQ(host.priv.size(), 1u);
  EXPECT_NE(host.priv[0].find("Bob"), std::string::npos);
  EXPECT_EQ(host.sent.back(), "f\xA6" "Bob\xA6" "1\xA6\n");
}

// ---- receiving ---------------------------------------------------------------

TEST_F(Channel, ReceivedAudioIsCollectedAnnouncedAndPlayedAtOnce) {
  audio::AudioSettings s;
  s.playNow = true;
  channel->SetSettings(s);
  std::string blocks = audio::Encode(std::span(devices.tone).subspan(0, 3000));  // 1536 bytes
  // Every byte the escaping must carry occurs in real data.
  SendAudio("Bob", blocks.substr(0, 1024));
  SendAudio("Bob", blocks.substr(1024));
  EXPECT_EQ(channel->ReceivingCount(), 1u);
  FromServer("Bob", "1");
  EXPECT_EQ(channel->ReceivingCount(), 0u);
  const audio::Sound* sound = channel->FindSoundByName("Bob");
  ASSERT_TRUE(sound);
  EXPECT_EQ(sound->total, 1536);
  EXPECT_EQ(audio::SoundData(*sound), blocks);
  EXPECT_TRUE(sound->playing);
  ASSERT_EQ(host.priv.size(), 1u);
  std::string n = std::to_string(sound->id);
  EXPECT_EQ(host.priv[0], W("От <b><link=\"Bob\"Bob></b>: Звуковое сообщение, размер 1536, "
                            "<link=\"Воспроизвести\"::Play") + n + W(">, <link=\"Прервать\"::Stop") +
                              n + W(">, <link=\"Удалить\"::Delt") + n +
                              W(">, <link=\"Сохранить\"::Save") + n +
                              W(">, <link=\"В архив\"::Arch") + n + "-Bob>");
  EXPECT_TRUE(host.reactions.empty());

  // Per-buffer completion: the playback ends with the last buffer.
  devices.speaker.PlayAll();
  host.Drain();
  EXPECT_FALSE(sound->playing);
  EXPECT_EQ(devices.speaker.heard, audio::Decode(blocks));
  EXPECT_EQ(channel->SoundCount(), 1u);  // lives on with its line
  // Played again from its link.
  EXPECT_TRUE(channel->HandleLink("::Play" + n));
  EXPECT_TRUE(sound->playing);
  EXPECT_EQ(devices.outputsOpened, 2);
}

TEST_F(Channel, RawPacketsFromADirectLinkAndTwoMessagesInARow) {
  std::string data(700, '\x11');
  data[5] = '|';
  data[6] = '\n';
  data[7] = '\0';
  channel->HandlePacket("f|Bob|0" + data, false);
  channel->HandlePacket("f|Bob|1", false);
  channel->HandlePacket("f|Bob|0" + data.substr(0, 100), false);
  channel->HandlePacket("f|Bob|1", false);
  ASSERT_EQ(channel->SoundCount(), 2u);
  ASSERT_EQ(host.priv.size(), 2u);
  EXPECT_NE(host.priv[0].find(W("размер 700,")), std::string::npos);
  EXPECT_NE(host.priv[1].find(W("размер 100,")), std::string::npos);
  // Neither played (PlayNow is off): the private-message reaction instead.
  EXPECT_EQ(host.reactions, (std::vector<bool>{false, false}));
  EXPECT_TRUE(devices.speaker.queued.empty());
}

TEST_F(Channel, ARawPacketKeepsAFinalBarOnlyTheEscapedFormClosesWithOne) {
  // ADPCM data may end with 0x7C; over a link it arrives as it is.
  const std::string data = std::string(255, '\x11') + "|";
  channel->HandlePacket("f|Bob|0" + data, false);
  channel->HandlePacket("f|Bob|1", false);
  const audio::Sound* raw = channel->FindSoundByName("Bob");
  ASSERT_TRUE(raw);
  EXPECT_EQ(audio::SoundData(*raw), data);
  EXPECT_NE(host.priv.back().find(W("размер 256,")), std::string::npos);

  // The server form carries the bar escaped and may close with a bare one.
  channel->HandlePacket("f|Carol|" + text::EscapeBinary(data, '0') + "|", true);
  channel->HandlePacket("f|Carol|1|", true);
  const audio::Sound* escaped = channel->FindSoundByName("Carol");
  ASSERT_TRUE(escaped);
  EXPECT_EQ(audio::SoundData(*escaped), data);

  // A picture over a link keeps its last byte as well.
  channel->HandlePacket("f|Bob|2Pxy|", false);
  channel->HandlePacket("f|Bob|2Pxy|", true);
  EXPECT_EQ(host.pictures, (std::vector<std::string>{"Bob:2Pxy|", "Bob:2Pxy"}));
  EXPECT_TRUE(host.traces.empty());
}

TEST_F(Channel, MutedPlayNowNeitherPlaysNorSounds) {
  audio::AudioSettings s;
  s.playNow = true;
  s.muted = true;
  channel->SetSettings(s);
  SendAudio("Bob", std::string(256, '\x22'));
  FromServer("Bob", "1");
  EXPECT_EQ(devices.outputsOpened, 0);
  EXPECT_EQ(host.reactions, std::vector<bool>{true});
}

TEST_F(Channel, MalformedPacketsAreReportedAndDropped) {
  SendAudio("Bob", "kept");
  const std::string bad = W("Неверный пакет при приеме звука, пропущен");
  channel->HandlePacket("f|Bob|0" + std::string(1025, 'x'), false);  // over a buffer
  EXPECT_EQ(host.traces.back(), bad);
  FromServer("Bob", "0" + std::string(1025, 'x'));
  EXPECT_EQ(host.traces.back(), bad);
  FromServer("Bob", std::string("0ab\x0F", 4));  // ends inside an escape
  EXPECT_EQ(host.traces.back(), bad);
  FromServer("Bob", "0");  // no data at all
  EXPECT_EQ(host.traces.back(), bad);
  FromServer("<b>Bob", "0x");  // a name that would break the pane's markup
  EXPECT_EQ(host.traces.back(), bad);
  channel->HandlePacket("f|no bar here", true);
  EXPECT_EQ(host.traces.back(), W("Неизвестная аудиокоманда: ") + "f|no bar here");
  channel->HandlePacket("", true);
  EXPECT_EQ(host.traces.back(), W("Неизвестная аудиокоманда: "));
  FromServer("Carol", "1");
  EXPECT_EQ(host.traces.back(), W("FinishAndPlay:: не найден текущий звук???"));
  size_t traces = host.traces.size();
  FromServer("Bob", "9whatever");  // unknown kinds are ignored
  EXPECT_EQ(host.traces.size(), traces);

  // The sound being received kept only the good packet.
  FromServer("Bob", "1");
  const audio::Sound* sound = channel->FindSoundByName("Bob");
  ASSERT_TRUE(sound);
  EXPECT_EQ(audio::SoundData(*sound), "kept");
  EXPECT_EQ(channel->SoundCount(), 1u);
}

TEST_F(Channel, BlackListedSendersAreIgnoredButNeverTheUserHimself) {
  host.blackList = {"Mallory", "Alice"};
  SendAudio("Mallory", "abc");
  FromServer("Mallory", "1");
  EXPECT_EQ(channel->SoundCount(), 0u);
  SendAudio("Alice", "abc");
  FromServer("Alice", "1");
  EXPECT_EQ(channel->SoundCount(), 1u);
  // A sender name arrives escaped and is shown decoded.
  SendAudio("50%;off", "abc");
  FromServer("50%;off", "1");
  ASSERT_TRUE(channel->FindSoundByName("50%;off"));
  // Picture packets go on to the picture handler.
  FromServer("Bob", "2Pxyz");
  EXPECT_EQ(host.pictures, std::vector<std::string>{"Bob:2Pxyz"});
}

// A channel with small bounds: 3 buffers per sound, 5 in all, 2 senders at once.
class ChannelLimits : public ::testing::Test {
 protected:
  ChannelLimits() { host.channel = &channel; }
  ~ChannelLimits() override { host.channel = nullptr; }
  void Send(const std::string& who, const std::string& packet) {
    channel.HandlePacket("f|" + who + "|" + packet, false);
  }

  FakeHost host;
  TestDevices devices;
  audio::ReceiveLimits limits{3, 5, 2};
  audio::AudioChannel channel{host, devices, limits};
};

TEST_F(ChannelLimits, APeerCannotMakeTheClientHoldWithoutBound) {
  for (int i = 0; i < 10; ++i) Send("Bob", "0x");
  EXPECT_EQ(channel.HeldBuffers(), 3u);  // per sound
  EXPECT_EQ(host.traces.size(), 1u);     // reported once, not per packet
  Send("Carol", "0x");
  Send("Dave", "0x");  // a third sender at once
  EXPECT_EQ(channel.ReceivingCount(), 2u);
  Send("Carol", "0x");
  Send("Carol", "0x");  // the total is reached
  EXPECT_EQ(channel.HeldBuffers(), 5u);
  Send("Bob", "1");
  Send("Carol", "1");
  EXPECT_EQ(channel.SoundCount(), 2u);
  // Freeing a sound makes room again.
  ASSERT_TRUE(host.DeletePrivLine("Bob"));
  EXPECT_EQ(channel.HeldBuffers(), 2u);
  Send("Dave", "0x");
  EXPECT_EQ(channel.HeldBuffers(), 3u);
}

TEST_F(ChannelLimits, FinishedMessagesGiveWayToNewOnesOldestAndSilentFirst) {
  for (int i = 0; i < 2; ++i) Send("Carol", "0c");
  Send("Carol", "1");
  for (int i = 0; i < 3; ++i) Send("Bob", "0b");
  Send("Bob", "1");
  ASSERT_EQ(channel.HeldBuffers(), 5u);
  const int carol = channel.FindSoundByName("Carol")->id, bob = channel.FindSoundByName("Bob")->id;
  ASSERT_TRUE(channel.HandleLink("::Play" + std::to_string(carol)));
  ASSERT_TRUE(channel.FindSound(carol)->playing);

  // Bob's message goes before the older one that is playing.
  Send("Dave", "0d");
  EXPECT_FALSE(channel.FindSound(bob));
  EXPECT_TRUE(channel.FindSound(carol));
  EXPECT_EQ(channel.HeldBuffers(), 3u);
  EXPECT_EQ(host.priv.size(), 2u);  // its line stays, its links name nothing
  EXPECT_TRUE(channel.HandleLink("::Play" + std::to_string(bob)));
  EXPECT_EQ(devices.outputsOpened, 1);

  Send("Dave", "0d");
  Send("Dave", "0d");
  Send("Erin", "0e");  // then the playing one, its playback ended
  EXPECT_FALSE(channel.FindSound(carol));
  EXPECT_TRUE(devices.speaker.queued.empty());
  EXPECT_EQ(channel.HeldBuffers(), 4u);

  // What is still being received alone fills the bound: now packets drop.
  Send("Erin", "0e");
  const size_t traces = host.traces.size();
  Send("Erin", "0e");
  EXPECT_EQ(channel.HeldBuffers(), 5u);
  EXPECT_EQ(channel.ReceivingCount(), 2u);
  EXPECT_EQ(host.traces.size(), traces + 1);
  Send("Dave", "1");
  Send("Erin", "1");
  EXPECT_EQ(audio::SoundData(*channel.FindSoundByName("Erin")), "ee");
  EXPECT_EQ(channel.SoundCount(), 2u);
  host.channel = nullptr;
  host.Drain();
}

// ---- playback and links --------------------------------------------------------

TEST_F(Channel, StopAndDeleteEndThePlaybackAndFreeTheSound) {
  SendAudio("Bob", std::string(1024, '\x01'));
  SendAudio("Bob", std::string(1024, '\x02'));
  FromServer("Bob", "1");
  int id = channel->FindSoundByName("Bob")->id;
  std::string n = std::to_string(id);
  channel->HandleLink("::Play" + n);
  ASSERT_TRUE(channel->FindSound(id)->playing);
  channel->HandleLink("::Stop" + n);
  host.Drain();
  EXPECT_FALSE(channel->FindSound(id)->playing);
  EXPECT_TRUE(devices.speaker.queued.empty());

  channel->HandleLink("::Play" + n);
  channel->HandleLink("::Delt" + n);
  EXPECT_TRUE(channel->FindSound(id));  // the line goes by a posted message
  host.Drain();
  EXPECT_FALSE(channel->FindSound(id));
  EXPECT_TRUE(host.priv.empty());
  EXPECT_TRUE(devices.speaker.queued.empty());
  // Links to a sound that is gone, or that is not ours, do nothing.
  EXPECT_TRUE(channel->HandleLink("::Play" + n));
  EXPECT_TRUE(channel->HandleLink("::Playabc"));
  EXPECT_FALSE(channel->HandleLink("::Open1"));
  EXPECT_TRUE(host.traces.empty()) << host.traces[0];
}

TEST_F(Channel, ASkippedBufferDoesNotStopTheOthersNorTheEnd) {
  devices.failWrite = 2;  // the last one: the others still end the playback
  for (char c : {'\x01', '\x02', '\x03'}) SendAudio("Bob", std::string(256, c));
  FromServer("Bob", "1");
  const audio::Sound* sound = channel->FindSoundByName("Bob");
  channel->HandleLink("::Play" + std::to_string(sound->id));
  EXPECT_EQ(host.traces, std::vector<std::string>{W("Неверный блок для воспроизведения, пропущен")});
  ASSERT_TRUE(sound->playing);
  devices.speaker.PlayAll();
  host.Drain();
  EXPECT_FALSE(sound->playing);
  EXPECT_EQ(devices.speaker.heard.size(), 1000u);
}

TEST_F(Channel, PlaybackWithoutADeviceIsReported) {
  SendAudio("Bob", "abc");
  FromServer("Bob", "1");
  std::string n = std::to_string(channel->FindSoundByName("Bob")->id);
  devices.hasOutput = false;
  channel->HandleLink("::Play" + n);
  devices.hasOutput = true;
  devices.openOutput = false;
  channel->HandleLink("::Play" + n);
  EXPECT_EQ(host.traces, (std::vector<std::string>{W("Не найдено подходящего устройства для воспроизведения"),
                                                   W("Не могу открыть устройство для воспроизведения")}));
}

TEST_F(Channel, ThePaneRemovingALineFreesItsSound) {
  SendAudio("Bob", "abc");
  FromServer("Bob", "1");
  SendAudio("Bob", "abc");  // still being received: it has no line yet
  ASSERT_EQ(channel->SoundCount(), 2u);
  channel->OnPrivLineRemoved("just text");
  channel->OnPrivLineRemoved(W("<link=\"Воспроизвести\"::Play99999999999>"));
  EXPECT_EQ(channel->SoundCount(), 2u);
  std::string line = host.priv[0];
  host.priv.clear();
  channel->OnPrivLineRemoved(line);
  EXPECT_EQ(channel->SoundCount(), 1u);
  EXPECT_EQ(channel->ReceivingCount(), 1u);
}

// ---- keeping and replay --------------------------------------------------------

TEST_F(Channel, KeptSoundsGoToSoundsWithTheNextFreeNumberAndIntoTheArchive) {
  audio::AudioSettings s;
  s.createArchive = s.sndArchiving = true;
  s.lastWav = 4;
  channel->SetSettings(s);
  host.dir.Put("dummy", "");
  std::filesystem::create_directories(host.dir.File("Sounds"));
  host.dir.Put("Sounds/Bob4.cwv", "taken");

  SendAudio("Bob", "first");
  FromServer("Bob", "1");
  host.Drain();
  EXPECT_EQ(host.dir.Get("Sounds/Bob5.cwv"), "first");
  EXPECT_EQ(host.dir.Get("Sounds/Bob4.cwv"), "taken");
  ASSERT_EQ(host.archive.size(), 1u);
  EXPECT_EQ(host.archive[0], W("#ffffff|#000000|00:00 <b>Bob:</b> Звуковое сообщение "
                               "<link=\"Воспроизвести\"::PlArBob5>"));
  EXPECT_EQ(channel->Settings().lastWav, 6);
  EXPECT_EQ(host.storedLastWav.back(), 6);
  // Its line lost the archive link, so it cannot be kept twice.
  ASSERT_EQ(host.priv.size(), 1u);
  EXPECT_EQ(host.priv[0].find("::Arch"), std::string::npos);
  EXPECT_TRUE(host.priv[0].ends_with(W("<link=\"Сохранить\"::Save") +
                                     std::to_string(channel->FindSoundByName("Bob")->id) + ">"));

  SendAudio("Bob", "second");
  FromServer("Bob", "1");
  EXPECT_EQ(host.dir.Get("Sounds/Bob6.cwv"), "second");

  // The own recording is kept under its recipients, with the own colours.
  s = channel->Settings();
  s.backColor = "0000ff";  // red, as BBGGRR
  s.textColor = "00ff00";
  channel->SetSettings(s);
  Record(2000);
  EXPECT_EQ(host.dir.Get("Sounds/Bob7.cwv").size(), 1024u);
  EXPECT_EQ(host.archive.back(), W("#ff0000|#00ff00|(Послано-->Bob): Звуковое сообщение "
                                   "<link=\"Воспроизвести\"::PlArBob7>"));
  EXPECT_EQ(host.priv.back().find("::Arch"), std::string::npos);
}

TEST_F(Channel, SoundsStopsAtItsBoundCountingTheFolderOnceAndWritingWholeFiles) {
  audio::AudioSettings s;
  s.createArchive = s.sndArchiving = true;
  s.lastWav = 1;
  channel->SetSettings(s);
  channel->SetKeepLimits({uint64_t(1) << 20, 5});
  std::filesystem::create_directories(host.dir.File("Sounds"));
  host.dir.Put("Sounds/mine.wav", "own");
  host.dir.Put("Sounds/.Bob3.cwv.Xy12Zz", "left by a kill");
  for (int i = 0; i < 8; ++i) {
    SendAudio("Bob", "sound" + std::to_string(i));
    FromServer("Bob", "1");
    host.Drain();
  }
  size_t files = 0;
  for (const auto& e : std::filesystem::directory_iterator(host.dir.File("Sounds"))) {
    ++files;
    EXPECT_NE(e.path().filename().string()[0], '.');  // no temporaries, the stale one gone
  }
  EXPECT_EQ(files, 5u);
  EXPECT_EQ(host.dir.Get("Sounds/Bob4.cwv"), "sound3");
  EXPECT_EQ(channel->KeptSounds().Scans(), 1);
  EXPECT_EQ(channel->Settings().lastWav, 5);
  size_t full = 0;
  for (const auto& t : host.traces) full += t == W("Звуковое сообщение не сохранено: папка Sounds заполнена");
  EXPECT_EQ(full, 4u);

  // The bytes are bounded as well.
  channel = std::make_unique<audio::AudioChannel>(host, devices, limits);
  host.channel = channel.get();
  channel->SetSettings(s);
  channel->SetKeepLimits({20, 100});
  SendAudio("Carol", std::string(30, 'x'));
  FromServer("Carol", "1");
  host.Drain();
  EXPECT_FALSE(std::filesystem::exists(host.dir.File("Sounds/Carol5.cwv")));
}

TEST_F(Channel, TheArchiveLinkKeepsOnceAndReplayFreesItselfAfterPlaying) {
  std::string blocks = audio::Encode(std::span(devices.tone).subspan(0, 2500));  // 1280 bytes
  SendAudio("Bob", blocks.substr(0, 1024));
  SendAudio("Bob", blocks.substr(1024));
  FromServer("Bob", "1");
  const audio::Sound* sound = channel->FindSoundByName("Bob");
  ASSERT_TRUE(sound);
  std::string n = std::to_string(sound->id);
  channel->HandleLink("::Arch" + n + "-Bob");
  host.Drain();
  EXPECT_EQ(host.dir.Get("Sounds/Bob0.cwv"), audio::SoundData(*sound));
  EXPECT_EQ(host.priv[0].find("::Arch"), std::string::npos);

  channel->HandleLink("::PlArBob0");
  const audio::Sound* replay = channel->FindSoundByName("Bob0");
  ASSERT_TRUE(replay);
  EXPECT_TRUE(replay->autoDelete);
  EXPECT_EQ(replay->buffers.size(), 2u);  // 1024 + 256
  EXPECT_EQ(replay->total, 1280);
  channel->HandleLink("::PlArBob0");  // already playing: nothing more
  EXPECT_EQ(channel->SoundCount(), 2u);
  devices.speaker.PlayAll();
  host.Drain();
  EXPECT_FALSE(channel->FindSoundByName("Bob0"));
  EXPECT_EQ(channel->SoundCount(), 1u);

  // A missing file leaves nothing behind, so a later replay still works.
  channel->HandleLink("::PlArNobody3");
  EXPECT_EQ(channel->SoundCount(), 1u);
  // Without a device the replay is reported and freed.
  devices.hasOutput = false;
  channel->HandleLink("::PlArBob0");
  EXPECT_EQ(channel->SoundCount(), 1u);
  EXPECT_EQ(host.traces.back(), W("Не найдено подходящего устройства для воспроизведения"));
}

TEST_F(Channel, TheArchiveLinkWritesThePrivateArchiveOnlyWhileItIsOn) {
  SendAudio("Bob", "first");
  FromServer("Bob", "1");
  SendAudio("Bob", "second");
  FromServer("Bob", "1");
  ASSERT_EQ(host.priv.size(), 2u);
  const audio::Sound* first = channel->FindSoundByName("Bob");
  ASSERT_TRUE(first);
  const int second = first->id + 1;
  ASSERT_TRUE(channel->FindSound(second));

  // CreateArchive off: the file is kept, nothing goes to private.arc.
  channel->HandleLink("::Arch" + std::to_string(first->id) + "-Bob");
  host.Drain();
  EXPECT_EQ(host.dir.Get("Sounds/Bob0.cwv"), "first");
  EXPECT_TRUE(host.archive.empty());
  EXPECT_EQ(host.priv[0].find("::Arch"), std::string::npos);

  audio::AudioSettings s = channel->Settings();
  s.createArchive = true;
  channel->SetSettings(s);
  channel->HandleLink("::Arch" + std::to_string(second) + "-Bob");
  host.Drain();
  EXPECT_EQ(host.dir.Get("Sounds/Bob1.cwv"), "second");
  EXPECT_EQ(host.archive, std::vector<std::string>{W("#ffffff|#000000|00:00 <b>Bob:</b> Звуковое сообщение "
                                                     "<link=\"Воспроизвести\"::PlArBob1>")});
}

TEST_F(Channel, SaveWritesTheMessageOrAPcmWave) {
  std::string blocks = audio::Encode(std::span(devices.tone).subspan(0, 1000));
  SendAudio("Bob", blocks);
  FromServer("Bob", "1");
  ASSERT_TRUE(channel->FindSoundByName("Bob"));
  std::string n = std::to_string(channel->FindSoundByName("Bob")->id);
  host.savePath = host.dir.File("copy.cwv");
  channel->HandleLink("::Save" + n);
  EXPECT_EQ(host.dir.Get("copy.cwv"), blocks);
  host.savePath = host.dir.File("copy.WAV");
  channel->HandleLink("::Save" + n);
  std::string image = host.dir.Get("copy.WAV"), error;
  auto info = audio::ParseWav(image, error);
  ASSERT_TRUE(info) << error;
  EXPECT_EQ(audio::PcmSamples(*info), audio::Decode(blocks));
  host.savePath = host.dir.File("no/such/dir/x.cwv");
  channel->HandleLink("::Save" + n);
  EXPECT_EQ(host.traces.back(), W("Не могу сохранить звуковое сообщение"));
  host.savePath.reset();  // cancelled
  channel->HandleLink("::Save" + n);
  EXPECT_EQ(host.traces.size(), 1u);
  // The dialog runs its own event loop: the line (and the sound) may go
  // meanwhile, and nothing is written from a freed sound.
  host.savePath = host.dir.File("late.cwv");
  host.duringAsk = [&] { host.DeletePrivLine(audio::PlayLinkOf(std::stoi(n))); };
  channel->HandleLink("::Save" + n);
  EXPECT_EQ(channel->SoundCount(), 0u);
  EXPECT_FALSE(host.dir.Exists("late.cwv"));
}

TEST_F(Channel, NamesFromPeersStayInsideSounds) {
  audio::AudioSettings s;
  s.createArchive = s.sndArchiving = true;
  channel->SetSettings(s);
  for (std::string name : {"../../etc/x", "a\\b", ".hidden", "100%"}) {
    SendAudio(name, "data");
    FromServer(name, "1");
  }
  std::vector<std::string> files;
  for (auto& e : std::filesystem::directory_iterator(host.dir.File("Sounds")))
    files.push_back(e.path().filename().string());
  std::sort(files.begin(), files.end());
  EXPECT_EQ(files, (std::vector<std::string>{"%2e.%2f..%2fetc%2fx0.cwv", "%2ehidden2.cwv",
                                             "100%253.cwv", "a%5cb1.cwv"}));
  // The replay link carries the name itself and finds the same file.
  channel->HandleLink("::PlAr../../etc/x0");
  EXPECT_TRUE(channel->FindSoundByName("../../etc/x0"));
  EXPECT_EQ(text::SafeFileName("%2f"), "%252f");
  EXPECT_NE(text::SafeFileName("%2f"), text::SafeFileName("/"));
}

}  // namespace
