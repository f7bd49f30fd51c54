// The settings of the settings window: its frames and fields, their loading from the
// program-wide values, the option switches, and OK's checks and save.
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>
#include <limits>

#include "admin/NarrowField.h"
#include "admin/TableModels.h"
#include "admin/frmServer.h"
#include "admin/frmSet.h"
#include "common/mdlComDlg.h"
#include "codepage/codepage.h"
#include "common/TableRecords.h"
#include "common/frmNow.h"
#include "common/globals.h"
#include "common/mdlDB.h"
#include "common/mdlIni.h"
#include "common/mdlLogWrite.h"
#include "common/mdlRas.h"
#include "db/db.h"
#include "ui/msgbox.h"

namespace {

const QString kCheckTitle = QStringLiteral("設定の確認");
const QString kRowTitle = QStringLiteral("登録内容の確認");
const QString kDone = QStringLiteral("成功");
const QString kNoSavedDial = QStringLiteral("登録無し。");
constexpr int kMaxName = 30;  // bytes of the installation's name in the ANSI code page

void Refuse(const QString& text) { ui::MsgBox(text, ui::vbInformation, kCheckTitle); }

void SetEnabled(std::initializer_list<QWidget*> widgets, bool on) {
  for (QWidget* w : widgets) w->setEnabled(on);
}

// Clears an option of an exclusive group (a plain setChecked(false) is refused there).
void Clear(QRadioButton* option) {
  option->setAutoExclusive(false);
  option->setChecked(false);
  option->setAutoExclusive(true);
}


// A time of the time fields: a whole number, 0 or more.
bool IsTime(const QString& text) {
  int value = 0;
  return ToWholeNumber(text, 0, std::numeric_limits<int>::max(), value);
}

}  // namespace

