// Synchronous sound playback through the test sink: real wave files play to their end, anything
// that is not a playable sound is refused without waiting, and the observer sees each call.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QtEndian>

#include <gst/gst.h>

#include <cmath>
#include <vector>

#include "sound/sound.h"

namespace {

// A 16-bit mono PCM wave of `ms` milliseconds.
QByteArray Wave(int ms, int rate = 8000) {
  QByteArray data;
  const int samples = rate * ms / 1000;
  for (int i = 0; i < samples; ++i) {
    const qint16 v = static_cast<qint16>(8000 * std::sin(i * 2 * M_PI * 440 / rate));
    char b[2];
    qToLittleEndian(v, b);
    data.append(b, 2);
  }
  QByteArray wav;
  auto u32 = [&wav](quint32 v) { char b[4]; qToLittleEndian(v, b); wav.append(b, 4); };
  auto u16 = [&wav](quint16 v) { char b[2]; qToLittleEndian(v, b); wav.append(b, 2); };
  wav += "RIFF"; u32(36 + data.size()); wav += "WAVEfmt "; u32(16); u16(1); u16(1); u32(rate);
  u32(rate * 2); u16(2); u16(16); wav += "data"; u32(data.size()); wav += data;
  return wav;
}

class SoundTest : public ::testing::Test {
 protected:
  void SetUp() override { sound::SetOutput(QStringLiteral("fakesink")); }
  void TearDown() override {
    sound::SetOutput(QString());
    sound::SetPlayObserver({});
  }
  QString Write(const QString& name, const QByteArray& bytes) {
    QFile f(dir_.filePath(name));
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return f.fileName();
  }
  QTemporaryDir dir_;
};

TEST_F(SoundTest, PlaysWaveFilesToTheirEnd) {
  // Short and long, and a file name with blanks and Japanese characters.
  EXPECT_TRUE(sound::Play(Write(QStringLiteral("a.wav"), Wave(50))));
  EXPECT_TRUE(sound::Play(Write(QStringLiteral("エラー 音.wav"), Wave(2000))));
}

TEST_F(SoundTest, AFileWithPicturesPlaysItsSoundAlone) {
  // A short AVI with a picture stream and a sound stream, written through GStreamer.
  const QString avi = dir_.filePath(QStringLiteral("film.avi"));
  ASSERT_TRUE(gst_init_check(nullptr, nullptr, nullptr));
  const QByteArray description =
      "videotestsrc num-buffers=5 ! jpegenc ! queue ! mux. audiotestsrc num-buffers=5 ! "
      "audioconvert ! queue ! mux. avimux name=mux ! filesink location=\"" + QFile::encodeName(avi) + "\"";
  GstElement* writer = gst_parse_launch(description.constData(), nullptr);
  ASSERT_TRUE(writer);
  gst_element_set_state(writer, GST_STATE_PLAYING);
  GstBus* bus = gst_element_get_bus(writer);
  GstMessage* end = gst_bus_timed_pop_filtered(
      bus, 20 * GST_SECOND, static_cast<GstMessageType>(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
  const bool written = end && GST_MESSAGE_TYPE(end) == GST_MESSAGE_EOS;
  if (end) gst_message_unref(end);
  gst_object_unref(bus);
  gst_element_set_state(writer, GST_STATE_NULL);
  gst_object_unref(writer);
  ASSERT_TRUE(written);

  EXPECT_TRUE(sound::Play(avi));
}

TEST_F(SoundTest, RefusesWhatCannotBePlayed) {
  EXPECT_FALSE(sound::Play(dir_.filePath(QStringLiteral("missing.wav"))));
  EXPECT_FALSE(sound::Play(dir_.path()));  // a folder
  EXPECT_FALSE(sound::Play(Write(QStringLiteral("text.wav"), QByteArray(4000, 'x'))));
  QByteArray cut = Wave(200).left(30);  // header cut off
  EXPECT_FALSE(sound::Play(Write(QStringLiteral("cut.wav"), cut)));
}

TEST_F(SoundTest, AnUnknownOutputFailsInsteadOfClaimingSuccess) {
  sound::SetOutput(QStringLiteral("no-such-sink-element"));
  EXPECT_FALSE(sound::Play(Write(QStringLiteral("a.wav"), Wave(50))));
}

TEST_F(SoundTest, ObserverSeesEveryCallWithItsResult) {
  std::vector<std::pair<QString, bool>> calls;
  sound::SetPlayObserver([&](const QString& p, bool ok) { calls.emplace_back(p, ok); });
  const QString good = Write(QStringLiteral("a.wav"), Wave(20));
  sound::Play(good);
  sound::Play(dir_.filePath(QStringLiteral("none.wav")));
  ASSERT_EQ(calls.size(), 2u);
  EXPECT_EQ(calls[0], std::make_pair(good, true));
  EXPECT_FALSE(calls[1].second);
}

// A machine without a sound device (no sound server, no ALSA card): the sounds play in silence,
// and nothing is printed about the devices that did not open. A named output is still the one
// used there.
TEST_F(SoundTest, WithoutASoundDeviceTheDefaultOutputIsSilent) {
  const QString wave = Write(QStringLiteral("a.wav"), Wave(50));
  const QString noAlsa = Write(QStringLiteral("alsa.conf"), QByteArray());
  auto run = [&](const QString& named) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), QStringLiteral("unix:") + dir_.filePath(QStringLiteral("no-server")));
    env.insert(QStringLiteral("ALSA_CONFIG_PATH"), noAlsa);
    env.remove(QStringLiteral("GST_DEBUG"));
    if (named.isEmpty()) env.remove(QStringLiteral("VELMOR_SOUND_SINK"));
    else env.insert(QStringLiteral("VELMOR_SOUND_SINK"), named);
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationDirPath() + QStringLiteral("/velmor_sound_child"), {wave});
    EXPECT_TRUE(child.waitForFinished(30000));
    EXPECT_EQ(child.exitCode(), 0);
    EXPECT_EQ(child.readAllStandardError().toStdString(), "");
    return child.readAllStandardOutput().trimmed().toStdString();
  };
  EXPECT_EQ(run(QString()), "fakesink");
  EXPECT_EQ(run(QStringLiteral("fakesink sync=true")), "fakesink sync=true");
}

}  // namespace
