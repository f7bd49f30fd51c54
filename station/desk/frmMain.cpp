#include "desk/frmMain.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>

#include "codepage/codepage.h"
#include "com/controlsite.h"
#include "com/hresult.h"
#include "db/db.h"
#include "files/files.h"
#include "common/MailTemplates.h"
#include "desk/frmChk.h"
#include "desk/frmChkNo.h"
#include "sound/sound.h"
#include "common/FormInstance.h"
#include "common/PictureBox.h"
#include "common/StationRecords.h"
#include "common/frmBack.h"
#include "common/globals.h"
#include "common/mdlEnd.h"
#include "common/mdlLogWrite.h"
#include "common/mdlPicture.h"
#include "common/mdlSpeech.h"
#include "ui/clock.h"
#include "ui/focus_keeper.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {

FormInstance<frmMain> gForm;

const QString kPrompt = QStringLiteral("にゅうりょくしてください");


// Calls a member of the camera control late-bound by its name; returns the call's result.
com::HRESULT CallCamera(com::ControlSite* cam, const QString& member,
                        std::initializer_list<com::Variant> args = {}, com::Variant* result = nullptr) {
  return cam ? cam->CallByName(member, args, result) : com::E_FAIL;
}

void SetLabelOpaque(QLabel* label, bool opaque) {
  label->setAutoFillBackground(opaque);
  label->update();
}

}  // namespace

// ---- the instance ----------------------------------------------------------------------------

frmMain& frmMain::instance() {
  if (frmMain* form = gForm.get()) return *form;
  auto* form = new frmMain();
  if (!form->mblnUnloaded) gForm.Set(form);
  return *form;
}

bool frmMain::IsLoaded() { return gForm.IsLoaded(); }

void frmMain::Unload() {
  if (frmMain* form = gForm.get()) form->UnloadSelf();
}

void frmMain::UnloadSelf() {
  gForm.Release(this);
  if (mblnUnloaded) return;
  frmMain_Form_Unload();
  mblnUnloaded = true;
  QWidget::setVisible(false);
  deleteLater();
}

frmMain::frmMain() : QWidget(nullptr, Qt::FramelessWindowHint) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(QStringLiteral("Velmor"));
  setFixedSize(1024, 768);
  QPalette pal = palette();
  pal.setColor(QPalette::Window, Qt::white);
  setPalette(pal);
  setAutoFillBackground(true);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect whole = screen->geometry();
    move(whole.x() + (whole.width() - 1024) / 2, whole.y() + (whole.height() - 768) / 2);
  }
  BuildControls();
  // On a kiosk screen the station takes the keyboard when it shows and keeps it: whatever the
  // pointer rests on, a reader that types like a keyboard types into it (the backdrop holding the
  // focus counts as nobody).
  new ui::FocusKeeper(this, [](const QWindow* window) {
    return frmBack::IsLoaded() && frmBack::instance().windowHandle() == window;
  });
  frmMain_Form_Initialize();
  mblnLoaded = true;
  if (!frmMain_Form_Load()) {
    UnloadSelf();
    EndProgram();
  }
}

frmMain::~frmMain() {
  gForm.Release(this);
  if (!mblnUnloaded) frmMain_Form_Unload();
}

void frmMain::setVisible(bool visible) {
  // A window whose load failed has unloaded itself: showing it afterwards shows nothing.
  if (visible && mblnUnloaded) return;
  QWidget::setVisible(visible);
}

// ---- initialise, load, activate, unload --------------------------------------------------------

void frmMain::frmMain_Form_Initialize() { ui::Randomize(); }

QString frmMain::Prompt() const { return gstrInMessage.isEmpty() ? kPrompt : gstrInMessage; }

void frmMain::ShowPicture(PictureBox* box, const QString& path) {
  QPixmap picture;
  // A picture that cannot be loaded leaves the box empty.
  if (path.isEmpty() || !LoadPicture(path, picture)) picture = QPixmap();
  mpicLoaded = picture;
  box->setPicture(picture);
}