QWidget* frmSet::BuildSettingsFields() {
  auto* area = new QWidget(this);
  area->setObjectName(QStringLiteral("fraSettings"));
  auto frame = [area](const char* name, const QString& caption, QWidget* parent = nullptr) {
    auto* f = new QGroupBox(caption, parent ? parent : area);
    f->setObjectName(QLatin1String(name));
    return f;
  };
  auto option = [](QWidget* parent, const QString& name, const QString& caption) {
    auto* o = new QRadioButton(caption, parent);
    o->setObjectName(name);
    return o;
  };
  auto field = [](QWidget* parent, const char* name, int width) {
    auto* f = new QLineEdit(parent);
    f->setObjectName(QLatin1String(name));
    f->setMinimumWidth(width);
    return f;
  };
  auto label = [](QWidget* parent, const char* name, const QString& caption) {
    auto* l = new QLabel(caption, parent);
    l->setObjectName(QLatin1String(name));
    return l;
  };
  auto button = [](QWidget* parent, const char* name, const QString& caption) {
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false);
    return b;
  };
  auto S = [](const char* text) { return QString::fromUtf8(text); };

  // 基本設定
  Frame16 = frame("Frame16", S("基本設定"));
  Label10 = label(Frame16, "Label10", S("名称："));
  txtAppUser = field(Frame16, "txtAppUser", 200);
  lblLogoFile = label(Frame16, "lblLogoFile", S("ロゴ画像："));
  txtLogoFile = field(Frame16, "txtLogoFile", 200);
  cmdLogo = button(Frame16, "cmdLogo", S("参照"));
  {
    auto* g = new QGridLayout(Frame16);
    g->addWidget(Label10, 0, 0);
    g->addWidget(txtAppUser, 0, 1, 1, 2);
    g->addWidget(lblLogoFile, 1, 0);
    g->addWidget(txtLogoFile, 1, 1);
    g->addWidget(cmdLogo, 1, 2);
  }

  // 画面設定
  Frame12 = frame("Frame12", S("画面設定"));
  optScreenA = option(Frame12, S("optScreenA"), S("キャラクター表示"));
  optScreenB = option(Frame12, S("optScreenB"), S("季節のイメージ"));
  optScreenC = option(Frame12, S("optScreenC"), S("最小化表示"));
  {
    auto* v = new QVBoxLayout(Frame12);
    for (QWidget* w : {optScreenA, optScreenB, optScreenC}) v->addWidget(w);
  }

  // サウンド
  Frame11 = frame("Frame11", S("サウンド"));
  optSetSoundYes = option(Frame11, S("optSetSoundYes"), S("有効"));
  optSetSoundNo = option(Frame11, S("optSetSoundNo"), S("無効"));
  {
    auto* h = new QHBoxLayout(Frame11);
    h->addWidget(optSetSoundYes);
    h->addWidget(optSetSoundNo);
  }

  // バーコード
  Frame15 = frame("Frame15", S("バーコード"));
  optSetBarYes = option(Frame15, S("optSetBarYes"), S("使用 -USB"));
  optBar232C = option(Frame15, S("optBar232C"), S("使用 -232C"));
  Label13 = label(Frame15, "Label13", S("ポート："));
  cmbPort = new QComboBox(Frame15);
  cmbPort->setObjectName(QStringLiteral("cmbPort"));
  for (int n = 1; n <= 9; ++n) cmbPort->addItem(QString::number(n));
  optSetBarNo = option(Frame15, S("optSetBarNo"), S("未使用-名前"));
  optSetBarNoID = option(Frame15, S("optSetBarNoID"), S("未使用-ID"));
  optSetBarNoBoth = option(Frame15, S("optSetBarNoBoth"), S("未使用-両方"));
  {
    auto* g = new QGridLayout(Frame15);
    g->addWidget(optSetBarYes, 0, 0, 1, 3);
    g->addWidget(optBar232C, 1, 0);
    g->addWidget(Label13, 1, 1);
    g->addWidget(cmbPort, 1, 2);
    g->addWidget(optSetBarNo, 2, 0, 1, 3);
    g->addWidget(optSetBarNoID, 3, 0, 1, 3);
    g->addWidget(optSetBarNoBoth, 4, 0, 1, 3);
  }

  // 時間設定
  Frame8 = frame("Frame8", S("時間設定"));
  lblintTime = label(Frame8, "lblintTime", S("初期画面："));
  txtintTime = field(Frame8, "txtintTime", 50);
  Label1 = label(Frame8, "Label1", S("分"));
  lblInOutSet = label(Frame8, "lblInOutSet", S("入退切替："));
  txtInOutSet = field(Frame8, "txtInOutSet", 50);
  Label2 = label(Frame8, "Label2", S("分"));
  Label8 = label(Frame8, "Label8", S("強制切替："));
  txtInOutChg = field(Frame8, "txtInOutChg", 50);
  Label9 = label(Frame8, "Label9", S("時"));
  {
    auto* g = new QGridLayout(Frame8);
    QWidget* rows[3][3] = {{lblintTime, txtintTime, Label1},
                           {lblInOutSet, txtInOutSet, Label2},
                           {Label8, txtInOutChg, Label9}};
    for (int r = 0; r < 3; ++r)
      for (int c = 0; c < 3; ++c) g->addWidget(rows[r][c], r, c);
  }

  // ログファイル設定
  Frame2 = frame("Frame2", S("ログファイル設定"));
  optLogYes = option(Frame2, S("optLogYes"), S("ログをとる"));
  optLogNo = option(Frame2, S("optLogNo"), S("ログをとらない"));
  cmdLog = button(Frame2, "cmdLog", S("見る"));
  {
    auto* g = new QGridLayout(Frame2);
    g->addWidget(optLogYes, 0, 0);
    g->addWidget(optLogNo, 1, 0);
    g->addWidget(cmdLog, 0, 1, 2, 1);
  }

  // パスワード設定
  Frame6 = frame("Frame6", S("パスワード設定"));
  lblAdmin = label(Frame6, "lblAdmin", S("管理者："));
  txtAdmin = field(Frame6, "txtAdmin", 100);
  lblUser = label(Frame6, "lblUser", S("利用者："));
  txtUser = field(Frame6, "txtUser", 100);
  {
    auto* g = new QGridLayout(Frame6);
    g->addWidget(lblAdmin, 0, 0);
    g->addWidget(txtAdmin, 0, 1);
    g->addWidget(lblUser, 1, 0);
    g->addWidget(txtUser, 1, 1);
  }

  // 強制入室切替: kept, never shown.
  Frame13 = frame("Frame13", S("強制入室切替"));
  optInYes = option(Frame13, S("optInYes"), S("する"));
  optInNo = option(Frame13, S("optInNo"), S("しない"));
  Frame13->hide();

  // カードを読む前の表示メッセージ
  Frame7 = frame("Frame7", S("カードを読む前の表示メッセージ"));
  txtInMessage = field(Frame7, "txtInMessage", 200);
  lblinMessage = label(Frame7, "lblinMessage", S("来場："));
  lblotMessage = label(Frame7, "lblotMessage", S("退場："));
  txtOtMessage = field(Frame7, "txtOtMessage", 200);
  for (QWidget* w : {static_cast<QWidget*>(lblinMessage), static_cast<QWidget*>(lblotMessage),
                     static_cast<QWidget*>(txtOtMessage)})
    w->hide();
  (new QVBoxLayout(Frame7))->addWidget(txtInMessage);

  // カメラ設定
  fraCam = frame("fraCam", S("カメラ設定"));
  optCamYes = option(fraCam, S("optCamYes"), S("利用する"));
  optCamNo = option(fraCam, S("optCamNo"), S("カメラを利用しない"));
  lblScanInt = label(fraCam, "lblScanInt", S("表示時間："));
  txtScanInt = field(fraCam, "txtScanInt", 50);
  lblScanIntSec = label(fraCam, "lblScanIntSec", S("秒"));
  cmdPicView = button(fraCam, "cmdPicView", S("見る"));
  fraPicSave = frame("fraPicSave", S("画像の保存"), fraCam);
  optSaveImgYes = option(fraPicSave, S("optSaveImgYes"), S("画像を保存する"));
  optSaveImgNo = option(fraPicSave, S("optSaveImgNo"), S("画像を保存しない"));
  lblImgSave = label(fraPicSave, "lblImgSave", S("保存先："));
  txtImgSave = field(fraPicSave, "txtImgSave", 150);
  cmdImgSave = button(fraPicSave, "cmdImgSave", S("参照"));
  for (QWidget* w : {static_cast<QWidget*>(lblImgSave), static_cast<QWidget*>(txtImgSave),
                     static_cast<QWidget*>(cmdImgSave)})
    w->hide();
  {
    auto* v = new QVBoxLayout(fraPicSave);
    v->addWidget(optSaveImgYes);
    v->addWidget(optSaveImgNo);
  }
  fraPicSend = frame("fraPicSend", S("画像の送信"), fraCam);
  optSendImgYes = option(fraPicSend, S("optSendImgYes"), S("画像を送信する"));
  optSendImgNo = option(fraPicSend, S("optSendImgNo"), S("画像を送信しない"));
  {
    auto* v = new QVBoxLayout(fraPicSend);
    v->addWidget(optSendImgYes);
    v->addWidget(optSendImgNo);
  }
  {
    auto* g = new QGridLayout(fraCam);
    g->addWidget(optCamYes, 0, 0, 1, 2);
    g->addWidget(optCamNo, 1, 0, 1, 2);
    g->addWidget(cmdPicView, 0, 2, 2, 1);
    auto* scan = new QHBoxLayout;
    scan->addWidget(lblScanInt);
    scan->addWidget(txtScanInt);
    scan->addWidget(lblScanIntSec);
    scan->addStretch(1);
    g->addLayout(scan, 2, 0, 1, 3);
    g->addWidget(fraPicSave, 3, 0, 1, 3);
    g->addWidget(fraPicSend, 4, 0, 1, 3);
  }

  // メール設定
  Frame1 = frame("Frame1", S("メール設定"));
  optSendMailYes = option(Frame1, S("optSendMailYes"), S("メールを送る"));
  optSendMailNo = option(Frame1, S("optSendMailNo"), S("送らない"));
  cmdContents = button(Frame1, "cmdContents", S("内容"));
  cmdServer = button(Frame1, "cmdServer", S("ｻｰﾊﾞｰ設定"));
  cmdServer->hide();
  Label11 = label(Frame1, "Label11", S("送信元アドレス："));
  txtMailAddr = field(Frame1, "txtMailAddr", 200);
  Frame18 = frame("Frame18", S("送信ポート"), Frame1);
  Label14 = label(Frame18, "Label14", S("No："));
  txtPort = field(Frame18, "txtPort", 60);
  txtPort->setText(QStringLiteral("25"));
  Label15 = label(Frame18, "Label15", S("※初期は25  ﾌﾟﾛﾊﾞｲﾀﾞによっては587 を指定"));
  {
    auto* h = new QHBoxLayout(Frame18);
    h->addWidget(Label14);
    h->addWidget(txtPort);
    h->addWidget(Label15, 1);
  }
  Frame17 = frame("Frame17", S("送信方式"), Frame1);
  optSendP[0] = option(Frame17, S("optSendP(0)"), S("通常"));
  optSendP[1] = option(Frame17, S("optSendP(1)"), S("1通づつ"));
  Frame17->hide();
  {
    auto* g = new QGridLayout(Frame1);
    g->addWidget(optSendMailYes, 0, 0);
    g->addWidget(optSendMailNo, 0, 1);
    g->addWidget(cmdContents, 0, 2);
    g->addWidget(cmdServer, 0, 3);
    g->addWidget(Label11, 1, 0);
    g->addWidget(txtMailAddr, 1, 1, 1, 3);
    g->addWidget(Frame18, 2, 0, 1, 4);
  }

  // 接続設定
  fraConnect = frame("fraConnect", S("接続設定"));
  optLan = option(fraConnect, S("optLan"), S("常時接続"));
  optDial = option(fraConnect, S("optDial"), S("ダイアルアップ接続"));
  lblEntry = label(fraConnect, "lblEntry", S("接続先名："));
  entryCombo1 = new QComboBox(fraConnect);
  entryCombo1->setObjectName(QStringLiteral("entryCombo1"));
  entryCombo1->setEditable(true);
  entryCombo1->setInsertPolicy(QComboBox::NoInsert);
  entryCombo1->setMinimumWidth(150);
  lblCUser = label(fraConnect, "lblCUser", S("ユーザー名："));
  user = field(fraConnect, "user", 120);
  lblCPass = label(fraConnect, "lblCPass", S("パスワード："));
  pass = field(fraConnect, "pass", 120);
  fraFtp = frame("fraFtp", S("Webアップロード"), fraConnect);
  optFtp[0] = option(fraFtp, S("optFtp(0)"), S("する"));
  optFtp[1] = option(fraFtp, S("optFtp(1)"), S("しない"));
  {
    auto* h = new QHBoxLayout(fraFtp);
    h->addWidget(optFtp[0]);
    h->addWidget(optFtp[1]);
  }
  {
    auto* g = new QGridLayout(fraConnect);
    g->addWidget(optLan, 0, 0);
    g->addWidget(optDial, 0, 1);
    g->addWidget(lblEntry, 1, 0);
    g->addWidget(entryCombo1, 1, 1);
    g->addWidget(lblCUser, 2, 0);
    g->addWidget(user, 2, 1);
    g->addWidget(lblCPass, 3, 0);
    g->addWidget(pass, 3, 1);
    g->addWidget(fraFtp, 0, 2, 4, 1);
  }

  // 音声設定: kept, never shown.
  Frame9 = frame("Frame9", S("音声設定"));
  optVoiceYes = option(Frame9, S("optVoiceYes"), S("音声を利用する"));
  optVoiceNo = option(Frame9, S("optVoiceNo"), S("音声を利用しない"));
  Frame10 = frame("Frame10", S("声設定"), Frame9);
  optMan = option(Frame10, S("optMan"), S("男声"));
  optWoman = option(Frame10, S("optWoman"), S("女声"));
  Frame9->hide();

  // Four columns of frames.
  auto* grid = new QGridLayout(area);
  grid->setContentsMargins(0, 0, 0, 0);
  auto column = [grid](int c, std::initializer_list<QWidget*> frames) {
    auto* v = new QVBoxLayout;
    for (QWidget* f : frames) v->addWidget(f);
    v->addStretch(1);
    grid->addLayout(v, 0, c);
  };
  column(0, {Frame16, Frame7, Frame6});
  column(1, {Frame8, Frame12, Frame11, Frame2});
  column(2, {Frame15, fraCam});
  column(3, {Frame1, fraConnect});

  // Tab order: the columns top to bottom, then the tables and the buttons below.
  QWidget* const order[] = {
      txtAppUser, txtLogoFile, cmdLogo, txtInMessage, txtAdmin, txtUser,
      txtintTime, txtInOutSet, txtInOutChg, optScreenA, optScreenB, optScreenC,
      optSetSoundYes, optSetSoundNo, optLogYes, optLogNo, cmdLog,
      optSetBarYes, optBar232C, cmbPort, optSetBarNo, optSetBarNoID, optSetBarNoBoth,
      optCamYes, optCamNo, cmdPicView, txtScanInt, optSaveImgYes, optSaveImgNo,
      optSendImgYes, optSendImgNo,
      optSendMailYes, optSendMailNo, cmdContents, cmdServer, txtMailAddr, txtPort,
      optLan, optDial, entryCombo1, user, pass, optFtp[0], optFtp[1]};
  for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);

  ConnectSwitches();
  return area;
}

