// The administrator's mail windows against real SMTP and POP3 servers on 127.0.0.1 and the fake
// phone book: the template files, the template editor, the test mail, the contact mail from a member's row and the
// composer.
#include "admin_fixture.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include "admin/frmContents.h"
#include "admin/frmMContents.h"
#include "admin/frmMail.h"
#include "codepage/codepage.h"
#include "common/MailTemplates.h"
#include "common/MemberRoster.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "mail/mail.h"
#include "platform/dialup/fake_dialup.h"
#include "support/support_program.h"
#include "support/support_servers.h"
#include "ui/msgbox.h"

namespace admintest {
namespace {

class MailWindows : public MailServedTest {
 protected:
  // The settings window over the own SMTP server without login, the templates on disk, the
  // member table on screen, and an unsaved sender on screen.
  frmSet& OpenMailing() {
    Prepare();
    folder_.WriteText("Velmor.txt", "%名前%%敬称%が入室しました。");
    folder_.WriteText("otMail.txt", "%名前%%敬称%が退室しました。");
    folder_.WriteText("sptMail.txt", "%名前%%敬称%へ");
    gstrInSubject = "入室 %名前%";
    gstrSptSubject = "連絡 %名前%";
    gblnSendMail = true;
    gblnIsServer = false;
    gstrMailServer = gstrPop3Server = "127.0.0.1";
    gintPort = smtp_->Port();
    gintMailReg = gintRegM = 0;
    gstrAuthID = "popuser";
    gstrAuthPsw = "poppw";
    gstrMailAddr = "saved@ex.jp";
    folder_.AddMember("101", "青木", "さま", "あおき", "aoki@ex.jp;;aoki2@ex.jp");
    folder_.AddMember("102", "井上", "くん", "いのうえ", "");
    frmSet& f = Open();
    ShowMembers();
    f.optLan->setChecked(true);
    f.txtAppUser->setText("ベルモア教室");
    f.txtMailAddr->setText("station@ex.jp");
    return f;
  }

