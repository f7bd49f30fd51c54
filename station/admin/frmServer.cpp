#include "admin/frmServer.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "admin/NarrowField.h"
#include "admin/frmSet.h"
#include "common/FormInstance.h"
#include "common/globals.h"
#include "common/mdlIni.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmServer> gForm;

const QString kInputTitle = QStringLiteral("入力の確認");

void Refuse(const QString& text) { ui::MsgBox(text, ui::vbInformation, kInputTitle); }
}  // namespace

frmServer& frmServer::instance() { return gForm.Get([] { return new frmServer(); }); }

bool frmServer::IsLoaded() { return gForm.IsLoaded(); }

void frmServer::Unload() {
  gForm.DismissDialog();
}

frmServer::frmServer()
    : QDialog(frmSet::IsLoaded() ? &frmSet::instance() : nullptr,
              Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("frmServer"));
  setWindowTitle(QStringLiteral("メールサーバー設定"));
  setFont(ui::StationFont(9));
  setModal(true);
  BuildWidgets();
  Form_Load();
}

void frmServer::BuildWidgets() {
  auto makeField = [this](const char* name) {
    auto* field = new QLineEdit(this);
    field->setObjectName(QLatin1String(name));
    field->setMinimumWidth(240);
    return field;
  };
  txtServer = makeField("txtServer");
  txtPOP3 = makeField("txtPOP3");
  txtID = makeField("txtID");
  txtPsw = makeField("txtPsw");
  lblPOP3 = new QLabel(QStringLiteral("POP3ｻｰﾊﾞ："), this);
  lblPOP3->setObjectName(QStringLiteral("lblPOP3"));
  lblPOP3->setBuddy(txtPOP3);

  auto* fields = new QGridLayout;
  fields->addWidget(new QLabel(QStringLiteral("SMTPｻｰﾊﾞ："), this), 0, 0);
  fields->addWidget(txtServer, 0, 1);
  fields->addWidget(lblPOP3, 1, 0);
  fields->addWidget(txtPOP3, 1, 1);
  fields->addWidget(new QLabel(QStringLiteral("ID："), this), 2, 0);
  fields->addWidget(txtID, 2, 1);
  fields->addWidget(new QLabel(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ："), this), 3, 0);
  fields->addWidget(txtPsw, 3, 1);

  auto* regFrame = new QGroupBox(QStringLiteral("送信時の認証"), this);
  regFrame->setObjectName(QStringLiteral("Frame1"));
  auto* regLayout = new QHBoxLayout(regFrame);
  const char* const regCaptions[] = {"なし", "あり"};
  for (int i = 0; i < 2; ++i) {
    optReg[i] = new QRadioButton(QString::fromUtf8(regCaptions[i]), regFrame);
    optReg[i]->setObjectName(QStringLiteral("optReg(%1)").arg(i));
    regLayout->addWidget(optReg[i]);
    connect(optReg[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) optReg_Click(i); });
  }
  regLayout->addStretch(1);

  fraReg = new QGroupBox(QStringLiteral("認証方法"), this);
  fraReg->setObjectName(QStringLiteral("fraReg"));
  auto* methodLayout = new QGridLayout(fraReg);
  const char* const methodCaptions[] = {"POP before SMTP", "AUTH LOGIN", "AUTH CRAM-MD5", "AUTH PLAIN"};
  for (int i = 0; i < 4; ++i) {
    optRegM[i] = new QRadioButton(QString::fromUtf8(methodCaptions[i]), fraReg);
    optRegM[i]->setObjectName(QStringLiteral("optRegM(%1)").arg(i));
    methodLayout->addWidget(optRegM[i], i / 2, i % 2);
    connect(optRegM[i], &QRadioButton::toggled, this, [this, i](bool on) { if (on) optRegM_Click(i); });
  }

  cmdOK = new QPushButton(QStringLiteral("OK"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setAutoDefault(false);
  cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setAutoDefault(false);
  connect(cmdOK, &QPushButton::clicked, this, &frmServer::cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmServer::cmdCancel_Click);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(cmdOK);
  buttons->addWidget(cmdCancel);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(regFrame);
  layout->addWidget(fraReg);
  layout->addLayout(buttons);

  setTabOrder(txtServer, txtPOP3);
  setTabOrder(txtPOP3, txtID);
  setTabOrder(txtID, txtPsw);
  setTabOrder(txtPsw, optReg[0]);
  setTabOrder(optReg[0], optReg[1]);
  setTabOrder(optReg[1], optRegM[0]);
  for (int i = 0; i < 3; ++i) setTabOrder(optRegM[i], optRegM[i + 1]);
  setTabOrder(optRegM[3], cmdOK);
  setTabOrder(cmdOK, cmdCancel);
}

void frmServer::Form_Load() {
  optReg[gintMailReg == 0 ? 0 : 1]->setChecked(true);
  if (gintRegM >= 0 && gintRegM <= 3) optRegM[gintRegM]->setChecked(true);
  txtServer->setText(gstrMailServer);
  txtPOP3->setText(gstrPop3Server);
  txtID->setText(gstrAuthID);
  txtPsw->setText(gstrAuthPsw);
  setFixedSize(sizeHint());
}

void frmServer::optReg_Click(int index) {
  const bool on = index == 1;
  fraReg->setEnabled(on);
  for (QRadioButton* option : optRegM) option->setEnabled(on);
}

void frmServer::optRegM_Click(int index) {
  lblPOP3->setEnabled(index == 0);
  txtPOP3->setEnabled(index == 0);
}

void frmServer::cmdOK_Click() {
  const QString server = NarrowField(txtServer);
  if (server.isEmpty()) return Refuse(QStringLiteral("SMTPサーバーの指定がありません"));
  if (!server.contains(QLatin1Char('.'))) return Refuse(QStringLiteral("SMTPサーバーの指定に誤りがあります"));
  const QString pop3 = NarrowField(txtPOP3);
  if (optRegM[0]->isChecked()) {
    if (pop3.isEmpty()) return Refuse(QStringLiteral("POP3サーバーの指定がありません"));
    if (!pop3.contains(QLatin1Char('.'))) return Refuse(QStringLiteral("POP3サーバーの指定に誤りがあります"));
  }
  if (txtID->text().isEmpty()) return Refuse(QStringLiteral("ＩＤの指定がありません"));
  if (txtPsw->text().isEmpty()) return Refuse(QStringLiteral("パスワードの指定がありません"));

  int method = gintRegM;
  for (int i = 0; i < 4; ++i)
    if (optRegM[i]->isChecked()) method = i;
  const int reg = optReg[0]->isChecked() ? 0 : 1;
  const QString mail = QStringLiteral("MAIL");
  // The file first: a window whose keys could not be stored stays open with nothing changed.
  if (!WriteIniKeys({{mail, QStringLiteral("mailreg"), QString::number(reg)},
                     {mail, QStringLiteral("regm"), QString::number(method)},
                     {mail, QStringLiteral("mailserver"), server},
                     {mail, QStringLiteral("pop3server"), pop3},
                     {mail, QStringLiteral("mailid"), txtID->text()},
                     {mail, QStringLiteral("mailpsw"), txtPsw->text()}}))
    return;
  gintMailReg = reg;
  gintRegM = method;
  gstrMailServer = server;
  gstrPop3Server = pop3;
  gstrAuthID = txtID->text();
  gstrAuthPsw = txtPsw->text();
  Unload();
}

void frmServer::cmdCancel_Click() { Unload(); }

void frmServer::reject() { Unload(); }