void frmSet::ConnectSwitches() {
  // A selection, by a click or from code, runs the option's procedure and writes its line.
  auto on = [this](QRadioButton* option, std::function<void()> click, const char* line = nullptr) {
    connect(option, &QRadioButton::toggled, this, [click, line](bool checked) {
      if (!checked) return;
      if (click) click();
      if (line) Log(QString::fromUtf8(line), kDone);
    });
  };
  on(optLogYes, {}, "ログをとるクリック");
  on(optLogNo, {}, "ログをとらないクリック");
  on(optSendMailYes, [this] { optSendMailYes_Click(); }, "メールを送るクリック");
  on(optSendMailNo, [this] { optSendMailNo_Click(); }, "メールを送らないクリック");
  on(optCamYes, [this] { optCamYes_Click(); }, "カメラを利用するクリック");
  on(optCamNo, [this] { optCamNo_Click(); }, "カメラを利用しないクリック");
  on(optSaveImgYes, [this] { optSaveImgYes_Click(); }, "画像を保存するクリック");
  on(optSaveImgNo, [this] { optSaveImgNo_Click(); }, "画像を保存しないクリック");
  on(optSendImgYes, {}, "画像を送信するクリック");
  on(optSendImgNo, {}, "画像を送信しないクリック");
  on(optDial, [this] { optDial_Click(); }, "ダイヤルアップ接続クリック");
  on(optLan, [this] { optLan_Click(); }, "常時接続クリック");
  on(optVoiceYes, [this] { optVoiceYes_Click(); });
  on(optVoiceNo, [this] { optVoiceNo_Click(); });
  on(optScreenA, [this] { optScreenAB_Click(); });
  on(optScreenB, [this] { optScreenAB_Click(); });
  on(optScreenC, [this] { optScreenC_Click(); });
  on(optBar232C, [this] { optBar232C_Click(); });
  for (QRadioButton* o : {optSetBarYes, optSetBarNo, optSetBarNoID, optSetBarNoBoth})
    on(o, [this] { optSetBar_Click(); });

  connect(txtAdmin, &QLineEdit::textChanged, this, [] { Log(QStringLiteral("管理者パスワード変更"), kDone); });
  connect(txtUser, &QLineEdit::textChanged, this, [] { Log(QStringLiteral("利用者パスワード変更"), kDone); });
  connect(txtImgSave, &QLineEdit::textChanged, this, [] { Log(QStringLiteral("保存先変更"), kDone); });
  txtPort->installEventFilter(this);
  connect(entryCombo1, &QComboBox::activated, this, [this] { entryCombo1_Click(); });
  connect(cmdServer, &QPushButton::clicked, this, &frmSet::frmSet_cmdServer_Click);
  connect(cmdLog, &QPushButton::clicked, this, &frmSet::frmSet_cmdLog_Click);
  connect(cmdPicView, &QPushButton::clicked, this, &frmSet::frmSet_cmdPicView_Click);
  connect(cmdLogo, &QPushButton::clicked, this, &frmSet::frmSet_cmdLogo_Click);
  connect(cmdImgSave, &QPushButton::clicked, this, &frmSet::frmSet_cmdImgSave_Click);
  connect(cmdContents, &QPushButton::clicked, this, &frmSet::frmSet_cmdContents_Click);
}

