// The template files: bodies written whole with their final CR LF and read back line by line; a
// body that cannot be written is reported before any subject changes.
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

using MailTemplateFiles = AdminTest;

QByteArray FileBytes(const QString& path) {
  QFile f(path);
  return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
}

TEST_F(MailTemplateFiles, BodiesRoundTripAndAFailedBodyKeepsTheSubjects) {
  Prepare();
  QPlainTextEdit box, back;
  box.setPlainText("一行目\n\n三行目\n");  // ends with a line break of its own
  const QString path = folder_.Path() + "sptMail.txt";
  ASSERT_TRUE(SaveTextFile(path, &box));
  const QByteArray written = cp::ToAnsiLossy("一行目\r\n\r\n三行目\r\n\r\n");
  EXPECT_EQ(FileBytes(path), written);
  ASSERT_TRUE(LoadTextFile(path, &back));
  EXPECT_EQ(MailTemplateText(&back), "一行目\r\n\r\n三行目\r\n");

  // A body that cannot be written (a folder in its place) is reported, and no subject changes.
  gstrSptSubject = "前の件名";
  ASSERT_TRUE(QDir(folder_.Path()).mkdir("allMail.txt"));
  EXPECT_FALSE(SaveMailTemplates({{&kContactTemplate, "件名", &box}, {&kBulkTemplate, "一斉", &box}}));
  EXPECT_EQ(boxes_.Texts().back(), "送信内容を保存できませんでした。\r\n" + folder_.Path() + "allMail.txt");
  EXPECT_EQ(gstrSptSubject, "前の件名");
  EXPECT_EQ(ReadIni("MAIL", "sptSubject"), "");
}

}  // namespace
}  // namespace admintest
