// The template files: bodies written whole with their final CR LF and read back line by line,
// and a save that reports a body it could not write before any subject changes.
#include "admin_fixture.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

#include "codepage/codepage.h"
#include "common/MailTemplates.h"
#include "common/globals.h"
#include "common/mdlIni.h"

namespace admintest {
namespace {

class MailTemplateFiles : public AdminTest {
 protected:
  static QByteArray FileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
  }
  QString LastBox() const { return boxes_.Boxes().empty() ? QString() : boxes_.Boxes().back().text; }
};

TEST_F(MailTemplateFiles, TemplateBodiesRoundTripAndAFailedBodyKeepsTheSubjects) {
  Prepare();
  QPlainTextEdit box;
  box.setPlainText("一行目\n\n三行目\n");  // ends with a line break of its own
  const QString path = folder_.Path() + "sptMail.txt";
  ASSERT_TRUE(SaveTextFile(path, &box));
  QByteArray expected;
  ASSERT_TRUE(cp::ToAnsi("一行目\r\n\r\n三行目\r\n\r\n", expected));
  EXPECT_EQ(FileBytes(path), expected);
  QPlainTextEdit back;
  ASSERT_TRUE(LoadTextFile(path, &back));
  EXPECT_EQ(back.toPlainText(), box.toPlainText());
  EXPECT_EQ(MailTemplateText(&back), "一行目\r\n\r\n三行目\r\n");
  // Lone CR and LF end lines too; a missing file leaves the box and gives false.
  folder_.WriteBytes("x.txt", "a\rb\nc\r\n");
  ASSERT_TRUE(LoadTextFile(folder_.Path() + "x.txt", &back));
  EXPECT_EQ(back.toPlainText(), "a\nb\nc");
  EXPECT_FALSE(LoadTextFile(folder_.Path() + "none.txt", &back));
  EXPECT_EQ(back.toPlainText(), "a\nb\nc");

  // A body that cannot be written (a character CP932 lacks, or a folder in the file's place):
  // reported, the subjects and the other bodies untouched.
  gstrSptSubject = "前の件名";
  QPlainTextEdit bad;
  bad.setPlainText("絵文字 😀");
  EXPECT_FALSE(SaveMailTemplates({{&kContactTemplate, "新しい件名", &bad}}));
  EXPECT_EQ(LastBox(), "送信内容を保存できませんでした。\r\n" + path);
  EXPECT_EQ(gstrSptSubject, "前の件名");
  EXPECT_EQ(ReadIni("MAIL", "sptSubject"), "");
  EXPECT_EQ(FileBytes(path), expected);
  ASSERT_TRUE(QDir(folder_.Path()).mkdir("allMail.txt"));
  EXPECT_FALSE(SaveMailTemplates({{&kBulkTemplate, "一斉", &box}}));
  EXPECT_EQ(ReadIni("MAIL", "allSubject"), "");
}

}  // namespace
}  // namespace admintest