void frmSet::Form_Load() {
  if (!gblnIsServer) cmdServer->show();

  (gblnLog ? optLogYes : optLogNo)->setChecked(true);
  (gblnSendMail ? optSendMailYes : optSendMailNo)->setChecked(true);
  (gblnCam ? optCamYes : optCamNo)->setChecked(true);
  (gblnSaveImg ? optSaveImgYes : optSaveImgNo)->setChecked(true);
  const bool sendImg = gstrSendImg.trimmed().compare(QLatin1String("True"), Qt::CaseInsensitive) == 0;
  (sendImg ? optSendImgYes : optSendImgNo)->setChecked(true);
  (gblnVoice ? optVoiceYes : optVoiceNo)->setChecked(true);
  (gstrVoiceSelect == QLatin1String("man") ? optMan : optWoman)->setChecked(true);
  (gblnSound ? optSetSoundYes : optSetSoundNo)->setChecked(true);
  if (gintScreen == 1) optScreenA->setChecked(true);
  else if (gintScreen == 2) optScreenB->setChecked(true);
  else if (gintScreen == 3) optScreenC->setChecked(true);
  (gblnInOut ? optInYes : optInNo)->setChecked(true);

  txtImgSave->setText(gstrImgDir);
  txtAdmin->setText(gstrAdminPsw);
  txtUser->setText(gstrUserPsw);
  txtInMessage->setText(gstrInMessage);
  txtintTime->setText(QString::number(glngIntTime));
  txtInOutSet->setText(QString::number(glngInOutTime));
  txtScanInt->setText(QString::number(glngScanInt));

  if (optCamNo->isChecked())
    SetEnabled({optSaveImgYes, optSaveImgNo, optSendImgYes, optSendImgNo, txtImgSave, txtScanInt}, false);
  if (optSaveImgNo->isChecked()) SetEnabled({txtImgSave, cmdImgSave}, false);
  if (optSendMailNo->isChecked()) cmdContents->setEnabled(false);
  if (optVoiceNo->isChecked()) SetEnabled({optMan, optWoman}, false);

  cmdPrint->hide();
  txtAppUser->setText(gstrAppUser);
  txtLogoFile->setText(gstrLogoFile);
  txtMailAddr->setText(gstrMailAddr);
  optSendP[glngSendP != 0 ? 1 : 0]->setChecked(true);

  if (!gblnCamSupport)
    SetEnabled({fraCam, optCamYes, lblScanInt, txtScanInt, optCamNo, fraPicSave, optSaveImgYes, cmdPicView,
                optSaveImgNo, fraPicSend, optSendImgYes, optSendImgNo, lblScanIntSec},
               false);
  if (!gblnChgLogo)
    for (QWidget* w : {static_cast<QWidget*>(lblLogoFile), static_cast<QWidget*>(txtLogoFile),
                       static_cast<QWidget*>(cmdLogo)})
      w->hide();
  if (!gblnDialup) SetEnabled({optDial, lblEntry, entryCombo1, lblCUser, user, lblCPass, pass}, false);

  ShowTable(false);
  frmSet_LoadMessages();

  entryCombo1->clear();
  entryCombo1->addItems(DialEntries());
  entryCombo1->setCurrentIndex(-1);

  if (!gstrDialEntry.isEmpty()) {
    Clear(optLan);
    const QString entry = gstrDialEntry, dialUser = gstrDialUser, dialPsw = gstrDialPsw;
    optDial->setChecked(true);
    entryCombo1->setEnabled(true);
    entryCombo1->setEditText(entry);
    user->setEnabled(true);
    user->setText(dialUser);
    pass->setEnabled(true);
    pass->setText(dialPsw);
  } else {
    optLan->setChecked(true);
    Clear(optDial);
    SetEnabled({entryCombo1, user, pass}, false);
  }

  if (gblnBarcode && gintBarConnect == 1) {
    optSetBarYes->setChecked(true);
    cmbPort->setEnabled(false);
  } else if (gblnBarcode && gintBarConnect == 2) {
    optBar232C->setChecked(true);
  } else if (!gblnBarcode) {
    optSetBarNo->setChecked(true);
    cmbPort->setEnabled(false);
    if (gintNoBarScr == 2) optSetBarNoID->setChecked(true);
    else if (gintNoBarScr == 3) optSetBarNoBoth->setChecked(true);
  }

  optFtp[gblnFtp ? 0 : 1]->setChecked(true);
  if (gstrFtpServer.isEmpty()) {
    // Without an FTP server there is nothing to upload to.
    optFtp[1]->setChecked(true);
    gblnFtp = false;
    SetEnabled({fraFtp, optFtp[0], optFtp[1]}, false);
  }

  txtInOutChg->setText(QString::number(glngInOutChg));
  txtPort->setText(QString::number(gintPort));
}

