#pragma once
// The full-screen station window: it waits for an ID (typed or read into the ID field, or chosen
// on the name list or the number pad), runs the ID road for it (lookup, entry/exit decision,
// photo, sound, greeting, notification mail, access log line, FTP record, history row), shows
// the live camera picture, the clock, the installation name and the logo, and goes back to its
// waiting screen when idle.
//
// IDs that arrive while a road runs (the mail and dial-up waits let events through) wait in a
// queue and are handled one after the other once the running road has ended.
#include <QPixmap>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <array>
#include <memory>

#include "common/IdRoad.h"
#include "common/mdlStation.h"
#include "serial/mscomm.h"

class PictureBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace com {
class ControlSite;
}

class frmMain : public QWidget, public RoadWindow {
  Q_OBJECT

 public:
  // The program-wide instance, created and loaded on first use (not shown).
  static frmMain& instance();
  static bool IsLoaded();
  // Closes the instance (its unload releases camera and port and unloads the backdrop) and
  // deletes it later. Nothing happens when none is loaded.
  static void Unload();

  ~frmMain() override;

  // ---- controls (objectName = member name; array elements "cmdNo(3)") ----
  QLineEdit* txtID = nullptr;
  QLineEdit* txtTmp = nullptr;
  serial::MSComm* MSComm1 = nullptr;
  QFrame* fraNo = nullptr;
  QLabel* lblNo = nullptr;
  std::array<QPushButton*, 10> cmdNo{};
  QPushButton* cmdClear = nullptr;
  QPushButton* cmdRet = nullptr;
  std::array<QPushButton*, 20> cmdIcon{};
  std::array<QPushButton*, 20> cmdName{};
  PictureBox* imgFoward = nullptr;
  PictureBox* imgNext = nullptr;
  QLabel* lblCnt = nullptr;
  QPushButton* cmdEnd = nullptr;
  QLabel* lblMess = nullptr;
  QLabel* lblFirst = nullptr;
  QLabel* lblInput = nullptr;
  QLabel* lblName = nullptr;
  QLabel* lblDate = nullptr;
  QLabel* Label2 = nullptr;
  QLabel* lblUrl = nullptr;
  PictureBox* imgBack = nullptr;
  PictureBox* imgFirst = nullptr;
  PictureBox* imgHide = nullptr;
  PictureBox* imgChange = nullptr;
  PictureBox* imgLogo = nullptr;
  QPlainTextEdit* rtxtinContents = nullptr;
  QPlainTextEdit* rtxtotContents = nullptr;
  QTimer* Timer1 = nullptr;
  // The camera control; null when it could not be created (not registered).
  com::ControlSite* Ornik1() const { return mOrnik1.get(); }

  // ---- public procedures ----
  // The ID road for the ID in txtID (with a reader) or in gstrSelectedID (without one). Called
  // while a road runs, it queues that ID behind the running one.
  void frmMain_txtID_LostFocus();
  // Hands one ID on as the serial reader does: into the ID field and through the road, or into
  // the queue while a road runs.
  void frmMain_HandOnID(const QString& id);
  // The one-second tick: clock, alarm, live view return, return to the waiting screen.
  void frmMain_Timer1_Timer();
  // Puts the waiting screen up; returns the empty text.
  QString frmMain_SetWaitScreen();
  // Reads a template body file into the box (LoadTextFile) and counts as activity; true when the
  // whole file was read.
  bool frmMain_LoadTextFile(const QString& path, QPlainTextEdit* box);

  // Event procedures of the keyboard entry and the exits.
  void frmMain_txtID_KeyPress(int& KeyAscii);
  void frmMain_txtTmp_GotFocus();
  void frmMain_cmdEnd_Click();
  void frmMain_imgLogo_Click();
  // The end of the station (the exit button's and the logo's after their question, a shutdown
  // signal's): once the road under way has stored its events, the window unloads and the
  // program ends.
  void EndStation();

  // ---- name list, number pad and serial frame (the input modes without the ID field) ----
  void frmMain_ShowNamePage();
  void frmMain_imgFoward_Click();
  void frmMain_imgNext_Click();
  void frmMain_cmdIcon_Click(int Index);
  void frmMain_cmdName_Click(int Index);
  void frmMain_cmdNo_Click(int Index);
  void frmMain_cmdClear_Click();
  void frmMain_cmdRet_Click();
  void frmMain_Form_KeyPress(int& KeyAscii);
  void frmMain_MSComm1_OnComm();

  // ---- window state ----
  bool mblnActive = false;
  bool mblnEventDone = false;
  bool mblnSendError = false;
  bool mblnRecordError = false;  // the last scan could not be recorded (until one is)
  // The status label's text for a scan that could not be recorded.
  static const QString kRecordError;
  QString mstrPicFile;
  QPixmap mpicLoaded;
  QString mstrListSQL;
  int mlngPage = 1;
  int mlngPageSize = 20;
  QStringList mstrPageIDs;
  int mlngPicNo = 0;
  QString mstrPhotoFile;
  QString mstrBarBuf;
  QByteArray mvarBarInput;

  // True while an ID road runs; IDs waiting behind it.
  bool RoadRunning() const { return mRoad.Running(); }
  int WaitingIDs() const { return mRoad.Waiting(); }
  // Notifications of recorded events not yet sent; waits (delivering events) until all are out.
  int NoticesPending() const { return mRoad.NoticesPending(); }
  bool WaitForNotices(int timeoutMs = 60000) { return mRoad.WaitForNotices(timeoutMs); }

  // What the station shows of a road.
  bool RoadWindowOpen() const override;
  void RoadStarted(const RoadEvent& e) override;
  void RoadBusy(const RoadEvent& e) override;
  EventPhoto RoadPhoto(const RoadEvent& e) override;
  void RoadGreeting(const RoadEvent& e, const GreetingPick& greeting) override;
  QString RoadMailTemplate(bool entry) const override;
  void RoadAfterMail(const RoadEvent& e) override;
  void RoadNoticeEnded(const RoadEvent& e) override;
  void RoadEnded(const RoadEvent& e, RoadEnd how) override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 public:
  void setVisible(bool visible) override;

 private:
  frmMain();
  void BuildControls();
  bool frmMain_Form_Load();
  void frmMain_Form_Initialize();
  void frmMain_Form_Activate();
  void frmMain_Form_Unload();
  void UnloadSelf();

  // Layout pieces of the load.
  void LayoutScreenMode(bool seasonal);
  bool LayoutNameList();
  void PlaceCameraBox(int left, int top);
  // The month's picture (image/mMM.jpg) on imgBack, stretched to its box.
  void ShowMonthPicture();
  // Over a background picture: no waiting picture, the camera at the top right, labels clear.
  void LayoutOverPicture();
  bool StartCamera();
  bool OpenBarcodePort();

  // The logo lookup: the configured logo, else image/logo.jpg (which then becomes the setting).
  QString LogoLookup();

  // The roads of an ID and of those queued behind it; then the end or the type-ahead.
  void RunRoads(const QString& input);
  void RandomPicture();
  // Takes the busy text off the status label (the record error stays on it).
  void HideStatus();

  QString Prompt() const;
  void ShowPicture(PictureBox* box, const QString& path);
  void ClockText();

  std::unique_ptr<com::ControlSite> mOrnik1;
  bool mblnLoaded = false;
  bool mblnUnloaded = false;
  bool mblnEndAfterRoads = false;
  QString mstrTypeAhead;
  IdRoad mRoad{this, this, RoadOptions::Station()};
};
