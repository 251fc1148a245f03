// The audio channel over the real Qt Multimedia devices.  Without a sound
// card (as on the build machines) everything must degrade with its message
// and nothing may hang.
#include "audio/qt_audio_devices.h"

#include <gtest/gtest.h>

#include <QAudioDevice>
#include <QCoreApplication>
#include <QMediaDevices>

#include "audio_test_kit.h"
#include "text/cp1251.h"

namespace {

using text::W;

TEST(QtAudioDevices, WithoutASoundCardRecordingAndPlaybackReportAndReturn) {
  if (!QMediaDevices::audioInputs().isEmpty() || !QMediaDevices::audioOutputs().isEmpty())
    GTEST_SKIP() << "this machine has a sound device";

  audio::QtAudioDevices devices;
  EXPECT_FALSE(devices.HasInput());
  EXPECT_FALSE(devices.HasOutput());
  // Opening anyway gives nothing rather than a device that never starts.
  EXPECT_FALSE(devices.OpenInput([](audio::WaveBuffer*) {}));
  EXPECT_FALSE(devices.OpenOutput([](audio::WaveBuffer*) {}));

  FakeHost host;
  audio::AudioChannel channel(host, devices);
  host.channel = &channel;
  channel.StartRecording({"Bob"});
  EXPECT_FALSE(channel.Recording());
  channel.StopRecording();
  audio::AudioSettings s;
  s.playNow = true;
  channel.SetSettings(s);
  channel.HandlePacket("f|Bob|0abc", false);
  channel.HandlePacket("f|Bob|1", false);
  QCoreApplication::processEvents();
  host.Drain();
  EXPECT_EQ(host.traces, (std::vector<std::string>{W("Не найдено подходящего устройства для записи звука"),
                                                   W("Не найдено подходящего устройства для воспроизведения")}));
  EXPECT_EQ(host.priv.size(), 1u);  // still announced
  EXPECT_TRUE(host.sendWavEnabled);
  host.channel = nullptr;
}

}  // namespace