// ---- option switches -------------------------------------------------------------------------

void frmSet::optSendMailYes_Click() {
  SetEnabled({cmdContents, txtMailAddr, txtPort, cmdServer, optLan}, true);
  optDial->setEnabled(gblnDialup);
  if (optDial->isChecked()) SetEnabled({entryCombo1, user, pass}, true);
}

void frmSet::optSendMailNo_Click() {
  SetEnabled({cmdContents, txtMailAddr, txtPort, cmdServer, optLan, optDial, entryCombo1, user, pass}, false);
}

void frmSet::optCamYes_Click() {
  SetEnabled({optSaveImgYes, optSaveImgNo, optSendImgYes, optSendImgNo, txtScanInt}, true);
  SetEnabled({txtImgSave, cmdImgSave}, !optSaveImgNo->isChecked());
}

void frmSet::optCamNo_Click() {
  SetEnabled({optSaveImgYes, optSaveImgNo, optSendImgYes, optSendImgNo, txtImgSave, cmdImgSave, txtScanInt},
             false);
}

void frmSet::optSaveImgYes_Click() { SetEnabled({txtImgSave, cmdImgSave}, true); }

void frmSet::optSaveImgNo_Click() { SetEnabled({txtImgSave, cmdImgSave}, false); }

void frmSet::optDial_Click() {
  Clear(optLan);
  SetEnabled({entryCombo1, user, pass}, true);
}

