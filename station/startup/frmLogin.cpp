#include "startup/frmLogin.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QUrl>

#include "com/controlsite.h"
#include "com/runtime.h"
#include "serial/mscomm.h"
#include "common/PictureBox.h"
#include "common/FormInstance.h"
#include "common/Navigation.h"
#include "common/globals.h"
#include "common/mdlComDlg.h"
#include "common/mdlDB.h"
#include "common/mdlEnd.h"
#include "common/mdlLogWrite.h"
#include "startup/mdlStartup.h"
#include "ui/focus_keeper.h"
#include "ui/keys_fonts.h"
#include "ui/msgbox.h"

namespace {
FormInstance<frmLogin> gForm;


// What a login line says of the typed text: the same mask whatever was typed, so that no
// password, right or wrong, nor its length, ever lands in a log file.
QString Masked(const QString&) { return QStringLiteral("********"); }

}  // namespace

frmLogin* frmLogin::instance() {
  if (frmLogin* form = gForm.get()) return form;
  if (!RunStartupSequence()) {
    EndProgram();
    return nullptr;
  }
  return &gForm.Get([] { return new frmLogin(); });
}

bool frmLogin::IsLoaded() { return gForm.IsLoaded(); }

void frmLogin::Unload() {
  frmLogin* window = gForm.Take();
  if (!window) return;
  window->frmLogin_Form_Unload();
  window->hide();
  window->deleteLater();
}


