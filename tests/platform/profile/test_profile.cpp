// The settings file format: matching, cutting, keeping what it does not understand, and never
// leaving a half-written file.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include "codepage/codepage.h"
#include "profile/profile.h"

namespace {

QByteArray Read(const QString& path) {
  QFile f(path);
  f.open(QIODevice::ReadOnly);
  return f.readAll();
}

void Write(const QString& path, const QByteArray& data) {
  QFile f(path);
  ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(data);
}

QByteArray Get(const char* section, const char* key, const QString& path, int size = 1024) {
  QByteArray out;
  profile::GetPrivateProfileString(section, key, "", out, size, path);
  return out;
}

TEST(CodePage, JapaneseAndExtensionRowsRoundTrip) {
  // CP932 (not plain Shift-JIS) holds the wave dash, circled numbers and the IBM rows.
  const QString text = QStringLiteral("山田太郎 ～ ① 髙 ｶﾅ O'Brien");
  QByteArray bytes;
  ASSERT_TRUE(cp::ToAnsi(text, bytes));
  EXPECT_EQ(cp::FromAnsi(bytes), text);
  EXPECT_EQ(cp::AnsiLength(QStringLiteral("山田a")), 5);
  EXPECT_EQ(cp::AnsiLength(QStringLiteral("ｶﾅ")), 2);
}

TEST(CodePage, UnfitCharactersAreReportedNotHidden) {
  QByteArray bytes;
  EXPECT_FALSE(cp::ToAnsi(QStringLiteral("a𠮷b"), bytes));  // outside CP932
  EXPECT_EQ(bytes, QByteArray("a?b"));
  EXPECT_FALSE(cp::FitsAnsi(QStringLiteral("😀")));
  // A broken byte sequence still reads, with a replacement character.
  EXPECT_EQ(cp::FromAnsi(QByteArray("a\x82", 2)), QStringLiteral("a\uFFFD"));
}

TEST(CodePage, LongTextsOfEveryWidthConvertWhole) {
  // Texts far longer than any working buffer, whose converted form is longer (half-width kana:
  // one byte of CP932, three of UTF-8), about as long, or shorter than the text they come from.
  const QString kana = QString(QStringLiteral("ｱｲｳｴｵｶﾞﾊﾟ")).repeated(20000);
  const QString mixed = QString(QStringLiteral("1001,山田太郎,やまだ,taro@example.jp,2026/11/09\r\n")).repeated(5000);
  for (const QString& text : {kana, mixed}) {
    QByteArray bytes;
    ASSERT_TRUE(cp::ToAnsi(text, bytes));
    EXPECT_EQ(bytes.size(), cp::AnsiLength(text));
    EXPECT_EQ(cp::FromAnsi(bytes), text);
  }
  // A long run of broken bytes: each becomes one replacement character, the text around stays.
  const QByteArray broken = "a" + QByteArray(10000, '\x80') + "b";
  EXPECT_EQ(cp::FromAnsi(broken), "a" + QString(10000, QChar(0xFFFD)) + "b");
  // One unfit character in a long text costs only itself.
  QByteArray bytes;
  EXPECT_FALSE(cp::ToAnsi(mixed + QStringLiteral("😀") + mixed, bytes));
  EXPECT_EQ(bytes, cp::ToAnsiLossy(mixed) + '?' + cp::ToAnsiLossy(mixed));
}

TEST(CodePage, CutNeverSplitsATwoByteCharacter) {
  const QByteArray bytes = cp::ToAnsiLossy(QStringLiteral("aあい"));  // 1 + 2 + 2 bytes
  EXPECT_EQ(cp::CutAnsi(bytes, 2), QByteArray("a"));
  EXPECT_EQ(cp::CutAnsi(bytes, 3), cp::ToAnsiLossy(QStringLiteral("aあ")));
  EXPECT_EQ(cp::CutAnsi(bytes, 99), bytes);
}

class ProfileFile : public ::testing::Test {
 protected:
  QTemporaryDir dir;
  QString path = dir.path() + "/Velmor.ini";
};

TEST_F(ProfileFile, MatchesSectionsAndKeysWithoutCaseAndTrims) {
  Write(path, "; comment\r\n[System]\r\n  Log = True \r\nquoted=\"a b\"\r\nsquoted='a b'\r\nmixed=\"a b'\r\n[MAIL]\r\nlog=mail\r\n");
  EXPECT_EQ(Get("SYSTEM", "log", path), QByteArray("True"));
  EXPECT_EQ(Get("system", "LOG", path), QByteArray("True"));
  EXPECT_EQ(Get("SYSTEM", "quoted", path), QByteArray("a b"));
  EXPECT_EQ(Get("SYSTEM", "squoted", path), QByteArray("a b"));
  EXPECT_EQ(Get("SYSTEM", "mixed", path), QByteArray("\"a b'"));
  EXPECT_EQ(Get("MAIL", "log", path), QByteArray("mail"));
  EXPECT_EQ(Get("IMAGE", "log", path), QByteArray(""));
  EXPECT_EQ(Get("SYSTEM", "log", dir.path() + "/missing.ini"), QByteArray(""));
}

TEST_F(ProfileFile, LongValuesAreCutAt1023BytesOnACharacterBoundary) {
  QByteArray value(1500, 'x');
  Write(path, "[S]\r\nk=" + value + "\r\n");
  EXPECT_EQ(Get("S", "k", path).size(), 1023);
  // 1022 ASCII bytes then a two-byte character: cutting at 1023 must drop the whole character.
  const QByteArray wide = QByteArray(1022, 'x') + cp::ToAnsiLossy(QStringLiteral("あい"));
  Write(path, "[S]\r\nk=" + wide + "\r\n");
  EXPECT_EQ(Get("S", "k", path), QByteArray(1022, 'x'));
}

TEST_F(ProfileFile, WriteCreatesFileSectionAndKeyAndKeepsTheRest) {
  ASSERT_TRUE(profile::WritePrivateProfileString("MAIL", "port", "25", path));
  EXPECT_EQ(Read(path), QByteArray("[MAIL]\r\nport=25\r\n"));
  EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadOther | QFile::ReadGroup), 0);

  Write(path, "; keep me\r\n[SYSTEM]\r\nlog=True\r\n\r\n[MAIL]\r\nPort=25\r\n");
  ASSERT_TRUE(profile::WritePrivateProfileString("mail", "port", "587", path));
  ASSERT_TRUE(profile::WritePrivateProfileString("SYSTEM", "screen", "2", path));
  ASSERT_TRUE(profile::WritePrivateProfileString("VOICE", "sound", "False", path));
  EXPECT_EQ(Read(path), QByteArray("; keep me\r\n[SYSTEM]\r\nlog=True\r\nscreen=2\r\n\r\n"
                                   "[MAIL]\r\nport=587\r\n[VOICE]\r\nsound=False\r\n"));
}

