#pragma once
// The administrator's settings window: the member table and the greeting message table (one on
// screen at a time, switched by cmdData), edited in place through one floating editor, the member
// search, and OK and Cancel, which close it and bring back a new login window, whose start-up
// reloads everything. Above the tables, in frames, every setting of the settings file that the
// administrator may change, loaded from the program-wide values; OK checks them all (the table
// included) before it writes anything.
//
// The member table's rows and ticks live in MemberRoster::Shared(): other windows read the
// members from there. Row numbers of these procedures count the data rows from 1, as the
// administrator sees them; the roster counts from 0.
#include <QString>
#include <QWidget>

#include <array>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QPushButton;
class QTableView;
class EditableTable;
class MemberTableModel;
class MessageTableModel;

class frmSet : public QWidget {
  Q_OBJECT

 public:
  static frmSet& instance();
  static bool IsLoaded();
  static void Unload();

  // The frames and fields of the settings. Other windows read them as they stand on screen.
  QGroupBox* Frame16 = nullptr;  // 基本設定
  QLabel* Label10 = nullptr;
  QLineEdit* txtAppUser = nullptr;
  QLabel* lblLogoFile = nullptr;
  QLineEdit* txtLogoFile = nullptr;
  QPushButton* cmdLogo = nullptr;
  QGroupBox* Frame12 = nullptr;  // 画面設定
  QRadioButton* optScreenA = nullptr;
  QRadioButton* optScreenB = nullptr;
  QRadioButton* optScreenC = nullptr;
  QGroupBox* Frame11 = nullptr;  // サウンド
  QRadioButton* optSetSoundYes = nullptr;
  QRadioButton* optSetSoundNo = nullptr;
  QGroupBox* Frame15 = nullptr;  // バーコード
  QRadioButton* optSetBarYes = nullptr;
  QRadioButton* optBar232C = nullptr;
  QLabel* Label13 = nullptr;
  QComboBox* cmbPort = nullptr;
  QRadioButton* optSetBarNo = nullptr;
  QRadioButton* optSetBarNoID = nullptr;
  QRadioButton* optSetBarNoBoth = nullptr;
  QGroupBox* Frame8 = nullptr;  // 時間設定
  QLabel* lblintTime = nullptr;
  QLineEdit* txtintTime = nullptr;
  QLabel* Label1 = nullptr;
  QLabel* lblInOutSet = nullptr;
  QLineEdit* txtInOutSet = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* Label8 = nullptr;
  QLineEdit* txtInOutChg = nullptr;
  QLabel* Label9 = nullptr;
  QGroupBox* Frame2 = nullptr;  // ログファイル設定
  QRadioButton* optLogYes = nullptr;
  QRadioButton* optLogNo = nullptr;
  QPushButton* cmdLog = nullptr;
  QGroupBox* Frame6 = nullptr;  // パスワード設定
  QLabel* lblAdmin = nullptr;
  QLineEdit* txtAdmin = nullptr;
  QLabel* lblUser = nullptr;
  QLineEdit* txtUser = nullptr;
  QGroupBox* Frame13 = nullptr;  // 強制入室切替 (hidden)
  QRadioButton* optInYes = nullptr;
  QRadioButton* optInNo = nullptr;
  QGroupBox* Frame7 = nullptr;  // カードを読む前の表示メッセージ
  QLineEdit* txtInMessage = nullptr;
  QLabel* lblinMessage = nullptr;
  QLabel* lblotMessage = nullptr;
  QLineEdit* txtOtMessage = nullptr;
  QGroupBox* fraCam = nullptr;  // カメラ設定
  QRadioButton* optCamYes = nullptr;
  QRadioButton* optCamNo = nullptr;
  QLabel* lblScanInt = nullptr;
  QLineEdit* txtScanInt = nullptr;
  QLabel* lblScanIntSec = nullptr;
  QPushButton* cmdPicView = nullptr;
  QGroupBox* fraPicSave = nullptr;
  QRadioButton* optSaveImgYes = nullptr;
  QRadioButton* optSaveImgNo = nullptr;
  QLabel* lblImgSave = nullptr;
  QLineEdit* txtImgSave = nullptr;
  QPushButton* cmdImgSave = nullptr;
  QGroupBox* fraPicSend = nullptr;
  QRadioButton* optSendImgYes = nullptr;
  QRadioButton* optSendImgNo = nullptr;
  QGroupBox* Frame1 = nullptr;  // メール設定
  QRadioButton* optSendMailYes = nullptr;
  QRadioButton* optSendMailNo = nullptr;
  QPushButton* cmdContents = nullptr;
  QPushButton* cmdServer = nullptr;
  QLabel* Label11 = nullptr;
  QLineEdit* txtMailAddr = nullptr;
  QGroupBox* Frame18 = nullptr;  // 送信ポート
  QLabel* Label14 = nullptr;
  QLineEdit* txtPort = nullptr;
  QLabel* Label15 = nullptr;
  QGroupBox* Frame17 = nullptr;  // 送信方式 (hidden)
  std::array<QRadioButton*, 2> optSendP{};
  QGroupBox* fraConnect = nullptr;  // 接続設定
  QRadioButton* optLan = nullptr;
  QRadioButton* optDial = nullptr;
  QLabel* lblEntry = nullptr;
  QComboBox* entryCombo1 = nullptr;
  QLabel* lblCUser = nullptr;
  QLineEdit* user = nullptr;
  QLabel* lblCPass = nullptr;
  QLineEdit* pass = nullptr;
  QGroupBox* fraFtp = nullptr;  // Webアップロード
  std::array<QRadioButton*, 2> optFtp{};
  QGroupBox* Frame9 = nullptr;  // 音声設定 (hidden)
  QRadioButton* optVoiceYes = nullptr;
  QRadioButton* optVoiceNo = nullptr;
  QGroupBox* Frame10 = nullptr;
  QRadioButton* optMan = nullptr;
  QRadioButton* optWoman = nullptr;

