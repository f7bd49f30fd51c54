#include "history/frmPrint.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "common/BulkMailDraft.h"
#include "common/FormInstance.h"
#include "common/MemberRoster.h"
#include "common/PictureBox.h"
#include "common/SettingsFields.h"
#include "codepage/narrow.h"
#include "common/globals.h"
#include "common/mdlPicture.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "common/mdlLogWrite.h"
#include "common/mdlMail.h"
#include "db/db.h"
#include "history/BulkMailRun.h"
#include "history/IdCardSheet.h"
#include "history/MemberSelection.h"
#include "history/frmHist.h"
#include "history/mdlPrinter.h"
#include "ui/clock.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmPrint> gForm;

const QString kInputTitle = QStringLiteral("入力の確認");

// A text of decimal digits only, as a number; -1 for any other text.
qint64 Digits(const QString& text) {
  if (text.isEmpty()) return -1;
  for (QChar c : text)
    if (c < QLatin1Char('0') || c > QLatin1Char('9')) return -1;
  return text.toLongLong();
}
}  // namespace

frmPrint& frmPrint::instance() {
  return gForm.Get([] { return new frmPrint(); }, [](frmPrint& form) { form.Form_Load(); });
}

bool frmPrint::IsLoaded() { return gForm.IsLoaded(); }

void frmPrint::Unload() {
  if (frmPrint* form = gForm.Take()) form->Dismiss();
}

frmPrint::frmPrint() : HistoryDialog(QStringLiteral("frmPrint"), QSize(400, 172)) {
  if (gintMailMode == 2)
    mode_ = Mode::Bulk;
  else if (gintHistMode == 1)
    mode_ = Mode::History;
  BuildWidgets();
}