QString frmMain::LogoLookup() {
  if (!gstrLogoFile.isEmpty() && QFileInfo(gstrLogoFile).isFile()) return gstrLogoFile;
  gstrLogoFile = gstrAppPath + QStringLiteral("image/logo.jpg");
  return QFileInfo(gstrLogoFile).isFile() ? gstrLogoFile : QString();
}

void frmMain::PlaceCameraBox(int left, int top) {
  imgChange->setStretch(true);
  imgChange->setGeometry(left, top, 240, 180);
  if (mOrnik1) {
    mOrnik1->SetLeft(left);
    mOrnik1->SetTop(top);
    mOrnik1->Resize(240, 180);
    if (QWidget* w = mOrnik1->Widget()) w->raise();
  }
}

void frmMain::ShowMonthPicture() {
  const QString month = ui::Now().toString(QStringLiteral("MM/dd")).left(2);
  imgBack->setStretch(true);
  ShowPicture(imgBack, gstrAppPath + QStringLiteral("image/m") + month + QStringLiteral(".jpg"));
  imgBack->show();
}

void frmMain::LayoutOverPicture() {
  imgFirst->hide();
  PlaceCameraBox(755, 25);
  SetLabelOpaque(Label2, false);
  SetLabelOpaque(lblUrl, false);
}

void frmMain::LayoutScreenMode(bool seasonal) {
  if (seasonal) {
    ShowMonthPicture();
    LayoutOverPicture();
  } else {
    imgBack->hide();
    // The waiting picture is there from the start, as the waiting screen puts it up.
    const QString waiting = gstrAppPath + QStringLiteral("image/image000.jpg");
    ShowPicture(imgFirst, QFileInfo(waiting).isFile() ? waiting
                                                      : gstrAppPath + QStringLiteral("image/noimage.bmp"));
    imgFirst->show();
    PlaceCameraBox(141, 509);
    SetLabelOpaque(Label2, true);
    SetLabelOpaque(lblUrl, true);
  }
}

bool frmMain::LayoutNameList() {
  imgHide->setStretch(true);
  ShowPicture(imgHide, gstrAppPath + QStringLiteral("image/wite.jpg"));
  txtID->hide();
  cmdEnd->show();
  mstrListSQL = NameListSql(gintScreen == 2 && gintNoBarScr != 3);

  const bool opened = grsDB().Open(gcnDB(), mstrListSQL);
  if (!opened || grsDB().RecordCount() <= 0) {
    ui::MsgBox(QStringLiteral("登録者データが無いため、入力画面を作成できません。"), ui::vbCritical,
               QStringLiteral("データの確認"));
    grsDB().Close();
    gcnDB().Close();
    return false;
  }
  const int count = grsDB().RecordCount();
  mstrPageIDs = QStringList();
  for (int i = 0; i <= count; ++i) mstrPageIDs.append(QString());
  imgFoward->show();
  imgNext->show();
  lblCnt->show();
  mlngPage = 1;
  mlngPageSize = 20;
  const int pages = count / mlngPageSize + (count % mlngPageSize > 0 ? 1 : 0);
  lblCnt->setText(QStringLiteral("1/") + QString::number(pages));
  if (gintScreen == 2) {
    imgBack->setGeometry(384, 288, 640, 480);
    ShowMonthPicture();
  }
  LayoutOverPicture();
  frmMain_ShowNamePage();
  grsDB().Close();
  return true;
}

