#include "desk/frmMin.h"

#include <QCloseEvent>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>
#include <QHeaderView>
#include <QPointer>

#include <cmath>

#include "codepage/codepage.h"
#include "db/db.h"
#include "desk/BarcodeFrame.h"
#include "common/MailTemplates.h"
#include "common/mdlStation.h"
#include "desk/frmIOMess.h"
#include "serial/mscomm.h"
#include "sound/sound.h"
#include "common/FormInstance.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "common/mdlLogWrite.h"
#include "common/StationRecords.h"
#include "common/mdlVelmor.h"
#include "desk/RunGridModel.h"
#include "ui/clock.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {

FormInstance<frmMin> gForm;

int PxX(double twips) { return static_cast<int>(std::nearbyint(twips / TwipsPerPixelX())); }
int PxY(double twips) { return static_cast<int>(std::nearbyint(twips / TwipsPerPixelY())); }

// Column widths in twips.
const int kColumns[] = {250, 1500, 1500, 1500, 1500, 4000};

}  // namespace

frmMin& frmMin::instance() {
  if (frmMin* form = gForm.get()) return *form;
  auto* form = new frmMin();
  gForm.Set(form);
  // A load that fails unloads the window again; it stays valid until the event loop deletes it.
  form->frmMin_Form_Load();
  return *form;
}

bool frmMin::IsLoaded() { return gForm.IsLoaded(); }

void frmMin::Unload() {
  if (frmMin* form = gForm.get()) form->frmMin_Form_Unload();
}

frmMin::frmMin()
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                           Qt::WindowCloseButtonHint) {
  setObjectName(QStringLiteral("frmMin"));
  setWindowTitle(QStringLiteral("入退室履歴"));
  setFixedSize(PxX(12000), PxY(9000));

  fgHist = new QTableView(this);
  fgHist->setObjectName(QStringLiteral("fgHist"));
  fgHist->setGeometry(PxX(660), PxY(525), PxX(10815), PxY(7485));
  fgHist->setFont(ui::StationFont(9));
  fgHist->horizontalHeader()->hide();
  fgHist->verticalHeader()->hide();
  fgHist->verticalHeader()->setDefaultSectionSize(fgHist->fontMetrics().height() + 4);
  fgHist->setEditTriggers(QAbstractItemView::NoEditTriggers);
  fgHist->setSelectionMode(QAbstractItemView::NoSelection);
  mGrid = new RunGridModel(this);
  mGrid->SetFixedShade(palette().color(QPalette::Button));
  fgHist->setModel(mGrid);

  cmdEnd = new QPushButton(QStringLiteral("終了"), this);
  cmdEnd->setObjectName(QStringLiteral("cmdEnd"));
  cmdEnd->setGeometry(PxX(9405), PxY(8385), PxX(1965), PxY(300));
  connect(cmdEnd, &QPushButton::clicked, this, &frmMin::frmMin_cmdEnd_Click);

  rtxtinContents = NewMailTemplateBox(this, QStringLiteral("rtxtinContents"));
  rtxtotContents = NewMailTemplateBox(this, QStringLiteral("rtxtotContents"));

  MSComm1 = new serial::MSComm(this);
  MSComm1->setObjectName(QStringLiteral("MSComm1"));
  frame_ = new BarcodeFrame(*MSComm1, [this](const QString& id) { frmMin_txtID_LostFocus(id); },
                            this);
  connect(MSComm1, &serial::MSComm::OnComm, this, &frmMin::frmMin_MSComm1_OnComm);

  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(1000);
  connect(Timer1, &QTimer::timeout, this, &frmMin::frmMin_Timer1_Timer);
}

void frmMin::Show() {
  if (!gForm.Holds(this) || unloading_) return;
  // Centred on the screen, started minimized.
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect area = screen->availableGeometry();
    move(area.center() - QPoint(width() / 2, height() / 2));
  }
  showMinimized();
}

QString frmMin::TextMatrix(int row, int col) const { return mGrid->Text(row, col); }

