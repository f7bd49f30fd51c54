#include "admin/frmMail.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScopedValueRollback>

#include "admin/NarrowField.h"
#include "admin/SettingsWindowMail.h"
#include "admin/frmContents.h"
#include "admin/frmMContents.h"
#include "admin/frmSet.h"
#include "common/FormInstance.h"
#include "common/MailTemplates.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "common/mdlIni.h"
#include "ui/clock.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmMail> gForm;

const QString kSendTitle = QStringLiteral("送信の確認");

QWidget* Opener() {
  if (frmMContents::IsLoaded()) return &frmMContents::instance();
  if (frmContents::IsLoaded()) return &frmContents::instance();
  return frmSet::IsLoaded() ? &frmSet::instance() : nullptr;
}
}  // namespace

frmMail& frmMail::instance() { return gForm.Get([] { return new frmMail(); }); }

bool frmMail::IsLoaded() { return gForm.IsLoaded(); }

void frmMail::Unload() {
  gForm.DismissDialog();
}

frmMail::frmMail() : QDialog(Opener(), Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmMail"));
  setWindowTitle(QStringLiteral("送信先アドレス"));
  setFont(ui::StationFont(9));
  setModal(true);
  BuildWidgets();
  Form_Load();
}

void frmMail::BuildWidgets() {
  Label1 = new QLabel(QStringLiteral("送信先："), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  txtMail = new QLineEdit(this);
  txtMail->setObjectName(QStringLiteral("txtMail"));
  txtMail->setMinimumWidth(300);
  Label1->setBuddy(txtMail);
  cmdSend = new QPushButton(QStringLiteral("送信"), this);
  cmdSend->setObjectName(QStringLiteral("cmdSend"));
  cmdSend->setAutoDefault(false);
  connect(cmdSend, &QPushButton::clicked, this, &frmMail::cmdSend_Click);
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(Label1);
  layout->addWidget(txtMail, 1);
  layout->addWidget(cmdSend);
  setTabOrder(txtMail, cmdSend);
}

void frmMail::reject() {
  if (!sending_) Unload();
}

void frmMail::Form_Load() {
  if (frmSet::IsLoaded()) txtMail->setText(frmSet::instance().txtMailAddr->text());
}

void frmMail::cmdSend_Click() {
  if (sending_) return;
  const QScopedValueRollback<bool> busy(sending_, true);
  const QString recipients = NarrowField(txtMail);
  if (recipients.isEmpty()) {
    ui::MsgBox(QStringLiteral("メールアドレスを設定してください"), ui::vbInformation,
               QStringLiteral("入力の確認"));
    return;
  }

  QString subject, body, attachment;
  if (gintMailMode == 0) {
    const frmContents& editor = frmContents::instance();
    const bool entry = editor.EntryOnScreen();
    subject = (entry ? editor.txtSubject : editor.txtOtSubject)->text();
    body = MailTemplateText(entry ? editor.rtxtContents : editor.rtxtOtContents);
    if (frmSet::IsLoaded() && frmSet::instance().optSendImgYes->isChecked())
      attachment = gstrAppPath + QStringLiteral("image/image000.jpg");
  } else {
    const frmMContents& composer = frmMContents::instance();
    subject = composer.txtSubject->text();
    body = MailTemplateText(composer.rtxtContents);
  }

  const MailResult result =
      SendWithSettingsWindow(recipients, subject, body, QStringLiteral("○○○"), QStringLiteral("さま"), attachment);
  if (ProgramEnded()) return;  // ended while the trial waited: nothing more to tell or write
  switch (result) {
    case MailResult::DialUpFailed:
      ui::MsgBox(QStringLiteral("ダイアルアップ接続が確立できません。"), ui::vbOKOnly,
                 QStringLiteral("接続の確認"));
      return;
    case MailResult::ServerFailed:
      ui::MsgBox(QStringLiteral("テスト送信に失敗しました。メールサーバーに接続できません。接続環境を確認してください。"),
                 ui::vbCritical, kSendTitle);
      break;
    case MailResult::SendFailed:
      ui::MsgBox(QStringLiteral("テスト送信に失敗しました。接続環境を確認してください。"), ui::vbCritical, kSendTitle);
      break;
    case MailResult::Sent:
      ui::MsgBox(QStringLiteral("テスト送信が完了しました。"), ui::vbInformation, kSendTitle);
      break;
  }
  WriteIni(QStringLiteral("MAIL"), QStringLiteral("date"), ui::Now().toString(QStringLiteral("yyyy/MM/dd")));
  Unload();
}
