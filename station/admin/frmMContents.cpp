#include "admin/frmMContents.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScopedValueRollback>

#include "admin/SettingsWindowMail.h"
#include "admin/TemplateWidgets.h"
#include "admin/frmMail.h"
#include "admin/frmSet.h"
#include "common/BulkMailDraft.h"
#include "common/FormInstance.h"
#include "common/MailTemplates.h"
#include "common/MemberRoster.h"
#include "common/Navigation.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "common/mdlLogWrite.h"
#include "ui/clock.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmMContents> gForm;

const QString kSendTitle = QStringLiteral("送信の確認");

const MailTemplate& TemplateOfMode() { return gintMailMode == 2 ? kBulkTemplate : kContactTemplate; }
}  // namespace

frmMContents& frmMContents::instance() { return gForm.Get([] { return new frmMContents(); }); }

bool frmMContents::IsLoaded() { return gForm.IsLoaded(); }

void frmMContents::Unload() {
  gintMailMode = 0;
  gForm.DismissDialog();
}

frmMContents::frmMContents()
    : QDialog(frmSet::IsLoaded() ? &frmSet::instance() : nullptr,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  SetUpTemplateDialog(*this, "frmMContents");
  BuildWidgets();
  Form_Load();
}

void frmMContents::BuildWidgets() {
  lblSubject = NewSubjectLabel(this);
  txtSubject = NewSubjectBox(this, "txtSubject");
  rtxtContents = NewBodyBox(this, "rtxtContents");
  txtIns = NewPlaceholderHelp(this);
  auto button = [this](const char* name, const QString& caption) { return NewTemplateButton(this, name, caption); };
  cmdTestSend = button("cmdTestSend", QStringLiteral("テスト送信"));
  cmdOK = button("cmdOK", QStringLiteral("送信"));
  cmdCancel = button("cmdCancel", QStringLiteral("キャンセル"));
  connect(cmdTestSend, &QPushButton::clicked, this, &frmMContents::cmdTestSend_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmMContents::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmMContents::cmdCancel_Click);

  auto* grid = new QGridLayout;
  grid->addWidget(lblSubject, 0, 0);
  grid->addWidget(txtSubject, 0, 1);
  grid->addWidget(rtxtContents, 1, 0, 1, 2);
  grid->addWidget(txtIns, 0, 2, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdTestSend);
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  setTabOrder(txtSubject, rtxtContents);
  setTabOrder(rtxtContents, cmdTestSend);
  setTabOrder(cmdTestSend, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void frmMContents::Form_Load() {
  const MailTemplate& t = TemplateOfMode();
  txtSubject->setText(*t.subject);
  LoadTextFile(TemplateBodyPath(t), rtxtContents);
}

void frmMContents::cmdTestSend_Click() {
  if (!sending_) frmMail::instance().exec();
}

void frmMContents::cmdCancel_Click() {
  if (!sending_) Unload();
}

void frmMContents::reject() { cmdCancel_Click(); }

void frmMContents::cmdOK_Click() {
  if (sending_) return;  // one click, one mail
  const QScopedValueRollback<bool> busy(sending_, true);
  auto refuse = [](const QString& text) { ui::MsgBox(text, ui::vbInformation); };
  if (txtSubject->text().isEmpty()) return refuse(QStringLiteral("件名を設定してください"));
  if (rtxtContents->toPlainText().isEmpty()) return refuse(QStringLiteral("送信内容を設定してください"));
  if (gintMailMode == 2) return SendBulkMail();
  SendContactMail();
}

void frmMContents::SendBulkMail() {
  // The print and selection window chooses the recipients and sends them these texts.
  BulkMailDraft& draft = TheBulkMailDraft();
  draft = {txtSubject->text(), MailTemplateText(rtxtContents), false};
  nav::Open(nav::Window::BulkRecipients);
  if (ProgramEnded()) return;  // ended during the job: the administration closes unsaved
  // Sent or not, the texts as typed are the bulk template from now on. After a job that ran to
  // its end the composer closes; a cancelled choice or a failed job leaves it open.
  SaveMailTemplates({{&kBulkTemplate, txtSubject->text(), rtxtContents}});
  if (draft.jobEnded) Unload();
}

void frmMContents::SendContactMail() {
  if (ui::MsgBox(QStringLiteral("設定した内容で、メールを送信します。"), ui::vbInformation | ui::vbOKCancel,
                 QStringLiteral("処理の確認")) == ui::vbCancel)
    return;
  const MemberRoster& roster = MemberRoster::Shared();
  const RosterMember member =
      glngSendRow >= 1 && glngSendRow <= roster.Count() ? roster.At(glngSendRow - 1) : RosterMember();

  const MailResult result = SendWithSettingsWindow(member.mailAddr, txtSubject->text(),
                                                   MailTemplateText(rtxtContents), member.name,
                                                   member.honorific, QString());
  if (ProgramEnded()) return;  // ended while the mail waited: the administration closes unsaved
  switch (result) {
    case MailResult::DialUpFailed:
      ui::MsgBox(QStringLiteral("ダイアルアップ接続が確立できません。"), ui::vbOKOnly,
                 QStringLiteral("接続の確認"));
      return;
    case MailResult::ServerFailed:
      ui::MsgBox(QStringLiteral("メール送信に失敗しました。メールサーバーに接続できません。接続環境を確認してください。"),
                 ui::vbCritical, kSendTitle);
      break;
    case MailResult::SendFailed:
      ui::MsgBox(QStringLiteral("メール送信に失敗しました。メールアドレス、接続環境を確認してください。"),
                 ui::vbCritical, kSendTitle);
      break;
    case MailResult::Sent:
      ui::MsgBox(QStringLiteral("メール送信が完了しました。"), ui::vbInformation, kSendTitle);
      break;
  }
  // Whatever became of the mail, the texts as typed are the contact template from now on.
  SaveMailTemplates({{&kContactTemplate, txtSubject->text(), rtxtContents}});
  if (gblnLog)
    WriteLog(ui::Now().toString(QStringLiteral("yyyyMMdd")) + QStringLiteral(".log"),
             QStringLiteral("連絡メール送信"), QStringLiteral("実行"));
  Unload();
}