bool frmMain::StartCamera() {
  com::ControlSite* cam = mOrnik1.get();
  if (!cam) return false;
  CallCamera(cam, QStringLiteral("DVCInitialize"));
  if (glngCamCount <= 0) return true;
  cam->SetVisible(true);
  if (QWidget* w = cam->Widget()) {
    w->setObjectName(QStringLiteral("Ornik1"));
    w->raise();
  }
  CallCamera(cam, QStringLiteral("DVCSetVInDevNo"), {com::Variant(std::int16_t(0))});
  CallCamera(cam, QStringLiteral("DVCPreviewOn3"));
  // A 640 x 480 frame of 32 bits (the size of the photos the station keeps); compression, image
  // size, resolutions and colour counts 0.
  const std::int32_t w = 640, h = 480;
  CallCamera(cam, QStringLiteral("DVCSetVCaptureCaps2"),
              {com::Variant(std::int16_t(0)), com::Variant(w), com::Variant(h),
               com::Variant(std::int16_t(1)), com::Variant(std::int16_t(32)),
               com::Variant(std::int32_t(0)), com::Variant(std::int32_t(0)),
               com::Variant(std::int32_t(0)), com::Variant(std::int32_t(0)),
               com::Variant(std::int32_t(0)), com::Variant(std::int32_t(0))});
  com::Variant stretch;
  CallCamera(cam, QStringLiteral("DVCGetStretchType"), {}, &stretch);
  CallCamera(cam, QStringLiteral("DVCSetStretchType"), {com::Variant(std::int16_t(stretch.I2()))});
  return true;
}

bool frmMain::OpenBarcodePort() {
  if (!gblnBarcode || gintBarConnect != 2) return true;
  MSComm1->setCommPort(gintBarPort);
  MSComm1->setSettings(QStringLiteral("9600,n,8,1"));
  MSComm1->setRThreshold(1);
  if (MSComm1->PortOpen() || MSComm1->setPortOpen(true)) return true;
  ui::MsgBox(QStringLiteral("RS232C接続のバーコードが認識できません"), ui::vbCritical,
             QStringLiteral("ハードウェアの確認"));
  Log(QStringLiteral("バーコード不明"), QStringLiteral("起動失敗"));
  return false;
}

bool frmMain::frmMain_Form_Load() {
  frmBack::SetStationWindow(this);
  // Photo folder.
  gstrImgDir = gstrAppPath + QStringLiteral("ScanData/");
  files::MakePrivateFolder(gstrImgDir);

  // The camera control lives as long as the window; hidden until a camera is known.
  com::HRESULT hr = com::E_FAIL;
  mOrnik1 = com::CreateControl(QStringLiteral("ORNIK.OrnikCtrl.1"), this,
                               com::SiteOptions{QRect(141, 509, 240, 180), false}, &hr);

  // Layout by input mode and screen mode.
  if (gblnBarcode) {
    LayoutScreenMode(gintScreen == 2);
  } else if (gintNoBarScr == 1 || gintNoBarScr == 3) {
    if (!LayoutNameList()) return false;
  } else {
    fraNo->show();
    txtID->hide();
    cmdEnd->show();
    LayoutScreenMode(gintScreen == 2);
  }

  // Camera.
  mblnSendError = false;
  glngIdleCount = 0;
  StartCamera();
  if (glngCamCount <= 0) {
    const QString logo = LogoLookup();
    ShowPicture(imgChange, logo);
    imgChange->setStretch(true);
    imgChange->setWidth(240);
    imgChange->setHeight(180);
    if (!logo.isEmpty())
      FitPicture(240, 180, *imgChange, logo, false, imgChange->Top(), QStringLiteral("Center"),
                 imgChange->Left(), QStringLiteral("Middle"));
  } else {
    imgChange->hide();
  }

  if (gblnVoice) SpeechInitialize();

  // Logo.
  imgLogo->setStretch(false);
  const QString logo = LogoLookup();
  ShowPicture(imgLogo, logo);
  imgLogo->setStretch(true);
  imgLogo->setGeometry(10, 10, 80, 60);
  if (!logo.isEmpty())
    FitPicture(80, 60, *imgLogo, logo, false, imgLogo->Top(), QStringLiteral("Left"),
               imgLogo->Left(), QStringLiteral("Top"));

  // Texts.
  lblName->setText(gstrAppUser);
  lblFirst->hide();
  lblMess->setText(Prompt());
  lblMess->show();

  // Templates.
  if (gblnSendMail) {
    frmMain_LoadTextFile(gstrAppPath + QStringLiteral("Velmor.txt"), rtxtinContents);
    frmMain_LoadTextFile(gstrAppPath + QStringLiteral("otMail.txt"), rtxtotContents);
  }

  // Clock.
  ClockText();
  Timer1->setInterval(1000);
  Timer1->start();

  // Serial port.
  return OpenBarcodePort();
}