void frmMin::frmMin_Form_Load() {
  // Grid: the header row alone, six columns.
  for (int col = 0; col < RunGridModel::kColumns; ++col) fgHist->setColumnWidth(col, PxX(kColumns[col]));

  // The reader's port.
  if (gintBarConnect == 2) {
    MSComm1->setCommPort(gintBarPort);
    MSComm1->setSettings(QStringLiteral("9600,n,8,1"));
    MSComm1->setRThreshold(1);
    if (!MSComm1->PortOpen() && !MSComm1->setPortOpen(true)) {
      ui::MsgBox(QStringLiteral("RS232C接続のバーコードが認識できません"), ui::vbCritical,
                 QStringLiteral("ハードウェアの確認"));
      Log(QStringLiteral("バーコード不明"), QStringLiteral("起動失敗"));
      frmMin_Form_Unload();
      return;
    }
  }

  // Mail templates.
  if (gblnSendMail) {
    LoadTextFile(gstrAppPath + QStringLiteral("Velmor.txt"), rtxtinContents);
    LoadTextFile(gstrAppPath + QStringLiteral("otMail.txt"), rtxtotContents);
  }

  Timer1->start();
}

void frmMin::frmMin_MSComm1_OnComm() { frame_->OnComm(); }

void frmMin::frmMin_Timer1_Timer() {
  if (!mblnShown) return;
  ++mlngCount;
  if (mlngCount == glngIntTime * 60) {
    if (frmIOMess::IsLoaded()) frmIOMess::instance().hide();
    mblnShown = false;
    mlngCount = 0;
  }
}

void frmMin::frmMin_txtID_LostFocus(const QString& id) {
  // Scans still waiting when the station was ended are not handled: the program is going.
  if (unloading_) return;
  mRoad.Submit(id);
}

// ---- what the minimized station shows of a road ------------------------------------------------

bool frmMin::RoadWindowOpen() const { return !unloading_; }

void frmMin::RoadStarted(const RoadEvent&) {
  mblnShown = true;
  mlngCount = 0;
}

QString frmMin::RoadMailTemplate(bool entry) const {
  return MailTemplateText(entry ? rtxtinContents : rtxtotContents);
}

void frmMin::RoadEnded(const RoadEvent& e, RoadEnd how) {
  QString line;
  if (how == RoadEnd::AlreadyRegistered)
    line = QStringLiteral("ID:") + e.id + ' ' + e.member.name + ' ' + e.member.honorific +
           QStringLiteral(" 登録済み");
  else if (how == RoadEnd::DatabaseFailed)  // nothing of the scan was stored
    line = QStringLiteral("ID:") + e.id + QStringLiteral(" 記録エラー！");
  else
    return;
  frmIOMess& result = frmIOMess::instance();
  result.BringForward();
  result.lblIOData->setText(line);
  result.repaint();
  mlngShownSerial = 0;
}

void frmMin::RoadGreeting(const RoadEvent& e, const GreetingPick&) {
  const QString ioName = IoName(e.entry);
  frmIOMess& result = frmIOMess::instance();
  result.BringForward();
  result.lblIOData->setText(QStringLiteral("ID:") + e.id + ' ' + e.member.name + ' ' + e.member.honorific +
                            ' ' + e.nowText + ' ' + ioName);
  result.repaint();
  mlngShownSerial = e.serial;

  mGrid->AddEvent(e.stamp, e.entry, e.id, e.member.name);
}

void frmMin::RoadAfterMail(const RoadEvent& e) {
  // The sender tells it later: the result line takes the word only while it still shows this
  // event (the result window may have gone, or show a later member, meanwhile).
  frmIOMess* shown = frmIOMess::IsLoaded() && mlngShownSerial == e.serial ? &frmIOMess::instance() : nullptr;
  auto append = [shown](const QString& text) {
    if (!shown) return;
    shown->lblIOData->setText(shown->lblIOData->text() + text);
    shown->repaint();
  };
  switch (e.mail) {
    case MailResult::Sent: break;
    case MailResult::DialUpFailed:
      ui::MsgBox(QStringLiteral("ダイアルアップ接続が確立できません。"), ui::vbOKOnly,
                 QStringLiteral("接続の確認"));
      break;
    case MailResult::ServerFailed: append(QStringLiteral(" サーバー接続エラー！")); break;
    case MailResult::SendFailed: append(QStringLiteral(" 送信エラー！")); break;
  }
}

void frmMin::frmMin_cmdEnd_Click() { Unload(); }

void frmMin::frmMin_Form_Unload() {
  if (unloading_) return;
  unloading_ = true;
  gForm.Release(this);
  // Notifications not yet sent are given up, each with its log line: the station is ending.
  mRoad.GiveUpNotices();
  if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
  Timer1->stop();
  hide();
  deleteLater();
  frmIOMess::Unload();
  EndProgram();
}

void frmMin::closeEvent(QCloseEvent* event) {
  // The close box unloads the window like "終了".
  QWidget::closeEvent(event);
  if (!unloading_) frmMin_Form_Unload();
}