frmLogin::frmLogin() : QWidget(nullptr) {
  setObjectName(QStringLiteral("frmLogin"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  BuildWindow();
  // On a kiosk screen the login takes the keyboard when it shows and keeps it, as the station
  // does: the password is typed wherever the pointer rests.
  new ui::FocusKeeper(this);
  frmLogin_Form_Load();
}

frmLogin::~frmLogin() {
  if (!unloaded_) frmLogin_Form_Unload();
}

void frmLogin::BuildWindow() {
  setWindowTitle(QStringLiteral("ログイン"));
  setFixedSize(440, 300);

  pictLogo = new PictureBox(this);
  pictLogo->setObjectName(QStringLiteral("pictLogo"));
  pictLogo->setStretch(true);
  pictLogo->setGeometry(16, 16, 120, 40);
  QPixmap logo;
  if (LoadPicture(gstrAppPath + QStringLiteral("image/logo.jpg"), logo)) pictLogo->setPicture(logo);

  Label1 = new QLabel(this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setWordWrap(true);
  Label1->setText(QStringLiteral(
      "この入退室管理システムは、登録された会員の入室と退室を記録し、ご家族へお知らせします。"
      "記録された情報は施設の運営にのみ使用します。内容に同意のうえ、パスワードを入力してください。"));
  Label1->setGeometry(16, 64, 408, 84);

  lblLabels1 = new QLabel(QStringLiteral("ﾊﾟｽﾜｰﾄﾞ(&P):"), this);
  lblLabels1->setObjectName(QStringLiteral("lblLabels1"));
  lblLabels1->setGeometry(16, 160, 100, 24);

  txtPassword = new QLineEdit(this);
  txtPassword->setObjectName(QStringLiteral("txtPassword"));
  txtPassword->setEchoMode(QLineEdit::Password);
  txtPassword->setGeometry(120, 160, 200, 24);
  lblLabels1->setBuddy(txtPassword);

  cmdOK = new QPushButton(QStringLiteral("同意する"), this);
  cmdOK->setObjectName(QStringLiteral("cmdOK"));
  cmdOK->setGeometry(120, 196, 96, 28);
  cmdOK->setDefault(true);
  cmdCancel = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
  cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
  cmdCancel->setGeometry(224, 196, 96, 28);

  lblNow = new QLabel(this);
  lblNow->setObjectName(QStringLiteral("lblNow"));
  lblNow->setGeometry(16, 232, 408, 20);

  Label2 = new QLabel(QStringLiteral("Velmor 入退室管理システム"), this);
  Label2->setObjectName(QStringLiteral("Label2"));
  Label2->setGeometry(16, 270, 250, 20);

  lblUrl = new QLabel(QStringLiteral("https://velmor.example/"), this);
  lblUrl->setObjectName(QStringLiteral("lblUrl"));
  lblUrl->setGeometry(270, 270, 160, 20);
  lblUrl->setCursor(Qt::PointingHandCursor);
  lblUrl->setStyleSheet(QStringLiteral("color: blue; text-decoration: underline;"));
  lblUrl->installEventFilter(this);

  MSComm1 = new serial::MSComm(this);
  MSComm1->setObjectName(QStringLiteral("MSComm1"));

  LoginTimer = new QTimer(this);
  LoginTimer->setObjectName(QStringLiteral("LoginTimer"));
  LoginTimer->setSingleShot(true);
  LoginTimer->setInterval(5000);
  connect(LoginTimer, &QTimer::timeout, this, &frmLogin::LoginTimerProc);

  connect(cmdOK, &QPushButton::clicked, this, &frmLogin::frmLogin_cmdOK_Click);
  connect(cmdCancel, &QPushButton::clicked, this, &frmLogin::frmLogin_cmdCancel_Click);
  connect(txtPassword, &QLineEdit::returnPressed, this, &frmLogin::frmLogin_cmdOK_Click);

  // The control that counts the cameras; it needs its window for that, not a place on screen.
  com::HRESULT hr = com::S_OK;
  Ornikdev = com::CreateControl(QStringLiteral("ORNIK.OrnikCtrl.1"), this,
                                com::SiteOptions{QRect(0, 0, 1, 1), false}, &hr);
  if (Ornikdev) Ornikdev->Activate();
}

void frmLogin::frmLogin_Form_Load() {
  for (QWidget* w : {static_cast<QWidget*>(Label1), static_cast<QWidget*>(cmdCancel),
                     static_cast<QWidget*>(cmdOK), static_cast<QWidget*>(lblNow)})
    w->setFont(ui::StationFont(9));
  lblNow->hide();

  gstrSQL = QStringLiteral("SELECT * FROM tblPassword");
  db::Recordset& rs = grsDB();
  if (rs.Open(gcnDB(), gstrSQL)) {
    for (rs.MoveFirst(); !rs.Eof(); rs.MoveNext()) {
      if (db::IsTrue(rs.Value(QStringLiteral("admin"))))
        gstrAdminPsw = rs.Text(QStringLiteral("Password"));
      else
        gstrUserPsw = rs.Text(QStringLiteral("Password"));
    }
  }
  rs.Close();

  Log(QStringLiteral("起動"), QStringLiteral("成功"));

  // A log or photograph folder that takes no file would lose its lines or photographs unseen.
  const QString unwritable = UnwritableFoldersMessage();
  if (!unwritable.isEmpty())
    ui::MsgBox(unwritable, ui::vbExclamation, QStringLiteral("フォルダの確認"));
}

long frmLogin::CallCamera(const char* member) {
  if (!Ornikdev) return 0;
  com::Variant result;
  if (Ornikdev->CallByName(QLatin1String(member), {}, &result) != com::S_OK) return 0;
  return result.IsEmpty() ? 0 : result.I4();
}

void frmLogin::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (!activated_ && screen()) move(screen()->geometry().center() - rect().center());
  if (activated_) return;
  activated_ = true;  // once per showing, not after every message box
  QTimer::singleShot(0, this, [this] {
    if (!unloaded_) frmLogin_Form_Activate();
  });
}

void frmLogin::frmLogin_Form_Activate() {
  CallCamera("DVCInitialize");

  if (gblnCam) {
    if (CallCamera("DVCGetVInDevNo") < 1) {
      if (ui::MsgBox(QStringLiteral("カメラの接続が確認できません"), ui::vbInformation | ui::vbOKCancel,
                     QStringLiteral("ハードウェアの確認")) == ui::vbCancel) {
        Log(QStringLiteral("カメラ不明"), QStringLiteral("キャンセル"));
        gcnDB().Close();
        Unload();
        EndProgram();
        return;
      }
      Log(QStringLiteral("カメラ不明"), QStringLiteral("続行"));
    } else {
      glngCamCount = static_cast<int>(CallCamera("DVCGetVInDevNo"));
    }
  }

  if (gintBarConnect == 2 && gblnBarcode) {
    bool opened = MSComm1->setCommPort(gintBarPort) && MSComm1->setSettings(QStringLiteral("9600,n,8,1"));
    MSComm1->setRThreshold(1);
    if (opened && !MSComm1->PortOpen()) opened = MSComm1->setPortOpen(true);
    if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
    if (!opened) {
      if (ui::MsgBox(QStringLiteral("RS232C接続のバーコードが認識できません"),
                     ui::vbInformation | ui::vbOKCancel,
                     QStringLiteral("ハードウェアの確認")) == ui::vbCancel) {
        Log(QStringLiteral("バーコード不明"), QStringLiteral("キャンセル"));
        gcnDB().Close();
        Unload();
        EndProgram();
        return;
      }
      txtPassword->setFocus();
      return;
    }
  }
  txtPassword->setFocus();
}

void frmLogin::Matched(const QString& text, const QString& label) {
  Log(Masked(text) + QStringLiteral("/ログイン"), QStringLiteral("成功"));
  cmdOK->setEnabled(false);
  cmdCancel->setEnabled(false);
  lblNow->setText(label);
  lblNow->show();
  lblNow->repaint();
  LoginTimer->start();  // a second start replaces the first
}

void frmLogin::frmLogin_cmdOK_Click() {
  if (!cmdOK->isEnabled()) return;
  if (txtPassword->text() == gstrAdminPsw)
    Matched(txtPassword->text(), QStringLiteral("管理者モードで起動中..."));
  if (txtPassword->text() == gstrUserPsw)
    Matched(txtPassword->text(), gblnCam ? QStringLiteral("カメラの検索中...")
                                         : QStringLiteral("システム確認中..."));
  // Only the installation's own passwords open anything: no password is built into the program
  // (a forgotten one is set again with velmor-setup).
  if (txtPassword->text() != gstrUserPsw && txtPassword->text() != gstrAdminPsw) {
    const QString typed = txtPassword->text();
    ui::MsgBox(QStringLiteral("ﾊﾟｽﾜｰﾄﾞが正しくありません。もう一度入力してください !"),
               ui::vbInformation, QStringLiteral("ﾛｸﾞｵﾝ"));
    Log(Masked(typed) + QStringLiteral("/ログイン"), QStringLiteral("失敗"));
    txtPassword->setFocus();
    txtPassword->clear();
  }
}

void frmLogin::LoginTimerProc() {
  LoginTimer->stop();
  const QString text = txtPassword->text();
  if (text == gstrAdminPsw) {
    nav::Open(nav::Window::Settings);
  } else if (gintScreen == 3) {
    nav::Open(nav::Window::MinimizedStation);
  } else {
    nav::Open(nav::Window::Station);
  }
  Unload();
}

void frmLogin::frmLogin_cmdCancel_Click() {
  Log(QStringLiteral("ログイン"), QStringLiteral("キャンセル"));
  gcnDB().Close();
  Unload();
  EndProgram();
}

void frmLogin::frmLogin_lblUrl_Click() {
  const QString url = lblUrl->text();
  const bool ok = ShellOpen(url);
  glngShellRet = ok ? 42 : 0;  // above 32 means the document was opened
}

bool frmLogin::eventFilter(QObject* watched, QEvent* event) {
  if (watched == lblUrl && event->type() == QEvent::MouseButtonRelease) {
    frmLogin_lblUrl_Click();
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

void frmLogin::closeEvent(QCloseEvent* event) {
  // The window's own close box works as Cancel.
  if (!unloaded_ && gForm.Holds(this)) {
    event->ignore();
    frmLogin_cmdCancel_Click();
    return;
  }
  QWidget::closeEvent(event);
}

void frmLogin::frmLogin_Form_Unload() {
  if (unloaded_) return;
  unloaded_ = true;
  LoginTimer->stop();
  CallCamera("DVCUninitialize");
  if (MSComm1->PortOpen()) MSComm1->setPortOpen(false);
}