void frmPrint::BuildWidgets() {
  const QFont font = ui::StationFont(10);
  setFont(font);

  imgLogo = new PictureBox(this);
  imgLogo->setObjectName(QStringLiteral("imgLogo"));
  imgLogo->setGeometry(8, 10, 113, 151);

  lblID = new QLabel(QStringLiteral("ID："), this);
  lblID->setObjectName(QStringLiteral("lblID"));
  lblID->setGeometry(132, 18, 56, 24);
  lblID->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
  txtIDStart = new QLineEdit(this);
  txtIDStart->setObjectName(QStringLiteral("txtIDStart"));
  txtIDStart->setGeometry(192, 18, 88, 24);
  Label1 = new QLabel(QStringLiteral("～"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setGeometry(282, 18, 16, 24);
  Label1->setAlignment(Qt::AlignCenter);
  txtIDEnd = new QLineEdit(this);
  txtIDEnd->setObjectName(QStringLiteral("txtIDEnd"));
  txtIDEnd->setGeometry(300, 18, 88, 24);
  txtIDEnd->installEventFilter(this);

  chkAll = new QCheckBox(this);
  chkAll->setObjectName(QStringLiteral("chkAll"));
  chkAll->setGeometry(192, 52, 196, 22);
  chkChkBox = new QCheckBox(this);
  chkChkBox->setObjectName(QStringLiteral("chkChkBox"));
  chkChkBox->setGeometry(192, 78, 196, 22);

  lblNow = new QLabel(QStringLiteral("印刷中．．．"), this);
  lblNow->setObjectName(QStringLiteral("lblNow"));
  lblNow->setGeometry(132, 106, 256, 20);
  lblNow->hide();

  cmdPrint = new QPushButton(this);
  cmdPrint->setObjectName(QStringLiteral("cmdPrint"));
  cmdPrint->setGeometry(204, 132, 88, 30);
  cmdPrint->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("キャンセル"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(300, 132, 88, 30);
  cmdCancel->setAutoDefault(false);

  setTabOrder(txtIDStart, txtIDEnd);
  setTabOrder(txtIDEnd, chkAll);
  setTabOrder(chkAll, chkChkBox);
  setTabOrder(chkChkBox, cmdPrint);
  setTabOrder(cmdPrint, cmdCancel);

  // Ticks set from code count as clicks, as the user's do.
  connect(chkAll, &QCheckBox::toggled, this, &frmPrint::chkAll_Click);
  connect(chkChkBox, &QCheckBox::toggled, this, &frmPrint::chkChkBox_Click);
  connect(cmdPrint, &QPushButton::clicked, this, &frmPrint::cmdPrint_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmPrint::cmdCancel_Click);
}

void frmPrint::Form_Load() {
  QString logo = EditedLogoFile();
  if (logo.isEmpty() || !QFileInfo(logo).isFile()) logo = gstrAppPath + QStringLiteral("image/logo.jpg");
  imgLogo->setStretch(true);
  FitPicture(113, 151, *imgLogo, logo, false, imgLogo->Top(), QStringLiteral("Left"), imgLogo->Left(),
             QStringLiteral("Top"));

  switch (mode_) {
    case Mode::Bulk:
      setWindowTitle(QStringLiteral("一括メール送信"));
      chkAll->setText(QStringLiteral("すべてに送信"));
      chkChkBox->setText(QStringLiteral("選択データに送信"));
      cmdPrint->setText(QStringLiteral("送信"));
      break;
    case Mode::History: {
      setWindowTitle(QStringLiteral("入退室履歴情報"));
      lblID->setText(QStringLiteral("年月："));
      chkAll->setText(QStringLiteral("すべてを表示"));
      chkChkBox->setText(QStringLiteral("選択データを表示"));
      cmdPrint->setText(QStringLiteral("実行"));
      const QString month = ui::Now().toString(QStringLiteral("yyyyMM"));
      txtIDStart->setText(month);
      txtIDEnd->setText(month);
      chkAll->setEnabled(false);
      break;
    }
    case Mode::Card:
      setWindowTitle(QStringLiteral("IDカード印刷"));
      chkAll->setText(QStringLiteral("すべてを印刷"));
      chkChkBox->setText(QStringLiteral("選択データを印刷"));
      cmdPrint->setText(QStringLiteral("印刷"));
      break;
  }
  txtIDStart->setFocus();
}

void frmPrint::SetRangeEnabled(bool enabled) {
  txtIDStart->setEnabled(enabled);
  txtIDEnd->setEnabled(enabled);
}

void frmPrint::chkAll_Click() {
  if (chkAll->isChecked()) {
    SetRangeEnabled(false);
    chkChkBox->setChecked(false);
  } else if (!chkChkBox->isChecked()) {
    SetRangeEnabled(true);
  }
}

void frmPrint::chkChkBox_Click() {
  if (mode_ == Mode::History) {
    // The year-month range always applies.
    if (chkChkBox->isChecked()) chkAll->setChecked(false);
    return;
  }
  if (chkChkBox->isChecked()) {
    SetRangeEnabled(false);
    chkAll->setChecked(false);
  } else if (!chkAll->isChecked()) {
    SetRangeEnabled(true);
  }
}

void frmPrint::txtIDEnd_GotFocus() {
  if (txtIDEnd->text().isEmpty()) txtIDEnd->setText(txtIDStart->text());
}

bool frmPrint::eventFilter(QObject* watched, QEvent* event) {
  if (watched == txtIDEnd && event->type() == QEvent::FocusIn) txtIDEnd_GotFocus();
  return QDialog::eventFilter(watched, event);
}

void frmPrint::CloseRequested() {
  if (!running_) cmdCancel_Click();
}

void frmPrint::cmdCancel_Click() {
  if (running_) return;
  gintHistMode = 0;
  Unload();
}

bool frmPrint::CheckInput() {
  txtIDStart->setText(cp::ToHalfWidth(txtIDStart->text()));
  txtIDEnd->setText(cp::ToHalfWidth(txtIDEnd->text()));
  const QString start = txtIDStart->text();
  const QString end = txtIDEnd->text();
  auto refuse = [](const QString& text) {
    ui::MsgBox(text, ui::vbInformation, kInputTitle);
    return false;
  };

  if (mode_ == Mode::History) {
    const QString missing = QStringLiteral("年月を入力してください。");
    if (start.isEmpty() || end.isEmpty()) return refuse(missing);
    const qint64 from = Digits(start), to = Digits(end);
    if (from >= 0 && to >= 0 && to < from) return refuse(QStringLiteral("年月の指定が不明です。"));
    // Six digits each: a text of other characters would make no day number.
    if (start.size() != 6 || end.size() != 6 || from < 0 || to < 0)
      return refuse(QStringLiteral("年月は6桁(yyyymm)で入力してください。"));
    return true;
  }

  if (!chkAll->isChecked() && !chkChkBox->isChecked()) {
    const QString missing = QStringLiteral("ID番号を入力してください。");
    if (start.isEmpty() || end.isEmpty()) return refuse(missing);
    const qint64 from = Digits(start), to = Digits(end);
    if (from < 0 || to < 0 || to < from) return refuse(QStringLiteral("ID番号の指定が不明です。"));
    return true;
  }

  const bool bulk = mode_ == Mode::Bulk;
  QString question;
  if (chkAll->isChecked())
    question = bulk ? QStringLiteral("データ全件に送信します。") : QStringLiteral("データ全件を印刷します。");
  else
    question = bulk ? QStringLiteral("選択データに送信します。") : QStringLiteral("選択データを印刷します。");
  const QString title = bulk ? QStringLiteral("送信の確認") : QStringLiteral("印刷の確認");
  return ui::MsgBox(question, ui::vbOKCancel + ui::vbInformation, title) == ui::vbOK;
}

bool frmPrint::CheckSelection() {
  glngIDCount = 0;
  gblnIDSel = false;
  gstrIDList.clear();
  const MemberRoster& roster = MemberRoster::Shared();
  if (!chkChkBox->isChecked()) {
    gblnIDSel = true;
  } else {
    for (int row = 0; row < roster.Count(); ++row) {
      const RosterMember& m = roster.At(row);
      if (!m.ticked) continue;
      if (mode_ == Mode::Bulk && m.mailAddr.isEmpty()) continue;
      gblnIDSel = true;
      if (mode_ != Mode::History) break;
      gstrIDList << m.id;
      ++glngIDCount;
    }
  }
  if (!gblnIDSel) {
    ui::MsgBox(QStringLiteral("選択されたデータがありません。"), ui::vbCritical, QStringLiteral("指定の確認"));
    Unload();
    return false;
  }
  if (chkAll->isChecked()) gblnIDSel = false;
  return true;
}

void frmPrint::cmdPrint_Click() {
  if (running_ || !CheckInput() || !CheckSelection()) return;
  switch (mode_) {
    case Mode::History: RunHistory(); break;
    case Mode::Card: RunCards(); break;
    case Mode::Bulk: RunBulkMail(); break;
  }
}

MemberSelection frmPrint::Selection() const {
  MemberSelection selection;
  selection.kind = chkAll->isChecked()      ? MemberSelection::Kind::All
                   : chkChkBox->isChecked() ? MemberSelection::Kind::Ticked
                                            : MemberSelection::Kind::Range;
  selection.tickedIds = MemberRoster::Shared().TickedIds();
  selection.rangeStart = txtIDStart->text();
  selection.rangeEnd = txtIDEnd->text();
  return selection;
}

void frmPrint::JobFailed(const QString& what) {
  Log(what, QStringLiteral("失敗"));
  lblNow->setText(QStringLiteral("エラー発生！"));
  lblNow->repaint();
}

void frmPrint::RunCards() {
  if (!PrinterInstalled() || !ShowPrinterDialog(kPrintSetupFlags, this)) return;
  lblNow->setText(QStringLiteral("印刷中．．．"));
  lblNow->show();
  repaint();

  QString error;
  db::Recordset& members = grsDB();
  bool printed = OpenMemberSelection(gcnDB(), members, Selection(), &error);
  if (printed && members.RecordCount() > 0) {
    members.MoveFirst();
    printed = PrintIdCards(printing::ThePrinter(), members, members.RecordCount(), EditedAppUser(),
                           gstrLogoFile, *imgLogo, &error);
  }
  members.Close();
  if (!printed) return JobFailed(QStringLiteral("カード印刷"));
  ui::MsgBox(QStringLiteral("印刷は終了しました。"), ui::vbInformation, QStringLiteral("印刷の確認"));
  Log(QStringLiteral("カード印刷"), QStringLiteral("成功"));
  lblNow->hide();
  Unload();
}

void frmPrint::RunBulkMail() {
  const QString what = QStringLiteral("一括メール送信");
  lblNow->setText(QStringLiteral("送信中．．．"));
  lblNow->show();
  repaint();

  db::Recordset& members = grsDB();
  if (!OpenMemberSelection(gcnDB(), members, Selection())) return JobFailed(what);
  BulkMailOutcome outcome;
  if (members.RecordCount() > 0) {
    members.MoveFirst();
    // The run lets events through while it waits on the servers: nothing here may start again
    // or close under it.
    running_ = true;
    cmdPrint->setEnabled(false);
    cmdCancel->setEnabled(false);
    outcome = frmPrint_SendBulkMail(members);
    running_ = false;
  }
  members.Close();
  if (outcome.programEnded) {
    // Ended by the end of the program: the job did not run to its end, and nothing more is shown.
    Log(what, QStringLiteral("失敗"));
    return;
  }

  // The end says what became of the members, and the log line tells the real result.
  const bool clean = outcome.AllSent();
  ui::MsgBox(BulkMailEndText(outcome), clean ? ui::vbInformation : ui::vbCritical,
             clean ? QStringLiteral("送信の確認") : QStringLiteral("処理の確認"));
  Log(what, clean ? QStringLiteral("成功") : QStringLiteral("失敗"));
  TheBulkMailDraft().jobEnded = true;
  lblNow->hide();
  Unload();
}

BulkMailOutcome frmPrint::frmPrint_SendBulkMail(db::Recordset& members) {
  return SendBulkMail(members, TheBulkMailDraft(), MailAccountFromSettings());
}

void frmPrint::RunHistory() {
  lblNow->show();
  glngHistFrom = txtIDStart->text().toInt() * 100;
  glngHistTo = txtIDEnd->text().toInt() * 100 + 99;
  frmHist::instance().ShowModal();
  Unload();
}