  QTableView* fgData = nullptr;
  QTableView* fgMessage = nullptr;
  QLineEdit* inputTxt = nullptr;
  QPushButton* cmdData = nullptr;
  QPushButton* cmdSearch = nullptr;
  QPushButton* cmdInport = nullptr;
  QPushButton* cmdAllSend = nullptr;
  QPushButton* cmdPrint = nullptr;
  QPushButton* cmdHist = nullptr;
  QPushButton* cmdOK = nullptr;
  QPushButton* cmdCancel = nullptr;

  MemberTableModel& MemberModel() const { return *dataModel_; }
  MessageTableModel& MessageModel() const { return *messageModel_; }
  // True while the message table is on screen (the caption of cmdData says which).
  bool MessagesOnScreen() const;

  // The option switches: the dependent fields and the log lines (a selection from code runs
  // them as a click does).
  void optSendMailYes_Click();
  void optSendMailNo_Click();
  void optCamYes_Click();
  void optCamNo_Click();
  void optSaveImgYes_Click();
  void optSaveImgNo_Click();
  void optDial_Click();
  void optLan_Click();
  void optVoiceYes_Click();
  void optVoiceNo_Click();
  void optScreenAB_Click();
  void optScreenC_Click();
  void optBar232C_Click();
  void optSetBar_Click();
  void txtPort_LostFocus();
  // The log and photo folders opened with the desktop's file manager; the logo file and the photo
  // folder chosen in a file dialog.
  void frmSet_cmdLog_Click();
  void frmSet_cmdPicView_Click();
  void frmSet_cmdLogo_Click();
  void frmSet_cmdImgSave_Click();
  // The saved user and password of the dial-up entry chosen.
  void entryCombo1_Click();
  void frmSet_cmdServer_Click();

  void frmSet_cmdOK_Click();
  void frmSet_cmdCancel_Click();
  // Saves the table on screen and shows the other one, loaded fresh. The import window calls it
  // before and after an import.
  void frmSet_cmdData_Click();
  void frmSet_cmdSearch_Click();
  // The member import, modeless beside this window.
  void frmSet_cmdInport_Click();
  // The card sheets (after the member table is saved) and the history filter.
  void frmSet_cmdPrint_Click();
  void frmSet_cmdHist_Click();
  // True when the member table holds a member; otherwise says "対象データがありません。".
  bool HasMemberRows() const;
  // A row's send button (row from 1): checks and tidies the row, then the contact mail composer.
  void frmSet_cmdSend_Click(int row);
  // The template editor and the bulk mail composer.
  void frmSet_cmdContents_Click();
  void frmSet_cmdAllSend_Click();

  // Loads the member table (a failure is reported, and the table then refuses to be saved).
  void default_fgData();
  void frmSet_LoadMessages();

  // The save of each table in two steps, so that a caller can check everything before it writes
  // anything: the row checks (tidying the rows they pass), then the writes, which run inside the
  // caller's transaction. Each returns "" or the text to show under "登録内容の確認".
  QString frmSet_CheckMembers();
  QString frmSet_WriteMembers();
  QString frmSet_CheckMessages();
  QString frmSet_WriteMessages();
  // Both steps, the writes in a transaction of their own: the table is written whole or not at
  // all.
  QString frmSet_SaveMembers();
  QString frmSet_SaveMessages();

  // Scrolls the member table so that `row` (from 1) is its first visible row.
  void frmSet_ShowMemberRow(int row);

  // The editing of the grid on screen (rows and columns of the model, from 0).
  void fgGrid_DblClick(QTableView* grid);
  void inputTxt_LostFocus();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  frmSet();
  void BuildWidgets();
  QWidget* BuildSettingsFields();
  void ConnectSwitches();
  void Form_Load();
  // The checks of OK before anything is written; false after its message.
  bool CheckFields();
  // Gives the focus to the field a refused check is about, when the administrator can reach it.
  static void FocusField(QWidget* field);
  void AssignFields();
  bool SaveEverything(bool members);
  void BackToLogin();
  QTableView* GridOnScreen() const;
  EditableTable* ModelOf(QTableView* grid) const;
  void ShowTable(bool members);
  void OpenEditor(QTableView* grid, const QString& text);
  void PlaceEditor();
  bool GridKeyPress(QTableView* grid, QKeyEvent* key);
  void GridDelete(QTableView* grid);
  QString SaveTable(bool members);

  MemberTableModel* dataModel_ = nullptr;
  MessageTableModel* messageModel_ = nullptr;

  // The cell being edited and its text before.
  QTableView* editGrid_ = nullptr;
  bool editing_ = false;
  QString strOldText;
  int lngEditRow = 0;
  int lngEditCol = 0;
  int intLastKey = 0;
};