void frmMain::frmMain_Form_Activate() {
  // The window has taken the keyboard as it showed (its focus keeper), whatever its input.
  if (gblnBarcode) txtID->setFocus(Qt::OtherFocusReason);
}

void frmMain::frmMain_Form_Unload() {
  Timer1->stop();
  // Notifications not yet sent are given up, each with its log line: the station is ending.
  mRoad.GiveUpNotices();
  if (gblnVoice) SpeechTerminate();
  CallCamera(mOrnik1.get(), QStringLiteral("DVCUninitialize"));
  if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
  frmBack::Unload();
}

void frmMain::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!event->spontaneous()) frmMain_Form_Activate();
}

void frmMain::closeEvent(QCloseEvent* event) {
  if (mRoad.Running() && !mblnUnloaded) {
    // A road is waiting on the mail or the dial-up: the window goes once its events are stored.
    event->ignore();
    mblnEndAfterRoads = true;
    return;
  }
  QWidget::closeEvent(event);
  // Closed from outside (the window system): unloaded like any other way.
  if (event->isAccepted() && !mblnUnloaded) UnloadSelf();
}

// ---- keys, focus and clicks --------------------------------------------------------------------

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
  if (mblnUnloaded) return QWidget::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::KeyPress: {
      auto* key = static_cast<QKeyEvent*>(event);
      int ascii = ui::KeyAsciiOf(key);
      if (ascii == 0) break;
      // The window sees every key first: at the control that has the focus (each focusable
      // control is watched), or at the window itself when no control has it.
      if (watched != this || !focusWidget() || focusWidget() == this) {
        frmMain_Form_KeyPress(ascii);
        if (ascii == 0) return true;
      }
      if (watched == txtID) {
        if (mRoad.Running()) {
          // Typed while a road runs: kept aside and queued on Enter (or on Tab, which ends an ID
          // by moving the focus on), never mixed into the ID that the field shows.
          if (ascii == 13 || ascii == 9) {
            if (!mstrTypeAhead.isEmpty()) mRoad.Queue(mstrTypeAhead);
            mstrTypeAhead.clear();
          } else if (ascii == 8) {
            mstrTypeAhead.chop(1);
          } else if (ascii >= 32) {
            mstrTypeAhead += key->text();
          }
          return true;
        }
        frmMain_txtID_KeyPress(ascii);
        if (ascii == 0) return true;
      }
      break;
    }
    case QEvent::FocusOut:
      if (watched == txtID) {
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        // Another window taking the activation (a message box, the backdrop) is no loss of focus.
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) break;
        if (mRoad.Running()) break;  // the field shows the ID being handled
        frmMain_txtID_LostFocus();
      }
      break;
    case QEvent::FocusIn:
      if (watched == txtTmp) frmMain_txtTmp_GotFocus();
      break;
    case QEvent::MouseButtonPress:
      if (static_cast<QMouseEvent*>(event)->button() != Qt::LeftButton) break;
      if (watched == imgLogo) frmMain_imgLogo_Click();
      else if (watched == imgFoward) frmMain_imgFoward_Click();
      else if (watched == imgNext) frmMain_imgNext_Click();
      break;
    default: break;
  }
  return QWidget::eventFilter(watched, event);
}

void frmMain::frmMain_txtID_KeyPress(int& KeyAscii) {
  if (KeyAscii != 13) return;
  KeyAscii = 0;
  if (!txtID->text().isEmpty()) frmMain_txtID_LostFocus();
}

void frmMain::frmMain_txtTmp_GotFocus() {
  if (gblnBarcode) txtID->setFocus(Qt::OtherFocusReason);
}

void frmMain::frmMain_cmdEnd_Click() {
  if (ui::MsgBox(QStringLiteral("終了します。"), ui::vbOKCancel | ui::vbInformation,
                 QStringLiteral("終了の確認")) != ui::vbOK)
    return;
  EndStation();
}