TEST_F(ProfileFile, ALineBreakInAValueIsRefusedAndTheFileStaysWhole) {
  Write(path, "[MAIL]\r\nmail=a@b\r\n");
  EXPECT_FALSE(profile::WritePrivateProfileString("MAIL", "mail", "x\r\n[SYSTEM]\r\nlog=False", path));
  // Nor is a key or section that would read back as another line.
  EXPECT_FALSE(profile::WritePrivateProfileString("MAIL", "[SYSTEM]log", "False", path));
  EXPECT_FALSE(profile::WritePrivateProfileString("MAIL]", "mail", "x", path));
  EXPECT_EQ(Read(path), QByteArray("[MAIL]\r\nmail=a@b\r\n"));
  // No temporary file is left beside it.
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(ProfileFile, ABatchWritesEveryKeyOrNone) {
  Write(path, "[MAIL]\r\nmail=a@b\r\n");
  // One bad value anywhere in the batch: the file stays as it was.
  EXPECT_FALSE(profile::WritePrivateProfileStrings(
      {{"SYSTEM", "log", "True"}, {"MAIL", "mail", "x\ny"}, {"MAIL", "port", "25"}}, path));
  EXPECT_EQ(Read(path), QByteArray("[MAIL]\r\nmail=a@b\r\n"));
  ASSERT_TRUE(profile::WritePrivateProfileStrings(
      {{"SYSTEM", "log", "True"}, {"mail", "MAIL", "c@d"}, {"MAIL", "port", "25"}, {"SYSTEM", "screen", "2"}},
      path));
  EXPECT_EQ(Read(path), QByteArray("[MAIL]\r\nMAIL=c@d\r\nport=25\r\n[SYSTEM]\r\nlog=True\r\nscreen=2\r\n"));
}

TEST_F(ProfileFile, ASettingsFileKeptElsewhereThroughALinkStaysALink) {
  // Velmor.ini -> "chain" (relative) -> a file in another folder.
  QTemporaryDir elsewhere;
  const QString kept = elsewhere.path() + "/kept.ini";
  Write(kept, "[MAIL]\r\nport=25\r\n");
  ASSERT_TRUE(QFile::link(kept, dir.path() + "/chain"));
  ASSERT_TRUE(QFile::link("chain", path));
  ASSERT_TRUE(profile::WritePrivateProfileString("MAIL", "port", "587", path));
  EXPECT_EQ(QFileInfo(path).symLinkTarget(), dir.path() + "/chain");
  EXPECT_EQ(Read(kept), QByteArray("[MAIL]\r\nport=587\r\n"));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::System | QDir::Hidden).size(), 2);
  EXPECT_EQ(QDir(elsewhere.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.ini"});
  // A link to a file not made yet: the file is made where it points.
  ASSERT_TRUE(QFile::remove(kept));
  ASSERT_TRUE(profile::WritePrivateProfileString("MAIL", "port", "465", path));
  EXPECT_TRUE(QFileInfo(path).isSymLink());
  EXPECT_EQ(Read(kept), QByteArray("[MAIL]\r\nport=465\r\n"));
}

TEST_F(ProfileFile, AnUnwritableFolderFailsWithoutHarm) {
  const QString ro = dir.path() + "/ro";
  QDir().mkpath(ro);
  Write(ro + "/Velmor.ini", "[S]\r\nk=1\r\n");
  QFile::setPermissions(ro, QFile::ReadOwner | QFile::ExeOwner);
  if (QFileInfo(ro).isWritable()) GTEST_SKIP() << "running with rights that ignore permissions";
  EXPECT_FALSE(profile::WritePrivateProfileString("S", "k", "2", ro + "/Velmor.ini"));
  EXPECT_EQ(Get("S", "k", ro + "/Velmor.ini"), QByteArray("1"));
}

}  // namespace