void frmSet::optLan_Click() {
  gstrDialEntry.clear();
  Clear(optDial);
  SetEnabled({entryCombo1, user, pass}, false);
}

void frmSet::optVoiceYes_Click() { SetEnabled({optMan, optWoman}, true); }

void frmSet::optVoiceNo_Click() { SetEnabled({optMan, optWoman}, false); }

void frmSet::optScreenAB_Click() { SetEnabled({optSetBarYes, optSetBarNo, optSetBarNoID, optSetBarNoBoth}, true); }

void frmSet::optScreenC_Click() {
  if (ui::MsgBox(QStringLiteral("最小化表示を選択する場合には、RS232C接続のバーコードが必須となります。"),
                 ui::vbOKCancel | ui::vbInformation, QStringLiteral("処理の確認")) == ui::vbCancel)
    return;
  optSetBarYes->setEnabled(false);
  optBar232C->setChecked(true);
  SetEnabled({optSetBarNo, optSetBarNoID, optSetBarNoBoth}, false);
  cmbPort->setEnabled(true);
  optCamNo->setChecked(true);
}

void frmSet::optBar232C_Click() {
  cmbPort->clear();
  for (int n = 1; n <= 9; ++n) cmbPort->addItem(QString::number(n));
  const QString port = QString::number(gintBarPort);
  // A port beyond the list stays what it was.
  if (cmbPort->findText(port) < 0) cmbPort->addItem(port);
  cmbPort->setCurrentText(port);
  cmbPort->setEnabled(true);
}

void frmSet::optSetBar_Click() { cmbPort->setEnabled(false); }

namespace {
const QString kPortEmpty = QStringLiteral("送信ポート番号を設定してください");
const QString kPortNotNumber = QStringLiteral("送信ポート番号は数字で指定してください");
const QString kPortRange = QStringLiteral("送信ポート番号は1から32767までの数字で指定してください");

// The port's check, shared by the focus leaving the field and OK: "" or the message.
QString PortProblem(const QString& text, int* port) {
  if (text.isEmpty()) return kPortEmpty;
  int value = 0;
  if (!ToWholeNumber(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), value))
    return kPortNotNumber;
  // The settings file holds the port as a 16-bit number, and 0 is no port.
  if (value < 1 || value > 32767) return kPortRange;
  *port = value;
  return QString();
}
}  // namespace

void frmSet::txtPort_LostFocus() {
  int port = 0;
  const QString problem = PortProblem(NarrowField(txtPort), &port);
  if (problem.isEmpty()) {
    gintPort = port;
    return;
  }
  Refuse(problem);
  txtPort->setFocus(Qt::OtherFocusReason);
}

void frmSet::entryCombo1_Click() {
  QString dialUser, dialPsw;
  if (!GetSavedDialParams(entryCombo1->currentText(), &dialUser, &dialPsw)) {
    user->setText(kNoSavedDial);
    pass->setText(kNoSavedDial);
    return;
  }
  user->setText(dialUser);
  pass->setText(dialPsw);
}