  static QJsonObject LastMail() { return testsupport::ParseMail(smtp_->Messages().last()); }
  static QJsonArray LastRecipients() {
    return smtp_->Envelope(int(smtp_->Messages().size()) - 1).value("rcpt_tos").toArray();
  }
};

TEST_F(MailWindows, TemplateBodiesRoundTripAndAFailedBodyKeepsTheSubjects) {
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
  EXPECT_EQ(boxes_.Texts().back(), "送信内容を保存できませんでした。\r\n" + folder_.Path() + "allMail.txt: " +
                                       QString::fromLocal8Bit(std::strerror(EISDIR)));
  EXPECT_EQ(gstrSptSubject, "前の件名");
  EXPECT_EQ(ReadIni("MAIL", "sptSubject"), "");

  // On a full disk the body is not saved, and the one there stays as it was.
  testsupport::SmallDisk disk(64 << 10);
  if (!disk.Mounted()) return;
  const QString full = disk.Path() + "sptMail.txt";
  ASSERT_TRUE(SaveTextFile(full, &back));
  disk.Fill();
  box.setPlainText("新しい本文");
  QString why;
  EXPECT_FALSE(SaveTextFile(full, &box, &why));
  EXPECT_EQ(why, full + ": " + QString::fromLocal8Bit(std::strerror(ENOSPC)));
  EXPECT_EQ(FileBytes(full), cp::ToAnsiLossy("一行目\r\n\r\n三行目\r\n\r\n"));
  EXPECT_EQ(QDir(disk.Path()).entryList(QDir::Files), QStringList{"sptMail.txt"});
}

TEST_F(MailWindows, EditorChecksBothTemplatesEvenWithTheExitOneOnScreenAndSavesThem) {
  OpenMailing();
  frmContents& e = frmContents::instance();
  EXPECT_EQ(e.txtSubject->text(), "入室 %名前%");
  e.cmdInOut_Click();
  e.rtxtContents->clear();
  e.cmdOK_Click();
  EXPECT_EQ(LastBox(), "入場時送信内容を設定してください");
  e.rtxtContents->setPlainText("入室\n");
  e.txtOtSubject->clear();
  e.cmdOK_Click();
  EXPECT_EQ(LastBox(), "退場時の件名を設定してください");
  e.txtOtSubject->setText("退");
  e.cmdOK_Click();
  EXPECT_FALSE(frmContents::IsLoaded());
  EXPECT_EQ(ReadIni("MAIL", "otSubject"), "退");
  EXPECT_EQ(FileBytes(folder_.Path() + "Velmor.txt"), cp::ToAnsiLossy("入室\r\n\r\n"));
}

TEST_F(MailWindows, TestMailSendsTheTemplateOnScreenFromTheSenderOnScreen) {
  frmSet& f = OpenMailing();
  f.optSendImgYes->setChecked(true);
  folder_.WriteBytes("image/image000.jpg", "JPEG");
  frmContents& e = frmContents::instance();
  e.txtSubject->setText("入室 %名前%%敬称% 未保存");
  const int before = Mails();
  frmMail& m = frmMail::instance();
  EXPECT_EQ(m.txtMail->text(), "station@ex.jp");
  m.txtMail->setText("ａ＠ex.jp;;b@ex.jp");  // a full-width ＠ is made half-width first
  m.cmdSend_Click();
  EXPECT_EQ(LastBox(), "テスト送信が完了しました。");
  ASSERT_EQ(Mails(), before + 1);
  QJsonObject mail = LastMail();
  EXPECT_EQ(mail.value("subject").toString(), "入室 ○○○さま 未保存");
  EXPECT_EQ(mail.value("from_name").toString(), "ベルモア教室");
  EXPECT_EQ(mail.value("attachments").toArray().size(), 1);
  EXPECT_EQ(LastRecipients(), (QJsonArray{"a@ex.jp", "b@ex.jp"}));
  EXPECT_EQ(ReadIni("MAIL", "date"), "2026/06/15");

  // After one switch the exit template goes; a line break in its subject starts no header.
  e.cmdInOut_Click();
  e.txtOtSubject->setText("退室\r\nBcc: evil@ex.jp");
  frmMail::instance().cmdSend_Click();
  ASSERT_EQ(Mails(), before + 2);
  mail = LastMail();
  EXPECT_TRUE(mail.value("body").toString().startsWith("○○○さまが退室しました。"));
  EXPECT_FALSE(mail.value("header_names").toArray().contains("Bcc"));
  EXPECT_EQ(LastRecipients(), QJsonArray{"station@ex.jp"});
}

TEST_F(MailWindows, TestMailFailuresSayWhereTheyFailedAndADialFailureWritesNothing) {
  frmSet& f = OpenMailing();
  frmContents::instance();
  const int before = Mails();
  testsupport::FakeDialup fake;
  fake.AddEntry("office", "");
  fake.SetDial(testsupport::FakeDialup::Dial::Fail);
  glngPauseTime = 0;
  f.optDial->setChecked(true);
  f.entryCombo1->addItem("office");
  f.entryCombo1->setCurrentText("office");
  f.user->setText("u");
  f.pass->setText("p");
  frmMail::instance().cmdSend_Click();
  EXPECT_EQ(LastBox(), "ダイアルアップ接続が確立できません。");
  EXPECT_TRUE(frmMail::IsLoaded());
  EXPECT_EQ(ReadIni("MAIL", "date"), "");
  f.optLan->setChecked(true);

  gintMailReg = 1;  // POP before SMTP with a wrong password
  gstrAuthPsw = "wrong";
  frmMail::instance().cmdSend_Click();
  EXPECT_EQ(LastBox(), "テスト送信に失敗しました。メールサーバーに接続できません。接続環境を確認してください。");
  EXPECT_EQ(ReadIni("MAIL", "date"), "2026/06/15");
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  gintMailReg = 0;
  gintPort = testsupport::UnusedPort();
  WriteIni("MAIL", "date", "");
  frmMail::instance().cmdSend_Click();
  EXPECT_EQ(LastBox(), "テスト送信に失敗しました。接続環境を確認してください。");
  EXPECT_EQ(ReadIni("MAIL", "date"), "2026/06/15");
  EXPECT_EQ(Mails(), before);
}

TEST_F(MailWindows, RowChecksTidyTheRowBeforeTheComposerOpens) {
  frmSet& f = OpenMailing();
  MemberRoster& roster = MemberRoster::Shared();
  f.frmSet_cmdSend_Click(2);
  EXPECT_EQ(LastBox(), "メールアドレスがありません。");
  RosterMember m = roster.At(0);
  m.id = "１０１";
  m.mailAddr = "ａｏｋｉ＠ex.jp";
  m.date = "いつか";
  roster.Replace(0, m);
  f.frmSet_cmdSend_Click(1);
  EXPECT_EQ(LastBox(), "登録日を確認してください。");
  EXPECT_EQ(roster.At(0).id, "101");
  EXPECT_EQ(roster.At(0).mailAddr, "aoki@ex.jp");

  // Dial-up: an empty entry is refused after the row checks, which gave the empty date today's.
  m.date = "";
  roster.Replace(0, m);
  f.optDial->setChecked(true);
  f.frmSet_cmdSend_Click(1);
  EXPECT_EQ(LastBox(), "接続先名を設定してください");
  EXPECT_EQ(roster.At(0).date, "2026/06/15");
  EXPECT_FALSE(frmMContents::IsLoaded());
}

TEST_F(MailWindows, ContactMailGoesToTheRowAndItsTextsBecomeTheTemplateWhateverTheResult) {
  OpenMailing();
  gintMailMode = 1;
  glngSendRow = 1;
  frmMContents& c = frmMContents::instance();
  EXPECT_EQ(c.rtxtContents->toPlainText(), "%名前%%敬称%へ");
  c.txtSubject->setText("%名前%%敬称%");
  const int before = Mails();
  boxes_.Answer(ui::vbCancel);
  c.cmdOK_Click();
  EXPECT_EQ(Mails(), before);
  c.cmdOK_Click();
  EXPECT_EQ(LastBox(), "メール送信が完了しました。");
  ASSERT_EQ(Mails(), before + 1);
  EXPECT_EQ(LastMail().value("subject").toString(), "青木さま");
  EXPECT_EQ(LastRecipients(), (QJsonArray{"aoki@ex.jp", "aoki2@ex.jp"}));
  EXPECT_EQ(gstrSptSubject, "%名前%%敬称%");
  EXPECT_EQ(gintMailMode, 0);
  EXPECT_TRUE(FileBytes(gstrLogDir + "20260615.log").contains(cp::ToAnsiLossy("連絡メール送信,実行")));
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  gintPort = testsupport::UnusedPort();
  gintMailMode = 1;
  frmMContents& c2 = frmMContents::instance();
  c2.rtxtContents->setPlainText("再送");
  c2.cmdOK_Click();
  EXPECT_EQ(LastBox(), "メール送信に失敗しました。メールアドレス、接続環境を確認してください。");
  EXPECT_EQ(FileBytes(folder_.Path() + "sptMail.txt"), cp::ToAnsiLossy("再送\r\n"));
}

// While a mail waits on a slow server the window stays live: a second click on its send button,
// Esc and the close box (and the member row's button behind the composer) do nothing then.
TEST_F(MailWindows, OneClickOneMailWhileTheServerHoldsTheReply) {
  testsupport::SmtpServer slow;
  testsupport::SmtpOptions hold;
  hold.holdDataSeconds = 1.5;
  ASSERT_TRUE(slow.Start(hold)) << slow.Error().toStdString();
  frmSet& f = OpenMailing();
  gintPort = slow.Port();
  auto BoxesSaying = [this](const QString& text) {
    const std::vector<QString> texts = boxes_.Texts();
    return std::count(texts.begin(), texts.end(), text);
  };
  // A composer that a second click opened would wait for ever: it is closed after a while.
  QTimer watchdog;
  watchdog.setInterval(6000);
  QObject::connect(&watchdog, &QTimer::timeout, [] { frmMContents::Unload(); });
  watchdog.start();
  // Once the first mail is on its way: click again, press Esc, close the window.
  auto clickAgain = [](QDialog& window, QPushButton* send, const std::function<void()>& more = {}) {
    QTimer::singleShot(400, &window, [&window, send, more] {
      send->click();
      QTest::keyClick(&window, Qt::Key_Escape);
      window.close();
      if (more) more();
    });
  };

  frmContents::instance();
  frmMail& m = frmMail::instance();
  m.txtMail->setText("test@ex.jp");
  clickAgain(m, m.cmdSend);
  m.cmdSend_Click();
  EXPECT_EQ(slow.Messages().size(), 1);
  EXPECT_EQ(BoxesSaying("テスト送信が完了しました。"), 1);
  EXPECT_FALSE(frmMail::IsLoaded());
  frmContents::Unload();
  QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);

  // The contact mail, from the row's button, with the composer's own send button pressed twice.
  bool composerLoadedDuringSend = false;
  QTimer::singleShot(0, [&] {
    frmMContents& c = frmMContents::instance();
    clickAgain(c, c.cmdOK, [&] {
      composerLoadedDuringSend = frmMContents::IsLoaded();
      f.frmSet_cmdSend_Click(1);
    });
    c.cmdOK->click();
  });
  f.frmSet_cmdSend_Click(1);
  EXPECT_TRUE(composerLoadedDuringSend);
  EXPECT_EQ(slow.Messages().size(), 2);
  EXPECT_EQ(BoxesSaying("メール送信が完了しました。"), 1);
  EXPECT_EQ(BoxesSaying("設定した内容で、メールを送信します。"), 1);
  EXPECT_FALSE(frmMContents::IsLoaded());
}

}  // namespace
}  // namespace admintest
