// Synchronous sound playback through the test sink: real wave files play to their end, anything
// that is not a playable sound is refused without waiting, and the observer sees each call.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

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

}  // namespace