void frmSet::frmSet_cmdServer_Click() {
  if (editing_) inputTxt_LostFocus();
  frmServer::instance().exec();
}

// ---- OK --------------------------------------------------------------------------------------

void frmSet::FocusField(QWidget* field) {
  if (!field->isVisible() || !field->isEnabled()) return;
  field->setFocus(Qt::OtherFocusReason);
  if (auto* edit = qobject_cast<QLineEdit*>(field)) edit->selectAll();
}

bool frmSet::CheckFields() {
  // A refusal puts the focus on the field it is about, once its message is answered.
  auto fail = [](QWidget* field, const QString& text) {
    Refuse(text);
    FocusField(field);
    return false;
  };
  const QString name = txtAppUser->text();
  if (name.isEmpty()) return fail(txtAppUser, QStringLiteral("名称を設定してください"));
  if (cp::ToAnsiLossy(name).size() > kMaxName)
    return fail(txtAppUser, QStringLiteral("名称は30バイト(全角15文字)以内で設定してください"));
  if (txtLogoFile->text().isEmpty()) return fail(txtLogoFile, QStringLiteral("ロゴファイルを設定してください"));
  if (!QFileInfo(txtLogoFile->text()).isFile()) return fail(txtLogoFile, QStringLiteral("指定されたロゴファイルが見つかりません"));
  if (optCamYes->isChecked()) {
    if (txtScanInt->text().isEmpty()) return fail(txtScanInt, QStringLiteral("画像の表示時間を指定してください"));
    if (optSaveImgYes->isChecked() && txtImgSave->text().isEmpty())
      return fail(txtImgSave, QStringLiteral("画像を保存する場合の保存先を指定してください"));
  }
  // The display time is saved whatever the camera choice; an empty one is no time.
  if (!txtScanInt->text().isEmpty() && !IsTime(txtScanInt->text()))
    return fail(txtScanInt, QStringLiteral("画像の表示時間は0以上の数字で指定してください"));
  if (txtAdmin->text().isEmpty()) return fail(txtAdmin, QStringLiteral("管理者パスワードを設定してください"));
  if (txtUser->text().isEmpty()) return fail(txtUser, QStringLiteral("利用者パスワードを設定してください"));
  if (txtAdmin->text() == txtUser->text())
    return fail(txtUser, QStringLiteral("管理者パスワードと利用者パスワードは同一の設定はできません"));
  if (txtInMessage->text().isEmpty()) return fail(txtInMessage, QStringLiteral("来場時の表示メッセージを設定してください"));
  const struct {
    QLineEdit* field;
    const char* empty;
    const char* notTime;
  } times[] = {
      {txtintTime, "初期画面への切り替え時間を設定してください", "初期画面への切り替え時間は0以上の数字で指定してください"},
      {txtInOutSet, "入退室の切り替え時間を設定してください", "入退室の切り替え時間は0以上の数字で指定してください"},
      {txtInOutChg, "強制入室の切り替え時間を設定してください", "強制入室の切り替え時間は0以上の数字で指定してください"},
  };
  for (const auto& t : times) {
    if (t.field->text().isEmpty()) return fail(t.field, QString::fromUtf8(t.empty));
    if (!IsTime(t.field->text())) return fail(t.field, QString::fromUtf8(t.notTime));
  }
  if (optDial->isChecked()) {
    if (entryCombo1->currentText().isEmpty()) return fail(entryCombo1, QStringLiteral("接続先名を設定してください"));
    if (user->text().isEmpty()) return fail(user, QStringLiteral("接続先のユーザー名を設定してください"));
    if (pass->text().isEmpty()) return fail(pass, QStringLiteral("接続先のパスワードを設定してください"));
  }
  int port = 0;
  const QString portProblem = PortProblem(NarrowField(txtPort), &port);
  if (!portProblem.isEmpty()) return fail(txtPort, portProblem);
  if (!gblnIsServer && optSendMailYes->isChecked() &&
      (gstrMailServer.isEmpty() || gstrPop3Server.isEmpty() || gstrAuthID.isEmpty() || gstrAuthPsw.isEmpty()))
    return fail(cmdServer, QStringLiteral("メールサーバーの指定がありません。\r\nサーバー設定を行ってください。"));
  return true;
}

