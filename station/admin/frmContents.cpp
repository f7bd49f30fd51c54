#include "admin/frmContents.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "admin/TemplateWidgets.h"
#include "admin/frmMail.h"
#include "admin/frmSet.h"
#include "common/FormInstance.h"
#include "common/MailTemplates.h"
#include "common/globals.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmContents> gForm;

const QString kShowExit = QStringLiteral("退場時");   // caption while the entry pair shows
const QString kShowEntry = QStringLiteral("入場時");  // caption while the exit pair shows
}  // namespace

frmContents& frmContents::instance() { return gForm.Get([] { return new frmContents(); }); }

bool frmContents::IsLoaded() { return gForm.IsLoaded(); }

void frmContents::Unload() {
  gForm.DismissDialog();
}

frmContents::frmContents()
    : QDialog(frmSet::IsLoaded() ? &frmSet::instance() : nullptr,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  SetUpTemplateDialog(*this, "frmContents");
  BuildWidgets();
  Form_Load();
}

void frmContents::BuildWidgets() {
  lblSubject = NewSubjectLabel(this);
  txtSubject = NewSubjectBox(this, "txtSubject");
  txtOtSubject = NewSubjectBox(this, "txtOtSubject");
  rtxtContents = NewBodyBox(this, "rtxtContents");
  rtxtOtContents = NewBodyBox(this, "rtxtOtContents");
  txtIns = NewPlaceholderHelp(this);
  auto button = [this](const char* name, const QString& caption) { return NewTemplateButton(this, name, caption); };
  cmdInOut = button("cmdInOut", kShowExit);
  cmdSend = button("cmdSend", QStringLiteral("送信テスト"));
  cmdOK = button("cmdOK", QStringLiteral("OK"));
  cmdCancel = button("cmdCancel", QStringLiteral("キャンセル"));
  connect(cmdInOut, &QPushButton::clicked, this, &frmContents::cmdInOut_Click);
  connect(cmdSend, &QPushButton::clicked, this, &frmContents::cmdSend_Click);
  connect(cmdOK, &QPushButton::clicked, this, &frmContents::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmContents::cmdCancel_Click);

  // Each pair shares its place; only one pair is shown.
  auto* grid = new QGridLayout;
  grid->addWidget(lblSubject, 0, 0);
  grid->addWidget(txtSubject, 0, 1);
  grid->addWidget(txtOtSubject, 0, 1);
  grid->addWidget(rtxtContents, 1, 0, 1, 2);
  grid->addWidget(rtxtOtContents, 1, 0, 1, 2);
  grid->addWidget(txtIns, 0, 2, 2, 1);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(cmdInOut);
  buttons->addWidget(cmdSend);
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(grid);
  layout->addLayout(buttons);

  setTabOrder(txtSubject, txtOtSubject);
  setTabOrder(txtOtSubject, rtxtContents);
  setTabOrder(rtxtContents, rtxtOtContents);
  setTabOrder(rtxtOtContents, cmdInOut);
  setTabOrder(cmdInOut, cmdSend);
  setTabOrder(cmdSend, cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void frmContents::Form_Load() {
  rtxtOtContents->hide();
  txtOtSubject->hide();
  txtSubject->setText(gstrInSubject);
  txtOtSubject->setText(gstrOtSubject);
  LoadTextFile(TemplateBodyPath(kEntryTemplate), rtxtContents);
  LoadTextFile(TemplateBodyPath(kExitTemplate), rtxtOtContents);
}

bool frmContents::EntryOnScreen() const { return cmdInOut->text() == kShowExit; }

void frmContents::cmdInOut_Click() {
  const bool showExit = EntryOnScreen();
  txtSubject->setVisible(!showExit);
  rtxtContents->setVisible(!showExit);
  txtOtSubject->setVisible(showExit);
  rtxtOtContents->setVisible(showExit);
  cmdInOut->setText(showExit ? kShowEntry : kShowExit);
}

void frmContents::cmdSend_Click() { frmMail::instance().exec(); }

void frmContents::cmdOK_Click() {
  auto refuse = [](const QString& text) { ui::MsgBox(text, ui::vbInformation); };
  if (rtxtContents->toPlainText().isEmpty()) return refuse(QStringLiteral("入場時送信内容を設定してください"));
  if (rtxtOtContents->toPlainText().isEmpty()) return refuse(QStringLiteral("退場時の送信内容を設定してください"));
  if (txtSubject->text().isEmpty()) return refuse(QStringLiteral("入場時の件名を設定してください"));
  if (txtOtSubject->text().isEmpty()) return refuse(QStringLiteral("退場時の件名を設定してください"));
  // A template that could not be saved keeps the window open with the texts.
  if (!SaveMailTemplates({{&kEntryTemplate, txtSubject->text(), rtxtContents},
                          {&kExitTemplate, txtOtSubject->text(), rtxtOtContents}}))
    return;
  Unload();
}

void frmContents::cmdCancel_Click() { Unload(); }

void frmContents::reject() { Unload(); }