void frmMain::EndStation() {
  if (mRoad.Running()) {
    // Confirmed while a road waits on the mail or the dial-up: that road and the IDs queued
    // behind it store their events first, then the station ends.
    mblnEndAfterRoads = true;
    return;
  }
  Unload();
  EndProgram();
}

void frmMain::frmMain_imgLogo_Click() {
  if (!mblnSendError) return;
  if (ui::MsgBox(QStringLiteral("終了します。"), ui::vbOKCancel | ui::vbInformation,
                 QStringLiteral("終了の確認")) == ui::vbOK) {
    EndStation();
    return;
  }
  if (gblnBarcode) txtID->setFocus(Qt::OtherFocusReason);
}

// ---- clock and waiting screen ---------------------------------------------------------------

void frmMain::ClockText() {
  // One reading for both halves, so that midnight never shows the old date with the new time.
  const QDateTime now = ui::Now();
  lblDate->setText(now.toString(QStringLiteral("yyyy/MM/dd")) + QLatin1Char(' ') +
                   now.toString(QStringLiteral("HH:mm:ss")));
}

void frmMain::frmMain_Timer1_Timer() {
  if (mblnUnloaded) return;
  ClockText();
  lblDate->repaint();
  // While a road waits on the mail or the dial-up only the clock goes on; the rest of the tick
  // waits until the road has ended.
  if (mRoad.Running()) return;
  if (mblnSendError) {
    sound::Play(gstrAppPath + QStringLiteral("wave/onerr.wav"));
    return;
  }
  if (!mblnActive) return;
  ++glngIdleCount;
  if (glngIdleCount >= glngScanInt && glngCamCount > 0 && mblnEventDone) {
    imgChange->hide();
    if (mOrnik1) {
      mOrnik1->SetVisible(true);
      if (QWidget* w = mOrnik1->Widget()) w->raise();
    }
  }
  if (glngIdleCount == glngIntTime * 60) {
    // A number left on the pad is looked up, unless the member's own lookup already waits for his
    // answer in a confirmation window.
    if (!lblNo->text().isEmpty() && gintNoBarScr == 2 && !gblnBarcode && !frmChk::IsLoaded() &&
        !frmChkNo::IsLoaded())
      frmMain_cmdRet_Click();
    if (mblnUnloaded) return;
    frmMain_SetWaitScreen();
    mblnActive = false;
    glngIdleCount = 0;
  }
}

QString frmMain::frmMain_SetWaitScreen() {
  lblFirst->hide();
  lblMess->setText(Prompt());
  lblMess->show();
  lblMess->repaint();

  const QString waiting = gstrAppPath + QStringLiteral("image/image000.jpg");
  ShowPicture(imgFirst, QFileInfo(waiting).isFile()
                            ? waiting
                            : gstrAppPath + QStringLiteral("image/noimage.bmp"));
  imgFirst->repaint();

  if (glngCamCount > 0) {
    if (mOrnik1) {
      mOrnik1->SetVisible(true);
      if (QWidget* w = mOrnik1->Widget()) w->raise();
    }
  } else {
    const QString logo = LogoLookup();
    ShowPicture(imgChange, logo);
    imgChange->repaint();
    if (mOrnik1) mOrnik1->SetVisible(false);
    if (!logo.isEmpty())
      FitPicture(240, 180, *imgChange, logo, false, imgChange->Top(), QStringLiteral("Left"),
                 imgChange->Left(), QStringLiteral("Top"));
  }

  if (gblnBarcode) {
    txtID->setFocus(Qt::OtherFocusReason);
  } else if (gintNoBarScr == 2) {
    lblNo->clear();
    lblNo->repaint();
  }
  return QString();
}

bool frmMain::frmMain_LoadTextFile(const QString& path, QPlainTextEdit* box) {
  if (!LoadTextFile(path, box)) return false;
  mblnActive = true;
  glngIdleCount = 0;
  return true;
}