void frmSet::AssignFields() {
  int number = 0;
  auto whole = [&number](const QString& text) {
    number = 0;
    ToWholeNumber(text, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), number);
    return number;
  };
  gblnLog = optLogYes->isChecked();
  gblnSendMail = optSendMailYes->isChecked();
  gblnCam = optCamYes->isChecked();
  gblnSaveImg = optSaveImgYes->isChecked();
  gstrSendImg = optSendImgYes->isChecked() ? QStringLiteral("True") : QStringLiteral("False");
  gblnVoice = optVoiceYes->isChecked();
  gstrVoiceSelect = optMan->isChecked() ? QStringLiteral("man") : QStringLiteral("woman");
  gblnSound = optSetSoundYes->isChecked();
  if (optScreenA->isChecked()) gintScreen = 1;
  else if (optScreenB->isChecked()) gintScreen = 2;
  else if (optScreenC->isChecked()) gintScreen = 3;
  gblnInOut = optInYes->isChecked();
  if (optLan->isChecked()) {
    gstrDialEntry.clear();
    gstrDialUser.clear();
    gstrDialPsw.clear();
  } else {
    gstrDialEntry = entryCombo1->currentText();
    gstrDialUser = user->text();
    gstrDialPsw = pass->text();
  }
  gstrImgDir = txtImgSave->text();
  gstrAdminPsw = txtAdmin->text();
  gstrUserPsw = txtUser->text();
  gstrInMessage = txtInMessage->text();
  glngScanInt = whole(txtScanInt->text());
  glngInOutTime = whole(txtInOutSet->text());
  glngIntTime = whole(txtintTime->text());
  glngInOutChg = whole(txtInOutChg->text());
  if (optSetBarYes->isChecked()) {
    gblnBarcode = true;
    gintBarConnect = 1;
  } else if (optBar232C->isChecked()) {
    gblnBarcode = true;
    gintBarConnect = 2;
  } else if (optSetBarNo->isChecked() || optSetBarNoID->isChecked() || optSetBarNoBoth->isChecked()) {
    gblnBarcode = false;
    gintNoBarScr = optSetBarNo->isChecked() ? 1 : optSetBarNoID->isChecked() ? 2 : 3;
  }
  gintBarPort = whole(cmbPort->currentText());
  gblnFtp = optFtp[0]->isChecked();
  gintPort = whole(txtPort->text());
  gstrAppUser = txtAppUser->text();
  gstrLogoFile = txtLogoFile->text();
  gstrMailAddr = txtMailAddr->text();
  glngSendP = optSendP[0]->isChecked() ? 0 : 1;
}

bool frmSet::SaveEverything(bool members) {
  const bool tableLoaded = ModelOf(members ? fgData : fgMessage)->IsLoaded();
  // The new settings file waits beside the old one and takes its place only once the database
  // has committed: a save reported as failed leaves the file and the database both as they were.
  profile::PendingProfile settingsFile;
  if (!WriteSavedSettings(&settingsFile)) return false;  // its message is shown
  QString shown;  // a failure to show under "登録内容の確認"
  QString error;
  const bool saved = RunInTransaction(
      [&] {
        // Every administrator row gets the administrator's password, every other row the user's.
        QString dbError;
        if (!WriteLoginPassword(gcnDB(), true, gstrAdminPsw, nullptr, &dbError) ||
            !WriteLoginPassword(gcnDB(), false, gstrUserPsw, nullptr, &dbError)) {
          shown = QStringLiteral("パスワードを保存できませんでした。\r\n") + dbError;
          return false;
        }
        if (tableLoaded) {
          shown = members ? frmSet_WriteMembers() : frmSet_WriteMessages();
          if (!shown.isEmpty()) return false;
        }
        return true;
      },
      &error);
  // After the commit only the rename of the prepared file can fail: the box says what the
  // database holds already and that the file is as it was; the next OK writes everything again.
  if (saved)
    return ReplaceIni(settingsFile, !tableLoaded ? QStringLiteral("パスワード")
                                    : members    ? QStringLiteral("パスワードと登録データ")
                                                 : QStringLiteral("パスワードとメッセージ"));
  if (shown.isEmpty()) shown = QStringLiteral("設定を保存できませんでした。\r\n") + error;
  ui::MsgBox(shown, ui::vbCritical, kRowTitle);
  return false;
}

// ---- folders and file dialogs ----------------------------------------------------------------------

void frmSet::frmSet_cmdLog_Click() { ShellOpen(gstrAppPath + QStringLiteral("log/")); }

void frmSet::frmSet_cmdPicView_Click() { ShellOpen(gstrAppPath + QStringLiteral("ScanData/")); }

void frmSet::frmSet_cmdLogo_Click() {
  QString filter = QStringLiteral("JPEGイメージ (*.jpg;*.jpeg)|*.jpg;*.jpeg|ﾋﾞｯﾄﾏｯﾌﾟ (*.bmp)|*.bmp|");
  filter.replace(QLatin1Char('|'), QChar(0));
  const QFileInfo current(txtLogoFile->text());
  const QString start = current.absoluteDir().exists() ? current.absoluteFilePath() : gstrAppPath;
  // A cancelled dialog leaves the field as it was.
  const QString chosen = ShowOpenDialog(this, filter, start);
  if (!chosen.isEmpty()) txtLogoFile->setText(chosen);
}

void frmSet::frmSet_cmdImgSave_Click() {
  QString filter = QStringLiteral("すべてのファイル(*.*)|*.*|");
  filter.replace(QLatin1Char('|'), QChar(0));
  const QString folder = txtImgSave->text();
  const QString start = !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : gstrAppPath;
  const QString chosen = ShowOpenDialog(this, filter, start);
  if (chosen.isEmpty()) return;
  // The folder of the chosen file, without a closing separator.
  txtImgSave->setText(QFileInfo(chosen).absolutePath());
}
